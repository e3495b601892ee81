// tarnwick-cli: the command-line front end, run in the working directory.
#include "cli/commands.h"
#include "app/version.h"
#include "base/error.h"
#include "base/program_entry.h"
#include "base/text.h"
#include "cli/printable.h"

#include <iostream>

namespace {

std::vector<tarnwick::cli::Command> AllCommands()
{
    using namespace tarnwick::cli;
    std::vector<Command> all;
    for (auto part : {EditCommands, ConfigCommands, LauncherCommands, DigestCommands})
        for (auto& command : part())
            all.push_back(std::move(command));
    return all;
}

void PrintHelp(std::ostream& out, const std::vector<tarnwick::cli::Command>& commands)
{
    out << "Usage: tarnwick-cli [-C FOLDER] COMMAND [ARGUMENTS]\n\n"
           "  -C FOLDER   work in FOLDER instead of the current folder: Tarnwick.xml,\n"
           "              ServerInfo.txt, launchers and files named in arguments\n\n"
           "Commands:\n";
    for (const auto& command : commands)
        out << "  " << command.usage << "\n";
    out << "  help, --help                this text\n"
           "  --version                   the version\n\n"
           "Edits check what the window's dialogs check and save Tarnwick.xml as the\n"
           "window's save does. A refusal prints the window's notice on standard error,\n"
           "exits with status 1 and writes nothing. Texts are UTF-8 on the command line\n"
           "and GBK in the files.\n";
}

} // namespace

int tarnwick::ProgramMain(std::vector<std::string> argv)
{
    const auto commands = AllCommands();
    tarnwick::cli::Context context;
    std::size_t next = 1;
    if (next < argv.size() && argv[next] == "-C") {
        if (next + 1 >= argv.size()) {
            std::cerr << "tarnwick-cli: -C needs a folder\n";
            return 1;
        }
        context.folder = tarnwick::Utf8Path(argv[next + 1]);
        std::error_code error;
        if (!std::filesystem::is_directory(context.folder, error)) {
            std::cerr << "tarnwick-cli: -C " << argv[next + 1] << ": no such folder\n";
            return 1;
        }
        next += 2;
    }
    if (next >= argv.size()) {
        PrintHelp(std::cerr, commands);
        return 1;
    }
    const std::string name = argv[next];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintHelp(std::cout, commands);
        return 0;
    }
    if (name == "--version") {
        std::cout << tarnwick::VersionLine("tarnwick-cli") << "\n";
        return 0;
    }
    const tarnwick::cli::Arguments args(argv.begin() + static_cast<std::ptrdiff_t>(next) + 1, argv.end());
    for (const auto& command : commands) {
        if (command.name != name)
            continue;
        try {
            return command.run(context, args);
        } catch (const tarnwick::Error& error) {
            std::cerr << "tarnwick-cli: " << tarnwick::cli::Printable(error.what()) << "\n";
        } catch (const std::exception& error) {
            std::cerr << "tarnwick-cli: " << error.what() << "\n";
        }
        return 1;
    }
    std::cerr << "tarnwick-cli: unknown command '" << name << "'\n";
    PrintHelp(std::cerr, commands);
    return 1;
}
