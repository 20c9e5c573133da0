// The command table: each command group adds its rows here.
#include "commands.h"

namespace fotolume::cli {

int RunEncode(const GlobalOptions&, const std::vector<std::string>&);
int RunDecode(const GlobalOptions&, const std::vector<std::string>&);

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> table = {
        {"encode", RunEncode, "IN.bmp OUT --size WxH [--quality 90] [--mode 3] [--jfif]",
         "encode a BMP into a frame picture stream (or a JFIF file); prints the bytes written"},
        {"decode", RunDecode, "IN OUT.bmp --size WxH",
         "decode a frame picture stream of the panel size into a BMP"},
    };
    return table;
}

}  // namespace fotolume::cli
