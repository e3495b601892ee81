// tarnwick-cli: the command-line front end, run in the working directory.
#include "cli/commands.h"
#include "app/version.h"
#include "base/error.h"
#include "base/program_entry.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/failures.h"
#include "cli/options.h"
#include "cli/printable.h"

#include <charconv>
#include <iostream>

namespace {

using namespace tarnwick::cli;
using tarnwick::Message;

std::vector<Command> AllCommands()
{
    std::vector<Command> all;
    for (auto part : {EditCommands, ConfigCommands, LauncherCommands, KeyCommands, PublishCommands, DigestCommands})
        for (auto& command : part())
            all.push_back(std::move(command));
    return all;
}

const char* const kGlobalUsage = "tarnwick-cli [-C FOLDER] [--wait SECONDS] [--language zh_CN|en] COMMAND";

// Synopses start in column 2 and what they do in column 2 + `column`, on a
// line of its own after a synopsis too long for that.
void PrintSynopses(std::ostream& out, const tarnwick::Translation& translation, const std::vector<Synopsis>& lines,
                   std::size_t column)
{
    const std::string indent(column + 2, ' ');
    for (const Synopsis& line : lines) {
        std::string text = "  " + std::string(line.words);
        if (line.meaning) {
            const std::size_t width = text.size() - 2;
            text += width < column ? std::string(column - width, ' ') : "\n" + indent;
            text += translation.Sentence(Message(line.meaning).Arg("\n" + indent));
        }
        out << Printable(text) << "\n";
    }
}

void PrintHelp(std::ostream& out, const std::vector<Command>& commands, const tarnwick::Translation& translation)
{
    const auto say = [&](const Message& message) { out << Printable(translation.Sentence(message)) << "\n"; };
    say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Usage: %1")).Arg(std::string(kGlobalUsage) + " [ARGUMENTS]"));
    out << "\n";
    PrintSynopses(out, translation,
                  {{"-C FOLDER", QT_TRANSLATE_NOOP("TarnwickCli", "work in FOLDER instead of the current folder: "
                                                                  "Tarnwick.xml,%1ServerInfo.txt, launchers and files "
                                                                  "named in arguments")},
                   {"--wait SECONDS", QT_TRANSLATE_NOOP("TarnwickCli", "how long an edit waits for Tarnwick.xml while "
                                                                       "another%1program edits it (default 10)")},
                   {"--language zh_CN|en",
                    QT_TRANSLATE_NOOP("TarnwickCli", "the language of messages and help, Chinese or English;%1by "
                                                     "default English when LC_ALL, LC_MESSAGES or LANG%1starts with "
                                                     "\"en\", else Chinese; --json output and the%1files written are "
                                                     "the same in both")}},
                  16);
    out << "\n";
    say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Commands:")));
    for (const auto& command : commands)
        PrintSynopses(out, translation, command.help, 28);
    PrintSynopses(out, translation,
                  {{"help, --help", QT_TRANSLATE_NOOP("TarnwickCli", "this text")},
                   {"--version", QT_TRANSLATE_NOOP("TarnwickCli", "the version")}},
                  28);
    out << "\n";
    say(Message(QT_TRANSLATE_NOOP("TarnwickCli",
                                  "Edits check what the window's dialogs check and save Tarnwick.xml as the%1window's "
                                  "save does, holding the folder's lock meanwhile; a window keeps the%1lock while it "
                                  "is open. Exit status: 0 done, 1 refused (the window's notice is%1printed on "
                                  "standard error and nothing is written) or, for verify,%1different, 2 a usage error "
                                  "or input that cannot be read. Texts are UTF-8 on%1the command line and GBK in the "
                                  "files."))
            .Arg("\n"));
}

// The options before the command.
void ReadGlobalOptions(const std::vector<std::string>& argv, std::size_t& next, Context& context)
{
    while (next < argv.size()) {
        const std::string& option = argv[next];
        if (option != "-C" && option != "--wait" && option != "--language")
            return;
        if (next + 1 >= argv.size())
            throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: needs a value; usage: %2"))
                                 .Arg(option)
                                 .Arg(kGlobalUsage));
        const std::string& value = argv[next + 1];
        if (option == "--language") {
            const auto language = tarnwick::ParseLanguage(value);
            if (!language)
                throw UsageError(
                    Message(QT_TRANSLATE_NOOP("TarnwickCli", "--language: %1"))
                        .Inner(tarnwick::LanguageProblem(GbkArgument(value, "--language"))));
            context.translation = tarnwick::Translation(*language);
        } else if (option == "-C") {
            context.folder = tarnwick::Utf8Path(value);
            std::error_code error;
            if (!std::filesystem::is_directory(context.folder, error))
                throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "-C: %1: no such folder"))
                                     .Arg(GbkArgument(value, "-C")));
        } else {
            double seconds = -1;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error != std::errc() || end != value.data() + value.size() || !(seconds >= 0 && seconds <= 86400))
                throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "--wait: takes a number of seconds from 0 "
                                                                          "to 86400; not \"%1\""))
                                     .Arg(GbkArgument(value, "--wait")));
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
        PrintHelp(std::cerr, commands, context.translation);
        return 2;
    }
    const std::string name = argv[next];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintHelp(std::cout, commands, context.translation);
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
    throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: unknown command; 'tarnwick-cli help' lists them"))
                         .Arg(GbkArgument(name, "COMMAND")));
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
