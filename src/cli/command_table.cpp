// The command table: each command group adds its rows here.
#include "cli/commands.h"

namespace fotolume::cli {

// cmd_device.cpp
int RunProbe(const GlobalOptions& options, const std::vector<std::string>& args);
int RunClock(const GlobalOptions& options, const std::vector<std::string>& args);
// cmd_album.cpp
int RunInfo(const GlobalOptions& options, const std::vector<std::string>& args);
int RunList(const GlobalOptions& options, const std::vector<std::string>& args);
int RunDelete(const GlobalOptions& options, const std::vector<std::string>& args);
int RunColors(const GlobalOptions& options, const std::vector<std::string>& args);
int RunBackup(const GlobalOptions& options, const std::vector<std::string>& args);
// cmd_recover.cpp
int RunRecover(const GlobalOptions& options, const std::vector<std::string>& args);
// cmd_restore.cpp
int RunRestore(const GlobalOptions& options, const std::vector<std::string>& args);
// cmd_codec.cpp
int RunEncode(const GlobalOptions&, const std::vector<std::string>&);
int RunDecode(const GlobalOptions&, const std::vector<std::string>&);
// cmd_pictures.cpp
int RunAdd(const GlobalOptions& options, const std::vector<std::string>& args);
int RunPull(const GlobalOptions& options, const std::vector<std::string>& args);

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> table = {
        {"probe", RunProbe, "", "find the frame; print its drive, vendor, product and firmware version\n"
         "      (with --verbose first every drive looked at, and why it was taken or refused)"},
        {"clock", RunClock, "", "set the frame's clock to this computer's local time; print the bytes sent"},
        {"info", RunInfo, "", "print the frame's layout, the picture count, free bytes and the two colours"},
        {"list", RunList, "", "print one line per picture: position (from 1), flash address, length"},
        {"delete", RunDelete, "N...", "remove the pictures at these positions (from 1) and write the album"},
        {"colors", RunColors, "[--font RRGGBB] [--background RRGGBB]",
         "print the frame's text colours, or set them"},
        {"backup", RunBackup, "FILE", "save the whole flash, read with verification, into FILE"},
        {"restore", RunRestore, "FILE [--dry-run] [--force]",
         "write the album of a backup (its picture list and pictures) back to the frame it was taken from\n"
         "      (--dry-run: only show that album; --force: even to another frame)"},
        {"recover", RunRecover, "[--dry-run]",
         "restore the album of an interrupted synchronize from the flash (--dry-run: only show it)"},
        {"encode", RunEncode, "IN.bmp OUT --size WxH [--quality 90] [--mode 3] [--jfif]",
         "encode a BMP into a frame picture stream (or a JFIF file); prints the bytes written"},
        {"decode", RunDecode, "IN OUT.bmp --size WxH",
         "decode a frame picture stream of the panel size into a BMP"},
        {"add", RunAdd, "FILE... [--stretch] [--rotate left|right]... [--zoom N] [--quality Q]",
         "compose each picture for the panel, encode it to fit the free space and write the album"},
        {"pull", RunPull, "DIR [--jpeg] [--force]",
         "decode every picture into DIR/0001.bmp ... (JFIF 0001.jpg ... with --jpeg)"},
    };
    return table;
}

}  // namespace fotolume::cli
