// tarnwick-cli as operators run it: a program in a folder, its exit status,
// its two output streams and the files it leaves.
#include "base/file_io.h"
#include "base/text.h"
#include "scripted_operator.h"
#include "temporary_folder.h"
#include "ui/logic/main_window_logic.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using ui::testing::FixedWindow;
using ui::testing::ScriptedDialog;
using ui::testing::ScriptedOperator;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string ShellQuoted(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class Cli : public ::testing::Test {
protected:
    // Runs tarnwick-cli -C FOLDER ARGS with standard input from `input` (not a terminal).
    Outcome Run(std::vector<std::string> args, const std::string& input = "")
    {
        const fs::path in = streams_.path() / "in", out = streams_.path() / "out", err = streams_.path() / "err";
        ReplaceFile(in, input);
        std::string command = ShellQuoted(TARNWICK_CLI) + " -C " + ShellQuoted(folder_.path().string());
        for (const auto& arg : args)
            command += " " + ShellQuoted(arg);
        command += " <" + ShellQuoted(in.string()) + " >" + ShellQuoted(out.string()) + " 2>" +
                   ShellQuoted(err.string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    }

    fs::path Path(const std::string& name) const { return folder_.path() / name; }

    testing::TemporaryFolder folder_;
    testing::TemporaryFolder streams_;
};

// The window's side of the same-bytes test: its logic with scripted answers.
class Window {
public:
    explicit Window(const fs::path& folder) : logic_(op_, window_, {}, folder)
    {
        logic_.AttachDialogs({server_, serverDialog_}, {update_, updateDialog_});
        logic_.LoadWorkingCopy();
    }

    void AddGroup(const std::string& utf8)
    {
        op_.inputs.push_back(utf8);
        logic_.AddGroup();
    }
    void Server(int row, const std::string& group, std::function<void(ui::ServerEditorFields&)> fill)
    {
        serverDialog_.steps.push_back([=, this] {
            fill(server_.Fields);
            for (std::size_t i = 0; i < server_.Fields.GroupNames.size(); ++i)
                if (server_.Fields.GroupNames[i] == Utf8ToGbk(group))
                    server_.Fields.GroupIndex = static_cast<int>(i);
            return !server_.ButtonOkClick(op_).has_value();
        });
        logic_.SelectServer(row);
        row < 0 ? logic_.AddServer() : logic_.EditServer();
    }
    void Update(int row, std::function<void(ui::UpdateEditorFields&)> fill)
    {
        updateDialog_.steps.push_back([=, this] {
            fill(update_.Fields);
            return !update_.ButtonOkClick(op_).has_value();
        });
        logic_.SelectUpdate(row);
        row < 0 ? logic_.AddUpdate() : logic_.EditUpdate();
    }
    ui::MainWindowLogic& Logic() { return logic_; }

private:
    ScriptedOperator op_;
    FixedWindow window_;
    ui::ServerEditorLogic server_;
    ui::UpdateEditorLogic update_;
    ScriptedDialog serverDialog_;
    ScriptedDialog updateDialog_;
    ui::MainWindowLogic logic_;
};

// Each command loads, edits and saves, so between commands the servers stand
// in the order the document gives them (grouped); the sequence keeps them so.
TEST_F(Cli, AnEditSequenceWritesTheBytesTheWindowWrites)
{
    const std::vector<std::vector<std::string>> commands = {
        {"group", "add", "华东一区"},
        {"group", "add", "  South "},
        {"group", "add", "West"},
        {"server", "add", "--group", "华东一区", "--show-name", " 电信一线 ", "--name", "a;b", "--addr", "1.1.1.1;2.2.2.2"},
        {"server", "add", "--group", "  South ", "--show-name", "s", "--name", "n", "--addr", "4.4.4.4"},
        {"server", "add", "--group", "West", "--show-name", "w1", "--name", "n", "--addr", "3.3.3.3", "--port", " 81 "},
        {"server", "add", "--group", "West", "--show-name", "w2", "--name", "n", "--addr", "3.3.3.4"},
        {"server", "edit", "1", "--group", "华东一区", "--addr", " 5.5.5.5 "},
        {"server", "down", "3"},
        {"group", "up", "West"},
        {"group", "delete", "  South ", "--yes"},
        {"update", "add", "--hint", " 补丁 ", "--url", " http://dl/p.zip ", "--save-name", "p.zip", "--check", "md5",
         "--md5", " ABC ", "--zip", "yes"},
        {"update", "add", "--hint", "two", "--url", "u", "--save-name", "q", "--download", "album", "--ver", "9"},
        {"update", "edit", "1", "--check", "pak", "--date", " 2024X "},
        {"update", "delete", "2"},
        {"web", "set", "Payment2", " http://pay.example/ "},
    };
    for (const auto& command : commands) {
        const Outcome outcome = Run(command);
        ASSERT_EQ(outcome.status, 0) << command[0] << " " << command[1] << ": " << outcome.err;
    }

    testing::TemporaryFolder windowFolder;
    Window window(windowFolder.path());
    auto& logic = window.Logic();
    window.AddGroup("华东一区");
    window.AddGroup("  South ");
    window.AddGroup("West");
    window.Server(-1, "华东一区", [](auto& f) {
        f.ShowName = Utf8ToGbk(" 电信一线 "), f.Name = "a;b", f.Addr = "1.1.1.1;2.2.2.2";
    });
    window.Server(-1, "  South ", [](auto& f) { f.ShowName = "s", f.Name = "n", f.Addr = "4.4.4.4"; });
    window.Server(-1, "West", [](auto& f) { f.ShowName = "w1", f.Name = "n", f.Addr = "3.3.3.3", f.Port = " 81 "; });
    window.Server(-1, "West", [](auto& f) { f.ShowName = "w2", f.Name = "n", f.Addr = "3.3.3.4"; });
    window.Server(0, "华东一区", [](auto& f) { f.Addr = " 5.5.5.5 "; });
    logic.SelectServer(2);
    logic.MoveServerDown();
    logic.SelectGroup(2);
    logic.MoveGroupUp();
    logic.SelectGroup(2);
    logic.DeleteGroup();
    window.Update(-1, [](auto& f) {
        f.Hint = Utf8ToGbk(" 补丁 "), f.DownUrl = " http://dl/p.zip ", f.SaveName = "p.zip";
        f.CheckTypeIndex = 3, f.MD5 = " abc ", f.ZipIndex = 1;
    });
    window.Update(-1, [](auto& f) { f.Hint = "two", f.DownUrl = "u", f.SaveName = "q", f.DownTypeIndex = 1, f.Ver = "9"; });
    window.Update(0, [](auto& f) { f.CheckTypeIndex = 2, f.Date = " 2024x "; });
    logic.SelectUpdate(1);
    logic.DeleteUpdate();
    logic.Web().PayUrl2 = " http://pay.example/ ";
    logic.SaveConfiguration();

    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), ReadFile(windowFolder.path() / "Tarnwick.xml"));
}

