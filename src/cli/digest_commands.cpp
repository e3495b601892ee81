#include "cli/commands.h"

namespace tarnwick::cli {

std::vector<Command> DigestCommands()
{
    return {};
}

} // namespace tarnwick::cli
