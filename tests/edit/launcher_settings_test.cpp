// The launcher fields each working folder remembers: the initial values only
// until something is remembered, a file that cannot be used never lost or
// trusted, and nothing written over another program's lock.
#include "base/file_io.h"
#include "base/text.h"
#include "edit/launcher_settings.h"
#include "edit/working_copy.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace tarnwick::edit {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

LauncherSetup Initial() { return SetupModel{}.launcher; }

LauncherSetup Chosen()
{
    return {G("青龙传奇"), "http://203.0.113.5:8888/ServerInfo.txt", G("客户端\\game.exe -s %addr% -p \"%port%\"")};
}

class LauncherSettingsTest : public ::testing::Test {
protected:
    fs::path File() const { return folder.path() / kLauncherSettingsFileName; }
    tarnwick::testing::TemporaryFolder folder;
};

TEST_F(LauncherSettingsTest, InitialValuesOnlyUntilTheFirstChangeIsRemembered)
{
    LauncherSettingsFile first(File());
    const LauncherSettingsRead fresh = first.Read();
    EXPECT_EQ(fresh.setup, Initial());
    EXPECT_FALSE(fresh.remembered);
    EXPECT_FALSE(fresh.problem);
    // Nothing changed: a run that only looks leaves no file behind.
    EXPECT_FALSE(first.Remember(Initial()));
    EXPECT_FALSE(fs::exists(File()));

    EXPECT_TRUE(first.Remember(Chosen()));
    EXPECT_FALSE(first.Remember(Chosen()));
    // The next run: Chinese, quotes and backslashes come back as typed.
    LauncherSettingsFile next(File());
    const LauncherSettingsRead read = next.Read();
    EXPECT_EQ(read.setup, Chosen());
    EXPECT_TRUE(read.remembered);
    // Written as UTF-8 text an operator can read.
    EXPECT_NE(ReadFile(File()).find("\"GameName\": \"青龙传奇\""), std::string::npos);
    // Going back to the initial values is a change like any other.
    EXPECT_TRUE(next.Remember(Initial()));
    EXPECT_EQ(LauncherSettingsFile(File()).Read().setup, Initial());
}

TEST_F(LauncherSettingsTest, FieldsLeftOutKeepTheInitialValuesAndOthersAreIgnored)
{
    ReplaceFile(File(), "{\"ServerListUrl\": \"http://list.example/\", \"Later\": [1, 2]}");
    const LauncherSettingsRead read = LauncherSettingsFile(File()).Read();
    EXPECT_FALSE(read.problem);
    EXPECT_TRUE(read.remembered);
    EXPECT_EQ(read.setup.GameName, Initial().GameName);
    EXPECT_EQ(read.setup.ServerListUrl, "http://list.example/");
    EXPECT_EQ(read.setup.ClientCommand, "");
}

TEST_F(LauncherSettingsTest, AFileThatCannotBeUsedGivesTheInitialValuesAndIsKeptUntilAChange)
{
    struct Row {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Row rows[] = {
        {"empty", "", "它不是登录器设置"},
        {"cut short", "{\"GameName\": \"Vel", "它不是登录器设置"},
        {"another program's", "[GameName]\nvalue=1\n", "它不是登录器设置"},
        {"a list", "[\"GameName\"]", "它不是登录器设置"},
        {"a number", "{\"GameName\": 5}", "“GameName”不是文本"},
        {"beyond GBK", "{\"GameClient\": \"game.exe \xF0\x9F\x98\x80\"}", "“GameClient”含有 GBK 无法表示的字符"},
        {"too large", "{\"GameName\": \"" + std::string(70000, 'x') + "\"}", "65,536"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReplaceFile(File(), row.bytes);
        LauncherSettingsFile file(File());
        const LauncherSettingsRead read = file.Read();
        EXPECT_EQ(read.setup, Initial());
        EXPECT_FALSE(read.remembered);
        ASSERT_TRUE(read.problem);
        const std::string text = GbkToUtf8(read.problem->Chinese());
        EXPECT_NE(text.find(PathText(File())), std::string::npos) << text;
        EXPECT_NE(text.find(row.reason), std::string::npos) << text;
        // Looking changes nothing; the operator's first change replaces it.
        EXPECT_FALSE(file.Remember(Initial()));
        EXPECT_EQ(ReadFile(File()), row.bytes);
        EXPECT_TRUE(file.Remember(Chosen()));
        EXPECT_EQ(LauncherSettingsFile(File()).Read().setup, Chosen());
    }
}

TEST_F(LauncherSettingsTest, OnlyTheHolderOfTheFoldersLockRemembers)
{
    SetupModel model;
    model.launcher = Chosen();
    WorkingCopy window(folder.path());
    ASSERT_FALSE(window.Lock("tarnwick", 0ms));
    WorkingCopy script(folder.path());
    ASSERT_TRUE(script.Lock("tarnwick-cli", 0ms));
    EXPECT_FALSE(script.RememberLauncherSettings(model));
    EXPECT_FALSE(fs::exists(File()));

    EXPECT_TRUE(window.RememberLauncherSettings(model));
    SetupModel loaded;
    EXPECT_FALSE(script.LoadLauncherSettings(loaded).problem);
    EXPECT_EQ(loaded.launcher, Chosen());
}

} // namespace
} // namespace tarnwick::edit
