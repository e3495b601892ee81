#pragma once

#include <string>
#include <vector>

namespace tarnwick::cli {

using Arguments = std::vector<std::string>;

struct Command {
    std::string name;
    std::string usage;   // shown by help, UTF-8
    int (*run)(const Arguments& args);
};

// Each area of the core contributes its commands.
std::vector<Command> ConfigCommands();
std::vector<Command> LauncherCommands();
std::vector<Command> DigestCommands();

} // namespace tarnwick::cli
