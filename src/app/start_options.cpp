#include "app/start_options.h"

#include "base/text.h"
#include "base/translatable.h"

#include <algorithm>

namespace tarnwick {

namespace {

// An argument in a message: the command line is UTF-8, core text GBK.
std::string Gbk(const std::string& utf8) { return TryUtf8ToGbk(utf8).value_or(utf8); }

// The options as given, without --help and --version.
StartOptions ParseArguments(std::span<const std::string> arguments)
{
    StartOptions options;
    const auto refuse = [&](Message problem) {
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
                return refuse(Message(QT_TRANSLATE_NOOP("Tarnwick", "--language 需要 zh_CN 或 en")));
            options.language = ParseLanguage(name);
            if (!options.language)
                return refuse(LanguageProblem(name));
        } else if (!optionsEnded && argument == "--own-folder") {
            options.ownFolder = true;
        } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
            return refuse(Message(QT_TRANSLATE_NOOP("Tarnwick", "未知的选项“%1”")).Arg(Gbk(argument)));
        } else if (options.folder) {
            return refuse(Message(QT_TRANSLATE_NOOP("Tarnwick", "给出了不止一个文件夹（“%1”、“%2”）"))
                              .Arg(Gbk(options.folder->string()))
                              .Arg(Gbk(argument)));
        } else if (argument.empty()) {
            return refuse(Message(QT_TRANSLATE_NOOP("Tarnwick", "文件夹名是空的")));
        } else {
            options.folder = argument;
        }
    }
    if (options.ownFolder && options.folder)
        return refuse(Message(QT_TRANSLATE_NOOP("Tarnwick", "--own-folder 和文件夹不能同时给出")));
    return options;
}

} // namespace

StartOptions ParseStartOptions(std::span<const std::string> arguments)
{
    const auto asks = [&](std::initializer_list<const char*> names) {
        return std::any_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
            return std::find(names.begin(), names.end(), argument) != names.end();
        });
    };
    StartOptions options = ParseArguments(arguments);
    if (asks({"--help", "-h"}) || asks({"--version"})) {
        options.action = asks({"--help", "-h"}) ? StartOptions::Action::Help : StartOptions::Action::Version;
        options.problem = Message();
    }
    return options;
}

Message StartUsage(const std::string& ownFolder)
{
    // The line breaks are parameters: a translation file keeps none of its own.
    Message usage(QT_TRANSLATE_NOOP("Tarnwick",
                                    "用法：tarnwick [--language zh_CN|en] [--own-folder | 文件夹]%1%1"
                                    "在工作文件夹中编辑 Tarnwick.xml，写出 ServerInfo.txt 和登录器：%1"
                                    "给出了文件夹时是它，否则是当前文件夹。%1%1"
                                    "  --own-folder  在 %2 中工作，%1"
                                    "                第一次使用时创建（桌面菜单这样启动它）%1"
                                    "  --language zh_CN|en%1"
                                    "                使用这种语言；不给出时，系统的语言是英文则用英文，%1"
                                    "                否则用中文%1"
                                    "  --help        显示本说明%1"
                                    "  --version     显示版本%1%1"
                                    "Qt 自己的选项（-platform、-style 等）也可以使用。%1"
                                    "tarnwick-cli 在命令行上做同样的工作。%1"));
    return usage.Arg("\n").Arg(ownFolder);
}

} // namespace tarnwick
