#pragma once

#include "app/language.h"
#include "base/message.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace tarnwick {

// The command line of the window program: tarnwick [--own-folder | FOLDER].
struct StartOptions {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    // The folder to work in; none means the current directory.
    std::optional<std::filesystem::path> folder;
    // Started from the desktop menu: work in the program's own folder.
    bool ownFolder = false;
    // --language: the window's language whatever the system's.
    std::optional<Language> language;
    // Why the command line was refused.
    Message problem;
};

// --help and --version win over everything else, wherever they stand; --help
// keeps a valid --language, so that it speaks it.
StartOptions ParseStartOptions(std::span<const std::string> arguments);

// What --help prints; ownFolder is the folder --own-folder would use (GBK).
Message StartUsage(const std::string& ownFolder);

} // namespace tarnwick
