// tarnwick-cli as operators run it: a program in a folder, its exit status,
// its two output streams and the files it leaves.
#include "base/file_io.h"
#include "base/text.h"
#include "cli_process.h"
#include "digest/block_index.h"
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

using Outcome = testing::CliOutcome;
using testing::ShellQuoted;

class Cli : public ::testing::Test {
protected:
    // Runs tarnwick-cli -C FOLDER ARGS with standard input from `input` (not a terminal).
    Outcome Run(std::vector<std::string> args, const std::string& input = "")
    {
        return testing::RunCli(folder_.path(), streams_.path(), args, input);
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
            return !server_.RefuseIncomplete(op_).has_value();
        });
        logic_.SelectServer(row);
        row < 0 ? logic_.AddServer() : logic_.EditServer();
    }
    void Update(int row, std::function<void(ui::UpdateEditorFields&)> fill)
    {
        updateDialog_.steps.push_back([=, this] {
            fill(update_.Fields);
            return !update_.RefuseIncomplete(op_).has_value();
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
        {"server", "add", "--group", "华东一区", "--show-name", " 电信一线 ", "--name", "a;b", "--addr", "1.1.1.1;2.2.2.2",
         "--port", "7000;7001"},
        {"server", "add", "--group", "  South ", "--show-name", "s", "--name", "n", "--addr", "4.4.4.4"},
        {"server", "add", "--group", "West", "--show-name", "w1", "--name", "n", "--addr", "3.3.3.3", "--port", " 81 "},
        {"server", "add", "--group", "West", "--show-name", "w2", "--name", "n", "--addr", "3.3.3.4"},
        {"server", "edit", "1", "--group", "华东一区", "--addr", " 5.5.5.5;6.6.6.6 "},
        {"server", "down", "3"},
        {"group", "up", "West"},
        {"group", "delete", "  South ", "--yes"},
        {"update", "add", "--hint", " 补丁 ", "--url", " http://dl/p.zip ", "--save-name", "p.zip", "--check", "md5",
         "--md5", " 0123456789ABCDEF0123456789ABCDEF ", "--zip", "yes"},
        {"update", "add", "--hint", "two", "--url", "u", "--save-name", "q", "--download", "album", "--ver", "9",
         "--check", "version"},
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
        f.ShowName = Utf8ToGbk(" 电信一线 "), f.Name = "a;b", f.Addr = "1.1.1.1;2.2.2.2", f.Port = "7000;7001";
    });
    window.Server(-1, "  South ", [](auto& f) { f.ShowName = "s", f.Name = "n", f.Addr = "4.4.4.4"; });
    window.Server(-1, "West", [](auto& f) { f.ShowName = "w1", f.Name = "n", f.Addr = "3.3.3.3", f.Port = " 81 "; });
    window.Server(-1, "West", [](auto& f) { f.ShowName = "w2", f.Name = "n", f.Addr = "3.3.3.4"; });
    window.Server(0, "华东一区", [](auto& f) { f.Addr = " 5.5.5.5;6.6.6.6 "; });
    logic.SelectServer(2);
    logic.MoveServerDown();
    logic.SelectGroup(2);
    logic.MoveGroupUp();
    logic.SelectGroup(2);
    logic.DeleteGroup();
    window.Update(-1, [](auto& f) {
        f.Hint = Utf8ToGbk(" 补丁 "), f.DownUrl = " http://dl/p.zip ", f.SaveName = "p.zip";
        f.CheckTypeIndex = 3, f.MD5 = " 0123456789abcdef0123456789abcdef ", f.ZipIndex = 1;
    });
    window.Update(-1, [](auto& f) {
        f.Hint = "two", f.DownUrl = "u", f.SaveName = "q", f.DownTypeIndex = 1, f.Ver = "9", f.CheckTypeIndex = 0;
    });
    window.Update(0, [](auto& f) { f.CheckTypeIndex = 2, f.Date = " 2024x "; });
    logic.SelectUpdate(1);
    logic.DeleteUpdate();
    logic.LeaveWebAddress(&WebAddresses::PayUrl2, " http://pay.example/ ");
    logic.SaveConfiguration();

    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), ReadFile(windowFolder.path() / "Tarnwick.xml"));
}

struct Refused {
    std::vector<std::string> command;
    std::string says; // on standard error
    int status = 1;
};

// The refusals of what launchers could not use, as the English notices say them.
constexpr const char* kCountsDiffer =
    "The server names and addresses must be equally many: for several lines, separate the names and the addresses "
    "with ; so that each name has its address, for example names Telecom;Unicom with addresses 10.0.0.1;10.0.0.2.";
