// tarnwick-cli: the command-line front end, run in the working directory.
#include "cli/commands.h"
#include "app/version.h"
#include "base/error.h"
#include "base/program_entry.h"
#include "base/text.h"
#include "cli/failures.h"
#include "cli/options.h"
#include "cli/printable.h"

#include <charconv>
#include <iostream>

namespace {

using namespace tarnwick::cli;

std::vector<Command> AllCommands()
{
    std::vector<Command> all;
    for (auto part : {EditCommands, ConfigCommands, LauncherCommands, DigestCommands})
        for (auto& command : part())
            all.push_back(std::move(command));
    return all;
}

void PrintHelp(std::ostream& out, const std::vector<Command>& commands)
{
    out << "Usage: tarnwick-cli [-C FOLDER] [--wait SECONDS] COMMAND [ARGUMENTS]\n\n"
           "  -C FOLDER       work in FOLDER instead of the current folder: Tarnwick.xml,\n"
           "                  ServerInfo.txt, launchers and files named in arguments\n"
           "  --wait SECONDS  how long an edit waits for Tarnwick.xml while another\n"
           "                  program edits it (default 10)\n\n"
           "Commands:\n";
    for (const auto& command : commands)
        out << "  " << command.usage << "\n";
    out << "  help, --help                this text\n"
           "  --version                   the version\n\n"
           "Edits check what the window's dialogs check and save Tarnwick.xml as the\n"
           "window's save does, holding the folder's lock meanwhile; a window keeps the\n"
           "lock while it is open. Exit status: 0 done, 1 refused (the window's notice is\n"
           "printed on standard error and nothing is written) or, for verify, different,\n"
           "2 a usage error or input that cannot be read. Texts are UTF-8 on the command\n"
           "line and GBK in the files.\n";
}

// The options before the command.
void ReadGlobalOptions(const std::vector<std::string>& argv, std::size_t& next, Context& context)
{
    while (next < argv.size()) {
        const std::string& option = argv[next];
        if (option != "-C" && option != "--wait" && option != "--language")
            return;
        if (next + 1 >= argv.size())
            throw UsageError(option + ": needs a value; usage: tarnwick-cli [-C FOLDER] [--wait SECONDS] COMMAND");
        const std::string& value = argv[next + 1];
        if (option == "--language") {
            const auto language = tarnwick::ParseLanguage(value);
            if (!language)
                throw UsageError("--language: " + tarnwick::LanguageProblem(GbkArgument(value, "--language")));
            context.translation = tarnwick::Translation(*language);
        } else if (option == "-C") {
            context.folder = tarnwick::Utf8Path(value);
            std::error_code error;
            if (!std::filesystem::is_directory(context.folder, error))
                throw UsageError("-C: " + GbkArgument(value, "-C") + ": no such folder");
        } else {
            double seconds = -1;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error != std::errc() || end != value.data() + value.size() || !(seconds >= 0 && seconds <= 86400))
                throw UsageError("--wait: takes a number of seconds from 0 to 86400; not \"" +
                                 GbkArgument(value, "--wait") + "\"");
            context.lockWait = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
        }
        next += 2;
    }
}

int Run(const std::vector<Command>& commands, const std::vector<std::string>& argv, Context& context)
{
    std::size_t next = 1;
    ReadGlobalOptions(argv, next, context);
    if (next >= argv.size()) {
        PrintHelp(std::cerr, commands);
        return 2;
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
    const Arguments args(argv.begin() + static_cast<std::ptrdiff_t>(next) + 1, argv.end());
    for (const auto& command : commands)
        if (command.name == name)
            return command.run(context, args);
    throw UsageError(name + ": unknown command; 'tarnwick-cli help' lists them");
}

} // namespace

int tarnwick::ProgramMain(std::vector<std::string> argv)
{
    const auto commands = AllCommands();
    Context context;
    try {
        return Run(commands, argv, context);
    } catch (const Refusal& refusal) {
        std::cerr << "tarnwick-cli: " << Printable(context.translation.Sentence(refusal.Text())) << "\n";
        return 1;
    } catch (const Error& error) {
        std::cerr << "tarnwick-cli: " << Printable(context.translation.Sentence(error.Text())) << "\n";
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-cli: " << error.what() << "\n";
    }
    return 2;
}
