// What the window keeps in its working folder besides Tarnwick.xml: the
// launcher fields from one run to the next, and the folder itself shown.
#include "base/file_io.h"
#include "base/text.h"
#include "edit/launcher_settings.h"
#include "launcher/launcher_builder.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "ui/logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tarnwick::ui {
namespace {

namespace fs = std::filesystem;
using testing::FixedWindow;
using testing::ScriptedOperator;
using testing::TempFolder;

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

class WorkingFolderTest : public ::testing::Test {
protected:
    // A run of the window over the folder, as the program starts it.
    std::unique_ptr<MainWindowLogic> Start()
    {
        auto logic = std::make_unique<MainWindowLogic>(op, window, CarriedLauncherImage(), folder.path());
        EXPECT_TRUE(logic->TakeWorkingCopy());
        logic->LoadWorkingCopy();
        return logic;
    }

    fs::path SettingsFile() const { return folder.path() / edit::kLauncherSettingsFileName; }

    TempFolder folder;
    ScriptedOperator op;
    FixedWindow window;
};

TEST_F(WorkingFolderTest, LauncherFieldsLeftAreThereAfterARestart)
{
    {
        auto first = Start();
        EXPECT_EQ(first->Model().launcher, SetupModel{}.launcher);
        // Only looking remembers nothing.
        EXPECT_TRUE(first->CloseRequested());
        EXPECT_FALSE(fs::exists(SettingsFile()));
    }
    {
        auto second = Start();
        second->SetGameName(G("青龙传奇"));
        second->LeaveLauncherField();
        second->SetServerListUrl("http://203.0.113.5/ServerInfo.txt");
        second->SetClientCommand("game.exe -s %addr%");
        // Closed while typing: the last field is never left.
        EXPECT_TRUE(second->CloseRequested());
    }
    auto third = Start();
    EXPECT_EQ(third->Model().launcher.GameName, G("青龙传奇"));
    EXPECT_EQ(third->Model().launcher.ServerListUrl, "http://203.0.113.5/ServerInfo.txt");
    EXPECT_EQ(third->ClientCommand(), "game.exe -s %addr%");
    EXPECT_TRUE(op.notices.empty());
}

TEST_F(WorkingFolderTest, AGeneratedLauncherIsRememberedAsItWasMade)
{
    auto logic = Start();
    logic->SetGameName("Velmora");
    logic->SetServerListUrl("http://list.example/ServerInfo.txt");
    logic->GenerateLauncher();
    EXPECT_EQ(op.notices.back().kind, NoticeKind::Success);
    // Read by another program meanwhile, as tarnwick-cli launcher reads it.
    const edit::LauncherSettingsRead read = edit::LauncherSettingsFile(SettingsFile()).Read();
    EXPECT_EQ(read.setup.GameName, "Velmora");
    EXPECT_EQ(read.setup.ServerListUrl, "http://list.example/ServerInfo.txt");
}

TEST_F(WorkingFolderTest, ADamagedSettingsFileIsToldAndKeptUntilAFieldChanges)
{
    ReplaceFile(SettingsFile(), "{\"GameName\": ");
    {
        auto logic = Start();
        ASSERT_EQ(op.notices.size(), 1u);
        const std::string text = op.TakeLastText();
        EXPECT_NE(text.find(SettingsFile().string()), std::string::npos) << text;
        EXPECT_NE(text.find("登录器页使用初始值"), std::string::npos) << text;
        EXPECT_EQ(logic->Model().launcher, SetupModel{}.launcher);
        logic->LeaveLauncherField();
        EXPECT_TRUE(logic->CloseRequested());
        EXPECT_EQ(ReadFile(SettingsFile()), "{\"GameName\": ");
        logic->SetGameName("Other");
        logic->LeaveLauncherField();
    }
    auto again = Start();
    EXPECT_TRUE(op.notices.empty());
    EXPECT_EQ(again->Model().launcher.GameName, "Other");
}

TEST_F(WorkingFolderTest, AFolderThatRefusesTheSettingsFileIsToldOnce)
{
    // A folder in the file's place: every write of it fails.
    fs::create_directories(SettingsFile() / "inside");
    auto logic = Start();
    op.notices.clear();
    for (const char* name : {"a", "b", "c"}) {
        logic->SetGameName(name);
        logic->LeaveLauncherField();
    }
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
    EXPECT_NE(op.notices[0].text.find("下次启动时不会被记住"), std::string::npos) << op.notices[0].text;
    logic->SaveConfiguration();
    EXPECT_TRUE(logic->CloseRequested());
    EXPECT_EQ(op.notices.size(), 2u); // the save's success only
}

TEST_F(WorkingFolderTest, AWindowWithoutTheFoldersLockRemembersNothing)
{
    auto holder = Start();
    ScriptedOperator otherOperator;
    MainWindowLogic other{otherOperator, window, CarriedLauncherImage(), folder.path()};
    EXPECT_FALSE(other.TakeWorkingCopy());
    other.SetGameName("Intruder");
    other.LeaveLauncherField();
    EXPECT_TRUE(other.CloseRequested());
    EXPECT_FALSE(fs::exists(SettingsFile()));
}

TEST_F(WorkingFolderTest, TheFolderOpensInTheFileManagerInFull)
{
    const fs::path inner = folder.path() / fs::path(u8"服务器 一"); // UTF-8 on every system
    fs::create_directories(inner);
    // Started as "tarnwick 服务器 一/../服务器 一" would start it.
    MainWindowLogic logic{op, window, {}, inner / ".." / inner.filename()};
    EXPECT_EQ(logic.WorkingFolder(), inner);
    logic.OpenWorkingFolder();
    ASSERT_EQ(op.openedFolders.size(), 1u);
    EXPECT_EQ(op.openedFolders[0], inner);
    EXPECT_TRUE(op.notices.empty());

    // The current folder, as a plain start uses it, ends in its own name.
    MainWindowLogic here{op, window, {}, "."};
    EXPECT_EQ(here.WorkingFolder(), fs::current_path());

    op.fileManagerWorks = false;
    logic.OpenWorkingFolder();
    ASSERT_EQ(op.notices.size(), 1u);
    // The notice is UTF-8 on every system; string() would be the ANSI code page's on Windows.
    const std::u8string utf8 = inner.u8string();
    EXPECT_NE(op.notices[0].text.find(std::string(utf8.begin(), utf8.end())), std::string::npos) << op.notices[0].text;
}

} // namespace
} // namespace tarnwick::ui