struct Refusal {
    std::vector<std::string> command;
    std::string says; // on standard error
};

TEST_F(Cli, RefusalsSayTheWindowsNoticeAndWriteNothing)
{
    ASSERT_EQ(Run({"group", "add", "East"}).status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "East", "--show-name", "z", "--name", "n", "--addr", "a"}).status, 0);
    ASSERT_EQ(Run({"update", "add", "--hint", "h", "--url", "u", "--save-name", "s"}).status, 0);
    const std::string before = ReadFile(Path("Tarnwick.xml"));
    const Refusal rows[] = {
        {{"group", "add", ""}, "服务器分组内容不能为空!\n"},
        {{"group", "add", "East"}, "该分组已存在！\n"},
        {{"group", "add", " East "}, "该分组已存在！\n"},
        {{"group", "up", "East"}, "该分组已经在最顶层\n"},
        {{"group", "down", "East"}, "该分组已经在最底层\n"},
        {{"group", "up", "Nowhere"}, "tarnwick-cli: no group is named \"Nowhere\"\n请选择好分组\n"},
        {{"group", "delete", "Nowhere"}, "tarnwick-cli: no group is named \"Nowhere\"\n请先选择你要删除的分组信息!\n"},
        {{"group", "delete", "East"},
         "tarnwick-cli: group \"East\" holds 1 server, which is deleted with it; standard input is not a terminal to "
         "ask on, so confirm with --yes\n"},
        {{"server", "add", "--group", "East", "--show-name", " ", "--name", "n", "--addr", "a"},
         "服务器显示名称不能为空!\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--addr", "a"}, "服务器名称不能为空!\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--name", "n"}, "服务器地址不能为空!\n"},
        {{"server", "add", "--group", "west", "--show-name", "s", "--name", "n", "--addr", "a"},
         "tarnwick-cli: no group is named \"west\"\n请选择服务器分组!\n"},
        {{"server", "edit", "1", "--show-name", "t"}, "请选择服务器分组!\n"},
        {{"server", "edit", "2", "--group", "East"}, "tarnwick-cli: there is no row 2 in the server list\n请先选择你要修改的服务器信息!\n"},
        {{"server", "delete", "2"}, "tarnwick-cli: there is no row 2 in the server list\n请先选择你要删除的服务器信息!\n"},
        {{"server", "up", "1"}, "该分组已经在最顶层\n"},
        {{"update", "add", "--url", "u", "--save-name", "s"}, "更新提示不能为空!\n"},
        {{"update", "add", "--hint", "h", "--save-name", "s"}, "下载不能为空!\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-dir", " ", "--save-name", "s"}, "保存位置不能为空!\n"},
        {{"update", "add", "--hint", "h", "--url", "u"}, "保存文件名不能为空!\n"},
        {{"update", "edit", "3"}, "tarnwick-cli: there is no row 3 in the update list\n请先选择你要修改的更新信息!\n"},
        {{"update", "delete", "3"}, "tarnwick-cli: there is no row 3 in the update list\n请先选择你要删除的更新信息!\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-name", "s", "--ver", "0"},
         "tarnwick-cli: --ver takes a whole number from 1 to 65535, as the dialog's version field does\n"},
        {{"web", "set", "Home", std::string(256, 'a')},
         "tarnwick-cli: ADDRESS has 256 characters; the window's field holds at most 255\n"},
    };
    for (const Refusal& row : rows) {
        SCOPED_TRACE(row.command[0] + " " + row.command[1] + " " + (row.command.size() > 2 ? row.command[2] : ""));
        const Outcome outcome = Run(row.command);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, row.says);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), before);
        EXPECT_EQ(folder_.EntryCount(), 1u);
    }
    EXPECT_EQ(Run({"group", "delete", "East", "--yes"}).status, 0);
    EXPECT_EQ(Run({"server", "list", "--json"}).out, "[]\n");
}