constexpr const char* kPortPerLine =
    "Every line needs a port: give as many ports as names and addresses, separated with ;, for example 7000;7000.";
constexpr const char* kPortRange =
    "A port is a whole number from 1 to 65535, digits only; separate several with ;, for example 7000;7100.";
constexpr const char* kMd5Missing =
    "With the MD5 check, the file's MD5 must be 32 hexadecimal digits: drop the file on the MD5 calculator in the "
    "window, or give it with --file on the command line, to fill it in.";
constexpr const char* kDownloadCheck =
    "The download check must be an MD5 of 32 hexadecimal digits; for no check, write 20050505 or leave it empty.";
constexpr const char* kNotWeb =
    "A web page address must start with http:// or https:// and a site name, without blanks, for example "
    "http://www.example.com/pay.html (launchers open no other addresses).";

TEST_F(Cli, RefusalsSayTheWindowsNoticeAndWriteNothing)
{
    ASSERT_EQ(Run({"group", "add", "East"}).status, 0);
    ASSERT_EQ(Run({"group", "add", "West"}).status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "East", "--show-name", "z", "--name", "n", "--addr", "a"}).status, 0);
    ASSERT_EQ(Run({"server", "add", "--group", "West", "--show-name", "w", "--name", "n", "--addr", "a"}).status, 0);
    ASSERT_EQ(Run({"update", "add", "--hint", "h", "--url", "u", "--save-name", "s", "--check", "exists"}).status, 0);
    const std::string before = ReadFile(Path("Tarnwick.xml"));
    const std::size_t entries = folder_.EntryCount();
    const Refused rows[] = {
        {{"group", "add", ""}, "tarnwick-cli: The group name must not be empty.\n"},
        {{"group", "add", "East"}, "tarnwick-cli: This group exists already.\n"},
        {{"group", "add", " East "}, "tarnwick-cli: This group exists already.\n"},
        {{"group", "up", "East"}, "tarnwick-cli: It is at the top already.\n"},
        {{"group", "down", "West"}, "tarnwick-cli: It is at the bottom already.\n"},
        {{"group", "up", "Nowhere"}, "tarnwick-cli: NAME: no group is named \"Nowhere\"\n"},
        {{"group", "delete", "Nowhere"}, "tarnwick-cli: NAME: no group is named \"Nowhere\"\n"},
        {{"group", "delete", "East"},
         "tarnwick-cli: NAME: group \"East\" holds 1 server, which is deleted with it; standard input is not a "
         "terminal to ask on, so confirm with --yes\n"},
        {{"server", "add", "--group", "East", "--show-name", " ", "--name", "n", "--addr", "a"},
         "tarnwick-cli: The display name must not be empty.\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--addr", "a"},
         "tarnwick-cli: The server name must not be empty.\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--name", "n"},
         "tarnwick-cli: The server address must not be empty.\n"},
        {{"server", "add", "--group", "west", "--show-name", "s", "--name", "n", "--addr", "a"},
         "tarnwick-cli: --group: no group is named \"west\"\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--name", "L1;L2;L3", "--addr", "10.0.1.1;10.0.1.2"},
         "tarnwick-cli: " + std::string(kCountsDiffer) + "\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--name", "L1;L2", "--addr", "a;b"},
         "tarnwick-cli: " + std::string(kPortPerLine) + "\n"},
        {{"server", "add", "--group", "East", "--show-name", "s", "--name", "n", "--addr", "a", "--port", "70000"},
         "tarnwick-cli: " + std::string(kPortRange) + "\n"},
        {{"server", "edit", "1", "--show-name", "t"}, "tarnwick-cli: Choose the server's group.\n"},
        {{"server", "edit", "3", "--group", "East"}, "tarnwick-cli: ROW: there is no row 3 in the server list (it has 2)\n"},
        {{"server", "delete", "3"}, "tarnwick-cli: ROW: there is no row 3 in the server list (it has 2)\n"},
        {{"server", "up", "1"}, "tarnwick-cli: It is at the top already.\n"},
        // East's server and West's: the saved file keeps each group's servers together.
        {{"server", "down", "1"},
         "tarnwick-cli: These two servers belong to different groups. Each group's servers are saved together, so the "
         "saved order would not change.\n"},
        {{"update", "add", "--url", "u", "--save-name", "s"}, "tarnwick-cli: The hint must not be empty.\n"},
        {{"update", "add", "--hint", "h", "--save-name", "s"},
         "tarnwick-cli: The download address must not be empty.\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-dir", " ", "--save-name", "s"},
         "tarnwick-cli: The folder must not be empty.\n"},
        {{"update", "add", "--hint", "h", "--url", "u"}, "tarnwick-cli: The file name must not be empty.\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-name", "s", "--check", "md5"},
         "tarnwick-cli: " + std::string(kMd5Missing) + "\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-name", "s", "--check", "exists", "--down-md5", "2005"},
         "tarnwick-cli: " + std::string(kDownloadCheck) + "\n"},
        {{"update", "edit", "3"}, "tarnwick-cli: ROW: there is no row 3 in the update list (it has 1)\n"},
        {{"update", "delete", "3"}, "tarnwick-cli: ROW: there is no row 3 in the update list (it has 1)\n"},
        {{"update", "add", "--hint", "h", "--url", "u", "--save-name", "s", "--ver", "0"},
         "tarnwick-cli: --ver: takes a whole number from 1 to 65535, as the dialog's version field does; not \"0\"\n"},
        {{"web", "set", "Home", std::string(256, 'a')},
         "tarnwick-cli: ADDRESS: has 256 characters; the window's field holds at most 255\n"},
        {{"web", "set", "Home", ""},
         "tarnwick-cli: The web page address must not be empty. (An empty address is not loaded again: the default "
         "address would be published.)\n"},
        {{"web", "set", "Home", "javascript:alert(1)"}, "tarnwick-cli: " + std::string(kNotWeb) + "\n"},
        // Usage errors: status 2, naming what is wrong.
        {{"server", "edit", "x"},
         "tarnwick-cli: ROW: must be a row number as \"server list\" shows it, from 1; not \"x\"\n", 2},
        {{"update", "add", "--zip", "maybe"}, "tarnwick-cli: --zip: takes one of no, yes; not \"maybe\"\n", 2},
        {{"server", "add", "--colour", "red"},
         "tarnwick-cli: --colour: unknown option; usage: tarnwick-cli server list [--json] [--group NAME] | add "
         "OPTIONS | edit ROW OPTIONS | delete ROW | up ROW | down ROW\n",
         2},
        {{"web", "set", "Lobby", "x"},
         "tarnwick-cli: NAME: is one of Loginframe, ContactGM, Payment, Payment2, Home; not \"Lobby\"\n", 2},
        {{"frobnicate"}, "tarnwick-cli: frobnicate: unknown command; 'tarnwick-cli help' lists them\n", 2},
    };
    for (const Refused& row : rows) {
        SCOPED_TRACE(row.command[0] + " " + (row.command.size() > 1 ? row.command[1] : "") + " " +
                     (row.command.size() > 2 ? row.command[2] : ""));
        const Outcome outcome = Run(row.command);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.err, row.says);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), before);
        EXPECT_EQ(folder_.EntryCount(), entries);
    }
    EXPECT_EQ(Run({"group", "delete", "East", "--yes"}).status, 0);
    EXPECT_EQ(nlohmann::json::parse(Run({"server", "list", "--json"}).out).size(), 1u);
}

