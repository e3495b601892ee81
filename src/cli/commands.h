#pragma once

#include "app/translation.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::cli {

using Arguments = std::vector<std::string>;

// What every command is run with.
struct Context {
    // The working folder (-C FOLDER): Tarnwick.xml, ServerInfo.txt and launchers live here.
    std::filesystem::path folder = ".";
    // How long an edit waits for the working copy's lock (--wait SECONDS).
    std::chrono::milliseconds lockWait = std::chrono::seconds(10);
    // The language of what is printed for people (--language); --json output
    // and the files written are the same in every language.
    Translation translation{ChooseLanguage(std::nullopt)};

    // A file named on the command line, as if the program had started in the folder.
    std::filesystem::path In(const std::filesystem::path& name) const
    {
        return name.is_absolute() || folder == "." ? name : folder / name;
    }
};

struct Command {
    std::string name;
    std::string usage;   // shown by help, UTF-8; further lines indented by the command
    int (*run)(const Context& context, const Arguments& args);
};

// Each area of the core contributes its commands.
std::vector<Command> ConfigCommands();
std::vector<Command> EditCommands();
std::vector<Command> LauncherCommands();
std::vector<Command> DigestCommands();

} // namespace tarnwick::cli
