// The command table: each command group adds its rows here.
#include "commands.h"

namespace fotolume::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> table = {
    };
    return table;
}

}  // namespace fotolume::cli
