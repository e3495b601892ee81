#pragma once

#include "app/translation.h"
#include "sign/key_store.h"

#include <chrono>
#include <filesystem>
#include <optional>
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

// A line of help: the words to type, the same in every language, and what
// they do, a text marked for translation in which %1 breaks the line (a
// translation keeps no line break of its own); none for a synopsis that the
// next line explains.
struct Synopsis {
    const char* words;
    const char* meaning = nullptr;
};

struct Command {
    std::string name;
    std::vector<Synopsis> help;
    int (*run)(const Context& context, const Arguments& args);
};

// The operator's signing keys when there are any; none also where the system
// names no settings folder, so that an operator who never made keys is not
// troubled by it.
std::optional<sign::SigningKeys> UserKeys();

// Hashing itself gives a missing file or a folder the all-zero digest; on the
// command line that would pass a typing error off as a digest, so this raises
// "Cannot open file" instead.
void RequireRegularFile(const std::filesystem::path& path);

// update index FILE...: writes each file's block index beside it, as publish
// does; the status of the worst file.
int IndexUpdateFiles(const Context& context, const Arguments& files);

// Each area of the core contributes its commands.
std::vector<Command> ConfigCommands();
std::vector<Command> EditCommands();
std::vector<Command> LauncherCommands();
std::vector<Command> DigestCommands();
std::vector<Command> KeyCommands();
std::vector<Command> PublishCommands();

} // namespace tarnwick::cli
