#include "cli/commands.h"

namespace tarnwick::cli {

std::vector<Command> ConfigCommands()
{
    return {};
}

} // namespace tarnwick::cli
