#include "app/start_options.h"

#include <algorithm>

namespace tarnwick {

StartOptions ParseStartOptions(std::span<const std::string> arguments)
{
    StartOptions options;
    const auto asks = [&](std::initializer_list<const char*> names) {
        return std::any_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
            return std::find(names.begin(), names.end(), argument) != names.end();
        });
    };
    if (asks({"--help", "-h"})) {
        options.action = StartOptions::Action::Help;
        return options;
    }
    if (asks({"--version"})) {
        options.action = StartOptions::Action::Version;
        return options;
    }
    const auto refuse = [&](std::string problem) {
        options.action = StartOptions::Action::Refuse;
        options.problem = std::move(problem);
        return options;
    };
    bool optionsEnded = false;
    for (auto at = arguments.begin(); at != arguments.end(); ++at) {
        const std::string& argument = *at;
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == "--language" || argument.starts_with("--language="))) {
            std::string name;
            if (argument != "--language")
                name = argument.substr(argument.find('=') + 1);
            else if (++at != arguments.end())
                name = *at;
            else
                return refuse("--language needs zh_CN or en");
            options.language = ParseLanguage(name);
            if (!options.language)
                return refuse(LanguageProblem(name));
        } else if (!optionsEnded && argument == "--own-folder") {
            options.ownFolder = true;
        } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
            return refuse("unknown option '" + argument + "'");
        } else if (options.folder) {
            return refuse("more than one folder given ('" + options.folder->string() + "', '" + argument + "')");
        } else if (argument.empty()) {
            return refuse("the folder name is empty");
        } else {
            options.folder = argument;
        }
    }
    if (options.ownFolder && options.folder)
        return refuse("--own-folder and a folder exclude each other");
    return options;
}

std::string StartUsage(const std::string& ownFolder)
{
    return "Usage: tarnwick [--language zh_CN|en] [--own-folder | FOLDER]\n"
           "\n"
           "Edits Tarnwick.xml and writes ServerInfo.txt and the launcher in the working\n"
           "folder: FOLDER if given, else the current directory.\n"
           "\n"
           "  --own-folder  work in " + ownFolder + ",\n"
           "                created on first use (the desktop menu starts it so)\n"
           "  --language zh_CN|en\n"
           "                speak this language; without it, English when the\n"
           "                system's is English, else Chinese\n"
           "  --help        show this text\n"
           "  --version     show the version\n"
           "\n"
           "Qt's own options (-platform, -style, ...) are accepted too.\n"
           "tarnwick-cli does the same jobs from the command line.\n";
}

} // namespace tarnwick