// A window holds the folder while it is open: a script's edit is refused and
// says who holds it, reading still works and says the file may be old; once
// the window has saved and closed, the script's edit lands beside the window's.
TEST_F(Cli, AWindowAndAScriptLoseNothingOfEachOther)
{
    ASSERT_EQ(Run({"group", "add", "Script"}).status, 0);
    {
        ScriptedOperator op;
        FixedWindow window;
        ui::MainWindowLogic logic(op, window, {}, folder_.path());
        ASSERT_TRUE(logic.TakeWorkingCopy());
        logic.LoadWorkingCopy();

        const Outcome refused = Run({"--wait", "0.2", "group", "add", "Late"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err.rfind("tarnwick-cli: Tarnwick.xml is in use by tarnwick, process ", 0), 0u) << refused.err;
        EXPECT_NE(refused.err.find("waited 0.2 s"), std::string::npos) << refused.err;

        const Outcome listed = Run({"group", "list", "--json"});
        EXPECT_EQ(listed.status, 0);
        EXPECT_EQ(listed.err.rfind("tarnwick-cli: note: Tarnwick.xml is open in tarnwick, process ", 0), 0u)
            << listed.err;

        op.inputs.push_back("Window");
        logic.AddGroup();
        logic.SaveConfiguration();
    }
    ASSERT_EQ(Run({"group", "add", "Late"}).status, 0);
    const auto groups = nlohmann::json::parse(Run({"group", "list", "--json"}).out);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0]["name"], "Script");
    EXPECT_EQ(groups[1]["name"], "Window");
    EXPECT_EQ(groups[2]["name"], "Late");
}

