#include "cli/commands.h"

namespace tarnwick::cli {

std::vector<Command> LauncherCommands()
{
    return {};
}

} // namespace tarnwick::cli
