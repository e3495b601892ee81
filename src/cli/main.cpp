// tarnwick-cli: the command-line front end, run in the working directory.
#include "cli/commands.h"
#include "app/version.h"
#include "base/error.h"
#include "cli/printable.h"

#include <iostream>

namespace {

std::vector<tarnwick::cli::Command> AllCommands()
{
    using namespace tarnwick::cli;
    std::vector<Command> all;
    for (auto part : {ConfigCommands, LauncherCommands, DigestCommands})
        for (auto& command : part())
            all.push_back(std::move(command));
    return all;
}

void PrintHelp(std::ostream& out, const std::vector<tarnwick::cli::Command>& commands)
{
    out << "Usage: tarnwick-cli COMMAND [ARGUMENTS]\n"
           "Works in the current directory, like tarnwick.\n\nCommands:\n";
    for (const auto& command : commands)
        out << "  " << command.usage << "\n";
    out << "  help, --help\n  --version\n";
}

} // namespace

int main(int argc, char** argv)
{
    const auto commands = AllCommands();
    if (argc < 2) {
        PrintHelp(std::cerr, commands);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintHelp(std::cout, commands);
        return 0;
    }
    if (name == "--version") {
        std::cout << tarnwick::VersionLine("tarnwick-cli") << "\n";
        return 0;
    }
    tarnwick::cli::Arguments args(argv + 2, argv + argc);
    for (const auto& command : commands) {
        if (command.name != name)
            continue;
        try {
            return command.run(args);
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
