#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "launcher/launcher_builder.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "ui/logic/failure_report.h"
#include "ui/logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick::ui {
namespace {

using testing::FixedWindow;
using testing::ScriptedDialog;
using testing::ScriptedOperator;
using testing::TempFolder;

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

// The window's logic on a copy of the sample working copy, as after start-up.
struct Session {
    explicit Session(const std::filesystem::path& folder)
        : logic(op, window, CarriedLauncherImage(), folder)
    {
        logic.AttachDialogs({serverEditor, serverDialog}, {updateEditor, updateDialog});
        logic.LoadWorkingCopy();
    }

    ScriptedOperator op;
    FixedWindow window;
    ServerEditorLogic serverEditor;
    UpdateEditorLogic updateEditor;
    ScriptedDialog serverDialog;
    ScriptedDialog updateDialog;
    MainWindowLogic logic;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml",
                                   folder.path() / "Tarnwick.xml");
    }
    TempFolder folder;
};

TEST_F(EndToEnd, AddsThroughTheDialogsThenSavesWritesAndGenerates)
{
    Session s(folder.path());
    ASSERT_EQ(s.logic.Model().groups.Count(), 1u);
    ASSERT_EQ(s.logic.Model().servers.Count(), 1u);

    s.op.inputs.push_back("West");
    s.logic.AddGroup();
    s.serverDialog.steps.push_back([&] {
        auto& f = s.serverEditor.Fields;
        f.ShowName = Utf8ToGbk(" 西区 ");
        f.Name = "w1;w2";
        f.Addr = "10.1.0.1;10.1.0.2";
        f.Port = "7000;7000";
        f.GroupIndex = 1;
        return !s.serverEditor.RefuseIncomplete(s.op).has_value();
    });
    s.logic.AddServer();
    s.updateDialog.steps.push_back([&] {
        auto& f = s.updateEditor.Fields;
        f.Hint = "patch";
        f.DownUrl = "http://h/p2.dat";
        f.SaveName = "p2.dat";
        f.MD5 = "0123456789abcdef0123456789abcdef";
        return !s.updateEditor.RefuseIncomplete(s.op).has_value();
    });
    s.logic.AddUpdate();
    ASSERT_TRUE(s.op.notices.empty());

    s.logic.SaveConfiguration();
    EXPECT_EQ(s.op.notices.back().kind, NoticeKind::Success);
    // Each success names the file it wrote, in full.
    EXPECT_EQ(s.op.TakeLastText(), "保存配置成功完成！\r\n已写入：" + s.logic.WorkingCopyPath().string());
    s.logic.WriteServerInformation();
    EXPECT_EQ(s.op.notices.back().caption, "提示信息");
    EXPECT_EQ(s.op.TakeLastText(), "生成配置成功完成！\r\n已写入：" + s.logic.ServerInfoPath().string());
    ASSERT_TRUE(RunGuarded(s.op, [&] { s.logic.GenerateLauncher(); }));
    ASSERT_FALSE(s.op.notices.empty());
    EXPECT_EQ(s.op.notices.back().kind, NoticeKind::Success);

    // Tarnwick.xml: what a new start loads back; the unknown check mode comes back as "MD5".
    Session again(folder.path());
    const SetupModel& model = again.logic.Model();
    ASSERT_EQ(model.groups.Count(), 2u);
    EXPECT_EQ(model.groups.At(1).Name, "West");
    ASSERT_EQ(model.servers.Count(), 2u);
    EXPECT_EQ(model.servers.At(1).Group, "West");
    EXPECT_EQ(U(model.servers.At(1).ShowName), "西区");
    EXPECT_EQ(model.servers.At(1).Addr, "10.1.0.1;10.1.0.2");
    EXPECT_EQ(model.servers.At(1).Port, "7000;7000"); // a port for each entry
    ASSERT_EQ(model.updates.Count(), 2u);
    EXPECT_EQ(model.updates.At(1).CheckType, "MD5");

    // ServerInfo.txt: encoded values between the two marker lines.
    const std::string info = ReadFile(folder.path() / "ServerInfo.txt");
    EXPECT_EQ(info.rfind("$BEGIN\r\n", 0), 0u);
    ASSERT_GE(info.size(), 6u);
    EXPECT_EQ(info.substr(info.size() - 6), "$END\r\n");
    EXPECT_EQ(info.find("10.1.0.1"), std::string::npos);

    // The launcher: one executable named after the game.
    int launchers = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder.path())) {
        if (item.path().extension() != ".exe")
            continue;
        ++launchers;
        EXPECT_EQ(ReadFile(item.path()).substr(0, 2), "MZ");
    }
    EXPECT_EQ(launchers, 1);
}

TEST_F(EndToEnd, AFailedSaveShowsNoSuccessAndKeepsTheOldFiles)
{
    Session s(folder.path());
    const std::string before = ReadFile(folder.path() / "Tarnwick.xml");
    std::filesystem::create_directory(folder.path() / "ServerInfo.txt");
    s.op.inputs.push_back("West");
    s.logic.AddGroup();

    EXPECT_FALSE(RunGuarded(s.op, [&] { s.logic.WriteServerInformation(); }));
    ASSERT_EQ(s.op.notices.size(), 1u);
    EXPECT_EQ(s.op.notices[0].caption, "Tarnwick");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "ServerInfo.txt"));
    EXPECT_EQ(ReadFile(folder.path() / "Tarnwick.xml"), before);
}

TEST_F(EndToEnd, AMalformedWorkingCopyOpensWithWhatStoodBeforeTheDamage)
{
    ReplaceFile(folder.path() / "Tarnwick.xml", "<?xml version=\"1.0\"?><XMLSetup><ServerList><Group Name=\"A\"/>");
    Session s(folder.path());
    EXPECT_EQ(s.logic.Model().groups.Count(), 1u);
    ASSERT_FALSE(s.op.notices.empty());
    EXPECT_EQ(s.op.notices[0].kind, NoticeKind::Refusal);
}

} // namespace
} // namespace tarnwick::ui
