// tarnwick-cli in Chinese and in English: what people read follows --language
// or the locale; what scripts and files read does not.
#include "base/file_io.h"
#include "cli_process.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using Outcome = testing::CliOutcome;

class CliLanguages : public ::testing::Test {
protected:
    Outcome Run(const std::vector<std::string>& args, const std::string& language, const std::string& input = "")
    {
        return testing::RunCli(folder_.path(), streams_.path(), args, input, language);
    }

    // Without --language, in an environment whose only locale variables are `variables`.
    Outcome RunInLocale(const std::string& variables, const std::vector<std::string>& args)
    {
        const std::string command = "env -u LC_ALL -u LC_MESSAGES -u LANG " + variables + " " +
                                    testing::CliCommand(folder_.path(), streams_.path(), args, "") + " </dev/null";
        const int waited = std::system(command.c_str());
        return {testing::ExitStatus(waited), ReadFile(streams_.path() / "out"), ReadFile(streams_.path() / "err")};
    }

    fs::path Path(const std::string& name) const { return folder_.path() / name; }

    testing::TemporaryFolder folder_;
    testing::TemporaryFolder streams_;
};

struct Said {
    std::vector<std::string> args;
    std::string english; // on standard error
    std::string chinese;
    int status;
};

// The command line's own sentences, the window's notices inside them, and the
// words that stay as typed (options, synopses, names) in both languages.
TEST_F(CliLanguages, RefusalsAndUsageErrorsInChineseAndInEnglish)
{
    ASSERT_EQ(Run({"group", "add", "East"}, "en").status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "East", "--show-name", "s", "--name", "n", "--addr", "a"}, "en").status,
              0);
    const std::string before = ReadFile(Path("Tarnwick.xml"));
    const Said rows[] = {
        {{"group", "add", ""}, "tarnwick-cli: The group name must not be empty.\n",
         "tarnwick-cli: 服务器分组内容不能为空!\n", 1},
        {{"group", "up", "无此组"}, "tarnwick-cli: NAME: no group is named \"无此组\"\n",
         "tarnwick-cli: NAME：没有名为“无此组”的分组\n", 1},
        {{"group", "delete", "East"},
         "tarnwick-cli: NAME: group \"East\" holds 1 server, which is deleted with it; standard input is not a "
         "terminal to ask on, so confirm with --yes\n",
         "tarnwick-cli: NAME：分组“East”中有 1 台服务器，会随分组一起删除；标准输入不是终端，无法询问，请用 --yes "
         "确认\n",
         1},
        {{"server", "delete", "3"}, "tarnwick-cli: ROW: there is no row 3 in the server list (it has 1)\n",
         "tarnwick-cli: ROW：server 列表中没有第 3 行（共 1 行）\n", 1},
        {{"launcher", " ", "http://list.example/"}, "tarnwick-cli: GAMENAME: The game name must not be empty.\n",
         "tarnwick-cli: GAMENAME：游戏名字不能留空！\n", 1},
        {{"server", "edit", "x"},
         "tarnwick-cli: ROW: must be a row number as \"server list\" shows it, from 1; not \"x\"\n",
         "tarnwick-cli: ROW：应为“server list”显示的行号（从 1 开始），不能是“x”\n", 2},
        {{"md5", "--quiet", "a"},
         "tarnwick-cli: --quiet: unknown option; usage: tarnwick-cli md5 [--progress] FILE...\n",
         "tarnwick-cli: --quiet：未知的选项；用法：tarnwick-cli md5 [--progress] FILE...\n", 2},
        {{"--wait", "soon", "resave"},
         "tarnwick-cli: --wait: takes a number of seconds from 0 to 86400; not \"soon\"\n",
         "tarnwick-cli: --wait：应为 0 到 86400 之间的秒数，不能是“soon”\n", 2},
        // After the harness's own --language: the later one is read, and refused.
        {{"--language", "xx", "help"}, "tarnwick-cli: --language: unknown language 'xx' (zh_CN or en)\n",
         "tarnwick-cli: --language：未知的语言“xx”（应为 zh_CN 或 en）\n", 2},
        {{"--language"},
         "tarnwick-cli: --language: needs a value; usage: tarnwick-cli [-C FOLDER] [--wait SECONDS] [--language "
         "zh_CN|en] COMMAND\n",
         "tarnwick-cli: --language：需要一个值；用法：tarnwick-cli [-C FOLDER] [--wait SECONDS] [--language "
         "zh_CN|en] COMMAND\n",
         2},
    };
    for (const Said& row : rows) {
        for (const auto& [language, says] : {std::pair{"en", row.english}, std::pair{"zh_CN", row.chinese}}) {
            SCOPED_TRACE(language + (" " + row.args[0]) + " " + (row.args.size() > 1 ? row.args[1] : ""));
            const Outcome outcome = Run(row.args, language);
            EXPECT_EQ(outcome.status, row.status);
            EXPECT_EQ(outcome.err, says);
            EXPECT_EQ(outcome.out, "");
        }
    }
    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), before);
}