// Saving an edit over a file that loaded only in part would lose the rest.
TEST_F(Cli, AWorkingCopyThatDoesNotLoadWholeIsNotEdited)
{
    const std::string sample = ReadFile(fs::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml");
    ReplaceFile(Path("Tarnwick.xml"), sample.substr(0, 400));
    const Outcome outcome = Run({"group", "add", "New"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err.rfind("tarnwick-cli: Tarnwick.xml does not load whole, so it is not edited", 0), 0u)
        << outcome.err;
    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), sample.substr(0, 400));
    // Reading it prints what stood before the damage, says on standard error
    // which file, which line and why, and ends with status 1.
    ReplaceFile(Path("Tarnwick.xml"), sample.substr(0, 700));
    const Outcome listed = Run({"server", "list", "--json"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(nlohmann::json::parse(listed.out).size(), 1u);
    EXPECT_NE(listed.err.find(PathText(fs::absolute(Path("Tarnwick.xml")).lexically_normal()) + ": "), std::string::npos)
        << listed.err;
    EXPECT_NE(listed.err.find("\nLine: 19\n"), std::string::npos) << listed.err;
    // What publishes it takes it whole or not at all.
    EXPECT_EQ(Run({"serverinfo"}).status, 1);
    EXPECT_FALSE(fs::exists(Path("ServerInfo.txt")));
    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), sample.substr(0, 700));
}

// A read-only Tarnwick.xml is read but never edited; a folder without one
// reads as empty and says so.
TEST_F(Cli, AReadOnlyWorkingCopyIsNotEditedAndAMissingOneIsTold)
{
    const Outcome missing = Run({"group", "list"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.err.find("there is no Tarnwick.xml in " + folder_.path().string() + ";"), std::string::npos)
        << missing.err;
    ASSERT_EQ(Run({"group", "add", "East"}).status, 0);
    const std::string saved = ReadFile(Path("Tarnwick.xml"));
    fs::permissions(Path("Tarnwick.xml"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Outcome refused = Run({"group", "add", "West"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.rfind("tarnwick-cli: ", 0), 0u) << refused.err;
    EXPECT_EQ(ReadFile(Path("Tarnwick.xml")), saved);
    const Outcome listed = Run({"group", "list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.err.empty()) << listed.err;
}

TEST_F(Cli, UpdateIndexWritesABlockIndexBesideEachLargeFile)
{
    // Blocks that differ, as a game's file has.
    std::string big(blocks::kIndexedFromBytes + 5, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    ReplaceFile(Path("big.pak"), big);
    ReplaceFile(Path("big.pak.blocks"), "an index of an older version");
    ReplaceFile(Path("small.pak"), std::string(blocks::kIndexedFromBytes - 1, 's'));
    fs::create_directory(Path("folder"));

    const Outcome outcome = Run({"update", "index", "big.pak", "missing.pak", "small.pak", "folder"});
    EXPECT_EQ(outcome.status, 2) << "a file that cannot be read";
    const std::string written = ReadFile(Path("big.pak.blocks"));
    std::string why;
    const std::optional<blocks::BlockIndex> index = blocks::DecodeIndex(written, why);
    ASSERT_TRUE(index) << why;
    EXPECT_TRUE(*index == blocks::IndexFile(Path("big.pak"), 1));
    EXPECT_EQ(outcome.out, "big.pak.blocks: 1025 blocks of 4096 bytes, index of " + std::to_string(written.size()) +
                               " bytes\nsmall.pak: smaller than 4.0 MiB, which launchers download whole: no index "
                               "written\n");
    EXPECT_FALSE(fs::exists(Path("small.pak.blocks")));
    EXPECT_FALSE(fs::exists(Path("folder.blocks")));
    const std::string missing = (folder_.path() / "missing.pak").string();
    const std::string folder = (folder_.path() / "folder").string();
    EXPECT_EQ(outcome.err, "tarnwick-cli: Cannot open file \"" + missing + "\". No such file or directory\n"
                           "tarnwick-cli: Cannot open file \"" + folder + "\". Is a directory\n");

    const Outcome usage = Run({"update", "index"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "tarnwick-cli: usage: tarnwick-cli update list [--json] | add OPTIONS | edit ROW OPTIONS | "
                         "delete ROW | index FILE...\n");
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