TEST_F(Cli, ListsAsJsonInUtf8)
{
    ASSERT_EQ(Run({"group", "add", "华东"}).status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "华东", "--show-name", "电信", "--name", "n", "--addr", "a"}).status, 0);
    const auto servers = nlohmann::json::parse(Run({"server", "list", "--json"}).out);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0]["group"], "华东");
    EXPECT_EQ(servers[0]["showName"], "电信");
    EXPECT_EQ(servers[0]["port"], "7000");
    EXPECT_EQ(nlohmann::json::parse(Run({"group", "list", "--json"}).out)[0]["servers"], 1);
    EXPECT_EQ(nlohmann::json::parse(Run({"web", "get", "home", "--json"}).out).size(), 1u);
}

TEST_F(Cli, DecodeGivesTheWorkingCopyAndVerifyTellsTheDifferences)
{
    ASSERT_EQ(Run({"group", "add", "华东"}).status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "华东", "--show-name", "电信", "--name", "n", "--addr", "a"}).status, 0);
    ASSERT_EQ(Run({"web", "set", "Home", "http://home.example/"}).status, 0);
    ASSERT_EQ(Run({"serverinfo"}).status, 0);
    EXPECT_EQ(Run({"decode"}).out, ReadFile(Path("Tarnwick.xml")));

    Outcome verify = Run({"verify"});
    EXPECT_EQ(verify.status, 0);
    EXPECT_EQ(verify.out, "up to date\n");
    // Published through a tool that changed the line ends: the same.
    std::string lf = ReadFile(Path("ServerInfo.txt"));
    std::erase(lf, '\r');
    EXPECT_EQ(Run({"verify", "-"}, lf).out, "up to date\n");

    ASSERT_EQ(Run({"server", "edit", "1", "--group", "华东", "--port", "7100"}).status, 0);
    ASSERT_EQ(Run({"web", "set", "Home", "http://new.example/"}).status, 0);
    verify = Run({"verify", "ServerInfo.txt"});
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.out, "ServerInfo.txt differs from what serverinfo writes now from Tarnwick.xml (published, then "
                          "now):\n"
                          "  server \"电信\" of group \"华东\": Port changed from \"7000\" to \"7100\"\n"
                          "  web address Home: changed from \"http://home.example/\" to \"http://new.example/\"\n");

    verify = Run({"verify", "-"}, "");
    EXPECT_EQ(verify.status, 2);
    EXPECT_EQ(verify.err, "tarnwick-cli: standard input is empty: a server information file starts with the line "
                          "\"$BEGIN\"\n");
}

} // namespace
} // namespace tarnwick