// The synopses of a help text: each line's words before its explanation.
std::vector<std::string> Synopses(const std::string& help)
{
    std::vector<std::string> synopses;
    const std::regex synopsis(R"(^  (\S.*?)(  |$))");
    for (std::size_t at = 0; at < help.size();) {
        const std::size_t end = std::min(help.find('\n', at), help.size());
        std::smatch match;
        const std::string line = help.substr(at, end - at);
        if (std::regex_search(line, match, synopsis))
            synopses.push_back(match[1]);
        at = end + 1;
    }
    return synopses;
}

TEST_F(CliLanguages, HelpExplainsInEitherLanguageAndKeepsTheWordsToType)
{
    const Outcome english = Run({"help"}, "en");
    const Outcome chinese = Run({"help"}, "zh_CN");
    ASSERT_EQ(english.status, 0);
    ASSERT_EQ(chinese.status, 0);
    EXPECT_TRUE(english.out.starts_with("Usage: tarnwick-cli [-C FOLDER] [--wait SECONDS] [--language zh_CN|en] "
                                        "COMMAND [ARGUMENTS]\n"));
    EXPECT_TRUE(chinese.out.starts_with("用法：tarnwick-cli [-C FOLDER] [--wait SECONDS] [--language zh_CN|en] "
                                        "COMMAND [ARGUMENTS]\n"));
    EXPECT_NE(english.out.find("  group delete NAME [--yes]   delete the group and its servers"), std::string::npos);
    EXPECT_NE(chinese.out.find("  group delete NAME [--yes]   删除分组及其服务器"), std::string::npos);
    const auto synopses = Synopses(english.out);
    EXPECT_GT(synopses.size(), 20u);
    EXPECT_EQ(Synopses(chinese.out), synopses);
    // A line break that a translation lost or a place left unfilled.
    for (const Outcome* help : {&english, &chinese}) {
        EXPECT_FALSE(std::regex_search(help->out, std::regex("%[1-9]"))) << help->out;
        EXPECT_NE(help->out.find("\n                              curl -s URL | tarnwick-cli verify -\n"),
                  std::string::npos);
    }
}

TEST_F(CliLanguages, WithoutTheOptionTheLocaleChooses)
{
    const std::string english = "tarnwick-cli: frobnicate: unknown command; 'tarnwick-cli help' lists them\n";
    const std::string chinese = "tarnwick-cli: frobnicate：未知的命令；“tarnwick-cli help”会列出所有命令\n";
    const struct {
        std::string variables;
        std::string says;
    } rows[] = {
        {"LANG=en_US.UTF-8", english},
        {"LANG=en", english},
        {"LANG=C", chinese},
        {"LANG=POSIX", chinese},
        {"LANG=C.UTF-8", chinese},
        {"", chinese},
        {"LANG=zh_CN.UTF-8", chinese},
        {"LANG=de_DE.UTF-8", chinese},
        // The first of LC_ALL, LC_MESSAGES and LANG that is set decides.
        {"LC_MESSAGES=en_GB.UTF-8 LANG=C", english},
        {"LC_ALL=C LC_MESSAGES=en_GB.UTF-8", chinese},
        {"LC_ALL=en_US.UTF-8 LANG=zh_CN.UTF-8", english},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variables);
        const Outcome outcome = RunInLocale(row.variables, {"frobnicate"});
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, row.says);
    }
    // The option wins over the locale, both ways.
    EXPECT_EQ(RunInLocale("LANG=en_US.UTF-8", {"--language", "zh_CN", "frobnicate"}).err, chinese);
    EXPECT_EQ(RunInLocale("LANG=C", {"--language", "en", "frobnicate"}).err, english);
    // An unknown language is refused in the locale's.
    const Outcome unknown = RunInLocale("LANG=C", {"--language", "fr", "help"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "tarnwick-cli: --language：未知的语言“fr”（应为 zh_CN 或 en）\n");
    EXPECT_EQ(unknown.out, "");
}

// Scripts parse --json, md5's lines and encode's output, and the window and
// the launchers read the files: none may depend on who ran the command.
// The table is read by people, so its choice words are in their language;
// JSON and the files keep the stored words.
TEST_F(CliLanguages, TheUpdateTableShowsChoiceWordsInTheReadersLanguage)
{
    testing::TemporaryFolder folder;
    ASSERT_EQ(testing::RunCli(folder.path(), streams_.path(),
                              {"update", "add", "--hint", "h", "--url", "http://dl/p", "--save-name", "p", "--check",
                               "exists", "--download", "album"},
                              "", "en")
                  .status,
              0);
    const std::string english = testing::RunCli(folder.path(), streams_.path(), {"update", "list"}, "", "en").out;
    for (const char* word : {"No", "Exists", "Album"})
        EXPECT_NE(english.find(word), std::string::npos) << word << " in " << english;
    for (const char* stored : {"否", "存在", "百度"})
        EXPECT_EQ(english.find(stored), std::string::npos) << english;
    const std::string chinese = testing::RunCli(folder.path(), streams_.path(), {"update", "list"}, "", "zh_CN").out;
    EXPECT_NE(chinese.find("否"), std::string::npos) << chinese;
    const std::string json = testing::RunCli(folder.path(), streams_.path(), {"update", "list", "--json"}, "", "en").out;
    EXPECT_NE(json.find("\"zip\": \"否\""), std::string::npos) << json;
}

TEST_F(CliLanguages, WhatScriptsAndFilesReadIsTheSameInBothLanguages)
{
    const std::vector<std::vector<std::string>> edits = {
        {"group", "add", "华东一区"},
        {"server", "add", "--group", "华东一区", "--show-name", "电信", "--name", "n", "--addr", "1.1.1.1"},
        {"update", "add", "--hint", "补丁", "--url", "http://dl/p.zip", "--save-name", "p.zip", "--check", "md5",
         "--md5", "0123456789abcdef0123456789abcdef"},
        {"web", "set", "Home", "http://home.example/"},
        {"serverinfo"},
    };
    const std::vector<std::vector<std::string>> reads = {
        {"group", "list", "--json"}, {"server", "list", "--json"}, {"update", "list", "--json"},
        {"web", "get", "--json"},    {"md5", "ServerInfo.txt"},    {"decode"},
    };
    struct Result {
        std::vector<std::string> outputs;
        std::string workingCopy;
        std::string serverInfo;
    };
    std::map<std::string, Result> results;
    for (const char* language : {"en", "zh_CN"}) {
        SCOPED_TRACE(language);
        testing::TemporaryFolder folder;
        Result& result = results[language];
        for (const auto& edit : edits)
            ASSERT_EQ(testing::RunCli(folder.path(), streams_.path(), edit, "", language).status, 0) << edit[0];
        for (const auto& read : reads) {
            const Outcome outcome = testing::RunCli(folder.path(), streams_.path(), read, "", language);
            EXPECT_EQ(outcome.status, 0) << read[0] << ": " << outcome.err;
            result.outputs.push_back(outcome.out);
        }
        result.outputs.push_back(testing::RunCli(folder.path(), streams_.path(), {"encode"}, "abc", language).out);
        result.workingCopy = ReadFile(folder.path() / "Tarnwick.xml");
        result.serverInfo = ReadFile(folder.path() / "ServerInfo.txt");
    }
    EXPECT_EQ(results["zh_CN"].outputs, results["en"].outputs);
    EXPECT_EQ(results["zh_CN"].workingCopy, results["en"].workingCopy);
    EXPECT_EQ(results["zh_CN"].serverInfo, results["en"].serverInfo);
    EXPECT_NE(results["en"].outputs[0].find("\"华东一区\""), std::string::npos) << results["en"].outputs[0];
}

} // namespace
} // namespace tarnwick
