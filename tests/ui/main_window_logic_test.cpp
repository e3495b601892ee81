#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "permission_checks.h"
#include "scripted_operator.h"
#include "temp_folder.h"
#include "digest/md5.h"
#include "edit/outcome.h"
#include "launcher/launcher_builder.h"
#include "ui/logic/failure_report.h"
#include "ui/logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace tarnwick::ui {
namespace {

using testing::FixedWindow;
using testing::ScriptedDialog;
using testing::ScriptedOperator;
using testing::TempFolder;

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }
std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        logic.AttachDialogs({serverEditor, serverDialog}, {updateEditor, updateDialog});
    }

    void AddGroup(const std::string& utf8)
    {
        op.inputs.push_back(utf8);
        logic.AddGroup();
    }

    std::vector<std::string> GroupNames() const
    {
        std::vector<std::string> names;
        for (const auto& group : logic.Model().groups)
            names.push_back(U(group.Name));
        return names;
    }

    std::vector<std::string> ServerShowNames() const
    {
        std::vector<std::string> names;
        for (const auto& server : logic.Model().servers)
            names.push_back(U(server.ShowName));
        return names;
    }

    // One showing of the server dialog: fill the fields, then press OK as the
    // dialog's button does, which closes only when its tests pass (else Cancel).
    void NextServerShowing(std::function<void(ServerEditorFields&)> fill)
    {
        serverDialog.steps.push_back([this, fill] {
            fill(serverEditor.Fields);
            return !serverEditor.RefuseIncomplete(op).has_value();
        });
    }

    void AddServer(const std::string& groupUtf8, const std::string& showNameUtf8)
    {
        NextServerShowing([&, groupUtf8, showNameUtf8](ServerEditorFields& f) {
            f.ShowName = G(showNameUtf8);
            f.Name = "n";
            f.Addr = "10.0.0.1";
            for (std::size_t i = 0; i < f.GroupNames.size(); ++i)
                if (f.GroupNames[i] == G(groupUtf8))
                    f.GroupIndex = static_cast<int>(i);
        });
        logic.AddServer();
    }

    void NextUpdateShowing(std::function<void(UpdateEditorFields&)> fill)
    {
        updateDialog.steps.push_back([this, fill] {
            fill(updateEditor.Fields);
            return !updateEditor.RefuseIncomplete(op).has_value();
        });
    }

    TempFolder folder;
    ScriptedOperator op;
    FixedWindow window;
    ServerEditorLogic serverEditor;
    UpdateEditorLogic updateEditor;
    ScriptedDialog serverDialog;
    ScriptedDialog updateDialog;
    MainWindowLogic logic{op, window, {}, folder.path()};
};

TEST(DialogPlacement, CentresWithHalvesTruncatedSeparately)
{
    EXPECT_EQ(CentredOver({100, 80, 499, 383}, {0, 0, 480, 243}), std::make_pair(100 + (249 - 240), 80 + (191 - 121)));
    // A dialog wider than the window goes left of it.
    EXPECT_EQ(CentredOver({10, 10, 101, 101}, {0, 0, 301, 3}), std::make_pair(10 + (50 - 150), 10 + (50 - 1)));
}

TEST(FailureReport, AppendsAFullStopOnlyWhereTheSentenceLacksOne)
{
    EXPECT_EQ(FailureReportText("Cannot open file \"a\". No such file"), "Cannot open file \"a\". No such file.");
    EXPECT_EQ(FailureReportText("done."), "done.");
    EXPECT_EQ(FailureReportText("stop!"), "stop!");   // '!' sorts before '.'
    EXPECT_EQ(FailureReportText("a-"), "a-");
    EXPECT_EQ(FailureReportText("a/"), "a/.");        // '/' sorts after '.'
    // A sentence ending in Chinese ends with a Chinese full stop, found by
    // walking the characters: 表's trail byte is '\\', which sorts after '.'.
    EXPECT_EQ(FailureReportText(G("完成！")), G("完成！"));
    EXPECT_EQ(FailureReportText(G("文件或文件夹不存在")), G("文件或文件夹不存在。"));
    EXPECT_EQ(FailureReportText(G("无法打开文件“表”")), G("无法打开文件“表”。"));
    EXPECT_EQ(FailureReportText(G("完成。")), G("完成。"));
    EXPECT_EQ(FailureReportText(G("表")), G("表。"));
    EXPECT_EQ(FailureReportText(G("表a")), G("表a."));
    EXPECT_EQ(FailureReportText(""), "");
}

TEST(FailureReport, GuardedActionReportsTheErrorAndGoesOn)
{
    ScriptedOperator op;
    EXPECT_FALSE(RunGuarded(op, [] { throw Error("zlib: buffer error"); }));
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
    EXPECT_EQ(op.notices[0].caption, "Tarnwick");
    EXPECT_EQ(op.notices[0].text, "zlib: buffer error.");
    EXPECT_TRUE(RunGuarded(op, [] {}));
    EXPECT_EQ(op.notices.size(), 1u);
}

TEST_F(MainWindowTest, AddGroupTakesTheNameAsTypedAndSelectsIt)
{
    op.inputAnswers = {false};
    logic.AddGroup();
    EXPECT_TRUE(GroupNames().empty());
    EXPECT_EQ(op.inputCaptions.at(0), "增加|请输入你要增加的服务器分组:|");

    AddGroup("");
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].caption, "提示信息");
    EXPECT_EQ(op.TakeLastText(), "服务器分组内容不能为空!");
    EXPECT_TRUE(GroupNames().empty());
    EXPECT_EQ(logic.SelectedGroup(), -1);

    AddGroup("  ");
    AddGroup("East");
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"  ", "East"}));
    EXPECT_EQ(logic.SelectedGroup(), 1);
    EXPECT_TRUE(op.notices.empty());

    // A name that repeats an existing one, as typed or trimmed, is refused;
    // names differing in case or inner spaces are other names.
    logic.SelectGroup(0);
    for (const char* repeated : {"East", " East ", "  "}) {
        AddGroup(repeated);
        ASSERT_EQ(op.notices.size(), 1u) << repeated;
        EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
        EXPECT_EQ(op.notices[0].caption, "错误提示");
        EXPECT_EQ(op.TakeLastText(), "该分组已存在！");
    }
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"  ", "East"}));
    EXPECT_EQ(logic.SelectedGroup(), 0);
    AddGroup("east");
    AddGroup("Ea st");
    EXPECT_EQ(GroupNames().size(), 4u);
    EXPECT_TRUE(op.notices.empty());
}

// Groups of one name in a document are kept as loaded (each save writes their
// servers under each of them, so every save-and-load doubles them), and the
// operator is told after every load.
TEST_F(MainWindowTest, LoadingRepeatedGroupNamesTellsTheOperator)
{
    ReplaceFile(logic.WorkingCopyPath(),
                "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup><ServerList>"
                "<Group Name=\"East\"><Server Name=\"a\"><Child Addrs=\"1\" Port=\"2\">n</Child></Server></Group>"
                "<Group Name=\"West\"/><Group Name=\"East\"/><Group Name=\"West\"/><Group Name=\"North\"/>"
                "</ServerList></XMLSetup>");
    for (std::size_t servers : {1u, 2u, 4u}) {
        MainWindowLogic started(op, window, {}, folder.path());
        started.LoadWorkingCopy();
        ASSERT_EQ(op.notices.size(), 1u);
        EXPECT_EQ(op.notices[0].kind, NoticeKind::Success);
        EXPECT_EQ(op.notices[0].caption, "提示信息");
        EXPECT_EQ(op.TakeLastText().rfind("分组[East][West]重名", 0), 0u);
        EXPECT_EQ(started.Model().servers.Count(), servers);
        started.SaveConfiguration();
        op.notices.clear();
    }
}

TEST_F(MainWindowTest, DeleteGroupMatchesServerGroupsByteForByte)
{
    logic.DeleteGroup();
    EXPECT_EQ(op.TakeLastText(), "请先选择你要删除的分组信息!");

    AddGroup("East");
    AddGroup("east");
    AddServer("East", "a");
    AddServer("east", "b");
    AddServer("East", "c");
    AddServer("east", "d");
    logic.SelectServer(3);

    logic.SelectGroup(0);
    op.confirmations = {false};
    logic.DeleteGroup();
    EXPECT_EQ(op.notices.at(0).kind, NoticeKind::Confirmation);
    EXPECT_EQ(op.notices.at(0).caption, "提示信息");
    EXPECT_EQ(op.TakeLastText(), "是否确定删除分组[East]信息？\r\n将会同时删除所有该组的服务器列表!");
    EXPECT_EQ(GroupNames().size(), 2u);
    EXPECT_EQ(logic.SelectedGroup(), 0);

    logic.DeleteGroup();
    // Both servers of "East" go; the servers of "east" stay, and the selected
    // one keeps its selection.
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"east"}));
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(logic.SelectedServer(), 1);
    EXPECT_EQ(logic.SelectedGroup(), -1);

    logic.MoveGroupUp();
    EXPECT_EQ(op.notices.back().caption, "错误提示");
    EXPECT_EQ(op.TakeLastText(), "请选择好分组");
}

TEST_F(MainWindowTest, MovingGroupsKeepsTheSelectionOnTheMovedGroupAndLeavesServers)
{
    AddGroup("A");
    AddGroup("B");
    AddGroup("C");
    AddServer("A", "a");
    AddServer("C", "c");

    logic.MoveGroupDown(); // C is last and selected
    EXPECT_EQ(op.TakeLastText(), "该分组已经在最底层");
    logic.MoveGroupUp();
    logic.MoveGroupUp();
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(logic.SelectedGroup(), 0);
    logic.MoveGroupUp();
    EXPECT_EQ(op.notices.back().caption, "错误提示");
    EXPECT_EQ(op.TakeLastText(), "该分组已经在最顶层");
    logic.MoveGroupDown();
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(logic.SelectedGroup(), 1);
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(op.notices.empty());
}

TEST_F(MainWindowTest, AddServerFillsTheDialogAndStoresTrimmedFields)
{
    AddGroup("East");
    AddGroup("West");
    logic.SelectGroup(-1);
    ServerEditorFields shown;
    NextServerShowing([&](ServerEditorFields& f) {
        shown = f;
        f.ShowName = "\t Zone 1 ";
        f.Name = G(" 一区;二区 ");
        f.Addr = " 10.0.0.1;10.0.0.2\r\n";
        f.Port = " 7000;7001 ";
        f.GroupIndex = 1;
    });
    logic.AddServer();
    EXPECT_EQ(U(shown.Caption), "增加服务器列表");
    EXPECT_EQ(shown.ShowName, "");
    EXPECT_EQ(shown.Port, "7000");
    EXPECT_EQ(shown.GroupNames, (std::vector<std::string>{"East", "West"}));
    EXPECT_EQ(shown.GroupIndex, -1);
    // Centred over the main window before it showed.
    EXPECT_EQ(serverDialog.frame.left, 100 + (499 / 2 - 480 / 2));
    EXPECT_EQ(serverDialog.frame.top, 80 + (383 / 2 - 243 / 2));

    ASSERT_EQ(logic.Model().servers.Count(), 1u);
    const ServerEntry& entry = logic.Model().servers.At(0);
    EXPECT_EQ(entry.Group, "West");
    EXPECT_EQ(entry.ShowName, "Zone 1");
    EXPECT_EQ(U(entry.Name), "一区;二区");
    EXPECT_EQ(entry.Addr, "10.0.0.1;10.0.0.2");
    EXPECT_EQ(entry.Port, "7000;7001");
    EXPECT_EQ(logic.SelectedServer(), -1);

    serverDialog.steps.push_back([] { return false; });
    logic.AddServer();
    EXPECT_EQ(logic.Model().servers.Count(), 1u);
}

TEST_F(MainWindowTest, ServerDialogRefusesTheFirstIncompleteFieldInOrder)
{
    NextServerShowing([](ServerEditorFields& f) {
        f.ShowName = "   ";
        f.Name = "";
        f.Addr = "";
    });
    logic.AddServer();
    EXPECT_EQ(op.TakeLastText(), "服务器显示名称不能为空!");

    serverEditor.Fields = {};
    serverEditor.Fields.ShowName = "s";
    serverEditor.Fields.Name = " \t";
    EXPECT_EQ(serverEditor.RefuseIncomplete(op), ServerField::Name);
    EXPECT_EQ(op.TakeLastText(), "服务器名称不能为空!");
    serverEditor.Fields.Name = "n";
    EXPECT_EQ(serverEditor.RefuseIncomplete(op), ServerField::Addr);
    EXPECT_EQ(op.TakeLastText(), "服务器地址不能为空!");
    serverEditor.Fields.Addr = "a";
    serverEditor.Fields.Port = "";
    // With no groups there is nothing to choose, so OK can only be refused.
    EXPECT_EQ(serverEditor.RefuseIncomplete(op), ServerField::Group);
    EXPECT_EQ(op.notices.back().caption, "提示信息");
    EXPECT_EQ(op.TakeLastText(), "请选择服务器分组!");
    // Then what launchers could not use: the field to mend has the focus.
    serverEditor.Fields.GroupNames = {"g"};
    serverEditor.Fields.GroupIndex = 0;
    for (const char* port : {"", "abc", "99999", "7000;7001"}) {
        serverEditor.Fields.Port = port;
        EXPECT_EQ(serverEditor.RefuseIncomplete(op), ServerField::Port) << port;
        EXPECT_NE(op.TakeLastText().find("7000"), std::string::npos) << "the notice shows how to write it";
    }
    serverEditor.Fields.Name = "L1;L2;L3";
    serverEditor.Fields.Addr = "10.0.1.1;10.0.1.2";
    EXPECT_EQ(serverEditor.RefuseIncomplete(op), ServerField::Addr);
    EXPECT_NE(op.TakeLastText().find(";"), std::string::npos);
    serverEditor.Fields.Addr = "10.0.1.1;10.0.1.2;10.0.1.3";
    serverEditor.Fields.Port = "7000;7000;65535";
    EXPECT_EQ(serverEditor.RefuseIncomplete(op), std::nullopt);
    EXPECT_TRUE(op.notices.empty());
}

TEST_F(MainWindowTest, EditServerAsksForTheGroupAgainAndKeepsTheRow)
{
    logic.EditServer();
    EXPECT_EQ(op.TakeLastText(), "请先选择你要修改的服务器信息!");

    AddGroup("East");
    AddGroup("West");
    AddServer("East", "a");
    AddServer("East", "b");
    logic.SelectServer(0);

    ServerEditorFields shown;
    NextServerShowing([&](ServerEditorFields& f) { shown = f; });
    logic.EditServer(); // OK without choosing the group again: refused, then cancelled
    EXPECT_EQ(U(shown.Caption), "修改服务器列表");
    EXPECT_EQ(shown.ShowName, "a");
    EXPECT_EQ(shown.Addr, "10.0.0.1");
    EXPECT_EQ(shown.GroupIndex, -1);
    EXPECT_EQ(op.TakeLastText(), "请选择服务器分组!");
    EXPECT_EQ(logic.Model().servers.At(0).Group, "East");

    NextServerShowing([](ServerEditorFields& f) {
        f.ShowName = " a2 ";
        f.GroupIndex = 1;
    });
    logic.EditServer();
    EXPECT_EQ(logic.Model().servers.At(0).Group, "West");
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"a2", "b"}));
    EXPECT_EQ(logic.SelectedServer(), 0);
}

TEST_F(MainWindowTest, MovingAServerDropsTheSelection)
{
    AddGroup("East");
    AddServer("East", "a");
    logic.MoveServerUp();
    EXPECT_EQ(op.notices.back().caption, "错误提示");
    EXPECT_EQ(op.TakeLastText(), "请选择好分组");
    logic.SelectServer(0);
    logic.MoveServerUp();
    EXPECT_EQ(op.TakeLastText(), "该分组已经在最顶层");
    logic.MoveServerDown();
    EXPECT_EQ(op.TakeLastText(), "该分组已经在最底层");

    AddGroup("West");
    AddServer("West", "b");
    AddServer("East", "c");
    logic.SelectServer(0);
    logic.MoveServerDown();
    EXPECT_TRUE(op.notices.empty());
    // Past its neighbour whatever group that is in.
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(logic.SelectedServer(), -1);
    logic.MoveServerDown();
    EXPECT_EQ(op.TakeLastText(), "请选择好分组");
    logic.SelectServer(2);
    logic.MoveServerUp();
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"b", "c", "a"}));

    logic.DeleteServer();
    EXPECT_EQ(op.TakeLastText(), "请先选择你要删除的服务器信息!");
    logic.SelectServer(1);
    logic.DeleteServer();
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(logic.SelectedServer(), -1);
    EXPECT_TRUE(op.notices.empty());
}

TEST_F(MainWindowTest, UpdateDialogStartsWithItsLayoutValuesAndKeepsThemBetweenUses)
{
    UpdateEditorFields firstShown;
    CheckModeRow firstRow;
    NextUpdateShowing([&](UpdateEditorFields& f) {
        firstShown = f;
        firstRow = updateEditor.Row;
        f.Hint = "  new files ";
        f.DownUrl = " http://h/p.dat ";
        f.SaveName = " p.dat\t";
        f.Date = " 20240101 ";
        f.MD5 = " 0123456789ABCDEF0123456789abcdef ";
        f.DownMD5 = " 20050505 ";
    });
    logic.AddUpdate();
    EXPECT_EQ(U(firstShown.Caption), "增加更新列表");
    EXPECT_EQ(firstShown.SaveDir, ".\\");
    EXPECT_EQ(firstShown.CheckTypeIndex, -1);
    EXPECT_EQ(firstShown.Ver, "1");
    EXPECT_EQ(firstShown.DownMD5, "20050505");
    EXPECT_EQ(firstShown.ZipIndex, 0);
    EXPECT_EQ(firstShown.DownTypeIndex, 0);
    EXPECT_TRUE(firstRow.LabelVisible && firstRow.VerVisible);
    EXPECT_EQ(U(firstRow.LabelCaption), "版本号:");
    EXPECT_FALSE(firstRow.DateVisible || firstRow.Md5Visible);

    ASSERT_EQ(logic.Model().updates.Count(), 1u);
    const UpdateEntry& entry = logic.Model().updates.At(0);
    // Hint and both MD5 fields as typed; the others trimmed.
    EXPECT_EQ(entry.Hint, "  new files ");
    EXPECT_EQ(entry.DownUrl, "http://h/p.dat");
    EXPECT_EQ(entry.SaveDir, ".\\");
    EXPECT_EQ(entry.SaveName, "p.dat");
    EXPECT_EQ(entry.Date, "20240101");
    EXPECT_EQ(entry.MD5, " 0123456789ABCDEF0123456789abcdef ");
    EXPECT_EQ(entry.DownMD5, " 20050505 ");
    EXPECT_EQ(U(entry.CheckType), "未知");
    EXPECT_EQ(U(entry.Zip), "否");
    EXPECT_EQ(U(entry.DownType), "直接");
    EXPECT_EQ(entry.Ver, "1");

    // Adding again opens with what the dialog held after its last use.
    UpdateEditorFields secondShown;
    NextUpdateShowing([&](UpdateEditorFields& f) {
        secondShown = f;
        f.ZipIndex = 1;
        f.DownTypeIndex = 1;
        f.CheckTypeIndex = 2;
        f.Ver = "7";
    });
    logic.AddUpdate();
    EXPECT_EQ(secondShown.Hint, "  new files ");
    EXPECT_EQ(secondShown.SaveName, " p.dat\t");
    const UpdateEntry& second = logic.Model().updates.At(1);
    EXPECT_EQ(U(second.Zip), "是");
    EXPECT_EQ(U(second.DownType), "百度");
    EXPECT_EQ(second.CheckType, "PAK");
    EXPECT_EQ(second.Ver, "7");
    EXPECT_EQ(logic.SelectedUpdate(), -1);
}

TEST_F(MainWindowTest, EditUpdateShowsTheEntrysCheckModeAndTheNextAddReusesIt)
{
    logic.EditUpdate();
    EXPECT_EQ(op.TakeLastText(), "请先选择你要修改的更新信息!");
    logic.DeleteUpdate();
    EXPECT_EQ(op.TakeLastText(), "请先选择你要删除的更新信息!");

    NextUpdateShowing([](UpdateEditorFields& f) {
        f.Hint = "h";
        f.DownUrl = "u";
        f.SaveName = "s";
        f.MD5 = "0123456789abcdef0123456789abcdef";
    });
    logic.AddUpdate(); // no check mode chosen: "未知"
    logic.SelectUpdate(0);

    UpdateEditorFields shown;
    CheckModeRow row;
    NextUpdateShowing([&](UpdateEditorFields& f) {
        shown = f;
        row = updateEditor.Row;
        f.Hint = "edited";
    });
    logic.EditUpdate();
    EXPECT_EQ(U(shown.Caption), "修改更新列表");
    EXPECT_EQ(shown.CheckTypeIndex, 3); // "未知" opens as "MD5值"
    EXPECT_TRUE(row.Md5Visible && row.LabelVisible);
    EXPECT_EQ(row.Md5Top, 92);
    EXPECT_FALSE(row.VerVisible);
    EXPECT_EQ(U(row.LabelCaption), "文件MD5值:");
    EXPECT_EQ(logic.Model().updates.At(0).Hint, "edited");
    EXPECT_EQ(logic.Model().updates.At(0).CheckType, "MD5");
    EXPECT_EQ(logic.SelectedUpdate(), 0);

    UpdateEditorFields next;
    updateDialog.steps.push_back([&] {
        next = updateEditor.Fields;
        return false;
    });
    logic.AddUpdate();
    EXPECT_EQ(next.Hint, "edited");
    EXPECT_EQ(next.CheckTypeIndex, 3);
    EXPECT_EQ(logic.Model().updates.Count(), 1u);

    logic.DeleteUpdate();
    EXPECT_EQ(logic.Model().updates.Count(), 0u);
    EXPECT_EQ(logic.SelectedUpdate(), -1);
}

TEST(UpdateEditor, RefusesTheFirstBlankTestedFieldAndReactsToTheCheckMode)
{
    ScriptedOperator op;
    UpdateEditorLogic editor;
    editor.Fields.Hint = " ";
    editor.Fields.SaveDir = "";
    EXPECT_EQ(editor.RefuseIncomplete(op), UpdateField::Hint);
    EXPECT_EQ(op.TakeLastText(), "更新提示不能为空!");
    editor.Fields.Hint = "h";
    EXPECT_EQ(editor.RefuseIncomplete(op), UpdateField::DownUrl);
    EXPECT_EQ(op.TakeLastText(), "下载不能为空!");
    editor.Fields.DownUrl = "u";
    EXPECT_EQ(editor.RefuseIncomplete(op), UpdateField::SaveDir);
    EXPECT_EQ(op.TakeLastText(), "保存位置不能为空!");
    editor.Fields.SaveDir = "d";
    EXPECT_EQ(editor.RefuseIncomplete(op), UpdateField::SaveName);
    EXPECT_EQ(op.notices.back().caption, "提示信息");
    EXPECT_EQ(op.TakeLastText(), "保存文件名不能为空!");

    editor.Fields.CheckTypeIndex = 1;
    editor.ShowCheckMode();
    EXPECT_FALSE(editor.Row.LabelVisible || editor.Row.VerVisible || editor.Row.DateVisible || editor.Row.Md5Visible);
    editor.Fields.CheckTypeIndex = 2;
    editor.ShowCheckMode();
    EXPECT_TRUE(editor.Row.DateVisible && editor.Row.LabelVisible);
    EXPECT_EQ(editor.Row.DateTop, 92);
    EXPECT_EQ(U(editor.Row.LabelCaption), "PAK更新时间:");
    editor.Fields.CheckTypeIndex = 0;
    editor.ShowCheckMode();
    EXPECT_TRUE(editor.Row.VerVisible && !editor.Row.DateVisible);
    EXPECT_EQ(U(editor.Row.LabelCaption), "版本号:");
    // Hiding never clears.
    EXPECT_EQ(editor.Fields.Date, "20050505");
}

// The calculator's digest pins the entry's download only when it is a file's:
// DownMD5 always, MD5 too when the entry is no zip.
TEST(UpdateEditor, PinsTheDownloadToTheFileHashed)
{
    UpdateEditorLogic editor;
    editor.DigestShown(DigestToHex(Digest{})); // a folder or a missing path
    EXPECT_FALSE(editor.CanPinDigest());
    editor.PinShownDigest();
    EXPECT_EQ(editor.Fields.DownMD5, "20050505");

    const std::string hex = "900150983cd24fb0d6963f7d28e17f72";
    editor.DigestShown(hex);
    ASSERT_TRUE(editor.CanPinDigest());
    editor.PinShownDigest();
    EXPECT_EQ(editor.Fields.DownMD5, hex);
    EXPECT_EQ(editor.Fields.MD5, hex);

    editor.Fields = {};
    editor.Fields.ZipIndex = 1; // the file installed is not the file downloaded
    editor.PinShownDigest();
    EXPECT_EQ(editor.Fields.DownMD5, hex);
    EXPECT_EQ(editor.Fields.MD5, "");

    editor.DigestShown(std::nullopt); // the file's name was edited
    EXPECT_FALSE(editor.CanPinDigest());
}

// A dropped file's digest fills the MD5 field while nothing was typed there,
// and the download check of an entry installed as downloaded; typed digests stay.
TEST(UpdateEditor, OffersTheDroppedFilesDigestWhereNothingWasTyped)
{
    const std::string hex = "900150983cd24fb0d6963f7d28e17f72";
    UpdateEditorLogic editor;
    editor.DigestShown(DigestToHex(Digest{}));
    EXPECT_EQ(editor.Fields.MD5, "");
    editor.DigestShown(hex);
    EXPECT_EQ(editor.Fields.MD5, hex);
    EXPECT_EQ(editor.Fields.DownMD5, hex);

    editor.Fields = {};
    editor.Fields.ZipIndex = 1;
    editor.DigestShown(hex);
    EXPECT_EQ(editor.Fields.MD5, hex);
    EXPECT_EQ(editor.Fields.DownMD5, "20050505") << "a zip is downloaded as another file";

    editor.Fields = {};
    editor.Fields.MD5 = "0123456789abcdef0123456789abcdef";
    editor.DigestShown(hex);
    EXPECT_EQ(editor.Fields.MD5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(editor.Fields.DownMD5, "20050505");
}

// Typing an empty address stores nothing and says nothing yet; leaving the
// field says why, as the command line does, and the address stays.
TEST_F(MainWindowTest, WebAddressesGoThroughTheEditingLayer)
{
    const std::string before = logic.Model().web.HomeUrl;
    logic.TypeWebAddress(&WebAddresses::HomeUrl, "");
    EXPECT_TRUE(op.notices.empty());
    EXPECT_EQ(logic.Model().web.HomeUrl, before);
    logic.LeaveWebAddress(&WebAddresses::HomeUrl, "");
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
    EXPECT_EQ(op.TakeLastText(), U(edit::RefusalNotice(edit::Outcome::WebAddressEmpty).text.Chinese()));
    EXPECT_EQ(logic.Model().web.HomeUrl, before);
    EXPECT_FALSE(logic.HasUnsavedEdits());

    // While typed, an address is stored once it is a web page.
    logic.TypeWebAddress(&WebAddresses::HomeUrl, "h");
    EXPECT_EQ(logic.Model().web.HomeUrl, before);
    logic.TypeWebAddress(&WebAddresses::HomeUrl, "http://h");
    EXPECT_EQ(logic.Model().web.HomeUrl, "http://h");
    logic.LeaveWebAddress(&WebAddresses::HomeUrl, "javascript:alert(1)");
    EXPECT_EQ(op.TakeLastText(), U(edit::RefusalNotice(edit::Outcome::WebAddressNotWeb).text.Chinese()));
    EXPECT_EQ(logic.Model().web.HomeUrl, "http://h");
    logic.LeaveWebAddress(&WebAddresses::HomeUrl, "http://x/");
    EXPECT_EQ(logic.Model().web.HomeUrl, "http://x/");
    EXPECT_TRUE(op.notices.empty());
    EXPECT_TRUE(logic.HasUnsavedEdits());
}

// An undo or redo selects the row it brought back, and none under a group
// whose servers came or went; a load starts with nothing to undo.
TEST_F(MainWindowTest, UndoSelectsWhatItBringsBackAndALoadForgetsTheSteps)
{
    AddGroup("East");
    AddGroup("West");
    AddServer("East", "e1");
    AddServer("West", "w1");
    logic.SelectGroup(0);
    logic.SelectServer(1);
    logic.DeleteGroup();
    ASSERT_EQ(GroupNames(), std::vector<std::string>{"West"});
    ASSERT_TRUE(logic.Undo());
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"East", "West"}));
    EXPECT_EQ(ServerShowNames(), (std::vector<std::string>{"e1", "w1"}));
    EXPECT_EQ(logic.SelectedGroup(), 0);
    EXPECT_EQ(logic.SelectedServer(), -1);
    ASSERT_TRUE(logic.Redo());
    EXPECT_EQ(logic.SelectedGroup(), -1);

    logic.SelectServer(0);
    logic.DeleteServer();
    ASSERT_TRUE(logic.Undo());
    EXPECT_EQ(logic.SelectedServer(), 0);

    logic.LoadWorkingCopy();
    EXPECT_FALSE(logic.History().CanUndo());
    EXPECT_FALSE(logic.Undo());
}

TEST(GenerateButton, ShowsEachOutcomeOfTheBuilderAsItsNotice)
{
    struct Row {
        const char* gameName;
        const char* listUrl;
        NoticeKind kind;
        const char* caption;
        const char* text;
    };
    const Row rows[] = {
        {"  ", "http://a/", NoticeKind::Refusal, "错误提示", "游戏名字不能留空！"},
        {"Velmora", " ", NoticeKind::Refusal, "错误提示", "列表地址不能留空！"},
        {"Velmora", "http://a/", NoticeKind::Success, "提示信息", "登录器生成成功！"},
    };
    TempFolder folder;
    std::filesystem::create_directories(folder.path() / "Dir.exe" / "inside");
    ScriptedOperator op;
    FixedWindow window;
    MainWindowLogic logic{op, window, CarriedLauncherImage(), folder.path()};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        logic.SetGameName(G(row.gameName));
        logic.SetServerListUrl(G(row.listUrl));
        logic.GenerateLauncher();
        ASSERT_EQ(op.notices.size(), 1u);
        EXPECT_EQ(op.notices[0].kind, row.kind);
        EXPECT_EQ(op.notices[0].caption, row.caption);
        // A launcher made says what it trusts, after its success.
        EXPECT_EQ(op.TakeLastText().substr(0, std::string(row.text).size()), row.text);
    }
    // A folder in the launcher's place is no launcher in use: the failure is
    // reported as what it is.
    logic.SetGameName(G("Dir"));
    EXPECT_FALSE(RunGuarded(op, [&] { logic.GenerateLauncher(); }));
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].caption, "Tarnwick");
    EXPECT_EQ(op.TakeLastText().rfind("无法创建文件", 0), 0u);
}

TEST(ChoiceWords, MapBothWays)
{
    using namespace edit;
    EXPECT_EQ(U(ZipWordForIndex(-1)), "否");
    EXPECT_EQ(U(ZipWordForIndex(1)), "是");
    EXPECT_EQ(ZipIndexForWord(G("是")), 1);
    EXPECT_EQ(ZipIndexForWord("1"), 0);
    EXPECT_EQ(U(DownTypeWordForIndex(-1)), "直接");
    EXPECT_EQ(U(DownTypeWordForIndex(1)), "百度");
    EXPECT_EQ(DownTypeIndexForWord(G("百度")), 1);
    EXPECT_EQ(DownTypeIndexForWord(G("直接")), 0);
}

// Closing asks only when a save would write something new; a save that fails
// keeps the window open with the edits.
TEST_F(MainWindowTest, ClosingAsksAboutUnsavedEditsOnly)
{
    EXPECT_TRUE(logic.CloseRequested());
    EXPECT_TRUE(op.saveQuestions.empty()) << "nothing changed, nothing asked";

    AddGroup("East");
    op.saveAnswers = {SaveAnswer::Cancel};
    EXPECT_FALSE(logic.CloseRequested());
    ASSERT_EQ(op.saveQuestions.size(), 1u);
    EXPECT_EQ(op.saveQuestions[0], "提示信息|配置信息已修改，是否保存？");

    op.saveAnswers = {SaveAnswer::Discard};
    EXPECT_TRUE(logic.CloseRequested());
    EXPECT_FALSE(std::filesystem::exists(logic.WorkingCopyPath()));

    // The folder cannot take the file: the save fails and the window stays.
    std::filesystem::create_directory(logic.WorkingCopyPath());
    op.saveAnswers = {SaveAnswer::Save};
    EXPECT_FALSE(logic.CloseRequested());
    EXPECT_EQ(op.notices.back().caption, "Tarnwick");
    std::filesystem::remove(logic.WorkingCopyPath());

    op.saveAnswers = {SaveAnswer::Save};
    EXPECT_TRUE(logic.CloseRequested());
    EXPECT_TRUE(std::filesystem::exists(logic.WorkingCopyPath()));
    EXPECT_FALSE(logic.HasUnsavedEdits());
    EXPECT_TRUE(logic.CloseRequested());
}

// A publish reads the saved files: unsaved edits are saved and ServerInfo.txt
// written first, or nothing starts.
TEST_F(MainWindowTest, PublishingAsksToSaveAndWriteUnsavedEditsFirst)
{
    EXPECT_TRUE(logic.ReadyToPublish());
    EXPECT_TRUE(op.notices.empty()) << "nothing changed, nothing asked";

    AddGroup("East");
    op.confirmations = {false};
    EXPECT_FALSE(logic.ReadyToPublish());
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Confirmation);
    EXPECT_NE(op.notices[0].text.find("先保存并生成配置文件？"), std::string::npos) << op.notices[0].text;
    EXPECT_FALSE(std::filesystem::exists(logic.WorkingCopyPath()));
    EXPECT_FALSE(std::filesystem::exists(logic.ServerInfoPath()));

    op.notices.clear();
    EXPECT_TRUE(logic.ReadyToPublish());
    EXPECT_FALSE(logic.HasUnsavedEdits());
    EXPECT_TRUE(std::filesystem::exists(logic.ServerInfoPath()));
    // The question, then what saving and writing told.
    EXPECT_EQ(op.notices.size(), 3u);

    // A save that fails is reported, as the window runs it, and starts nothing.
    AddGroup("West");
    std::filesystem::remove(logic.WorkingCopyPath());
    std::filesystem::create_directory(logic.WorkingCopyPath());
    bool ready = false;
    EXPECT_FALSE(RunGuarded(op, [&] { ready = logic.ReadyToPublish(); }));
    EXPECT_FALSE(ready);
    EXPECT_TRUE(logic.HasUnsavedEdits());
}

// A file cut short loads part way; the first save keeps the original and
// tells the operator where, so the part that did not load is not lost.
TEST_F(MainWindowTest, SavingOverAFileThatDidNotLoadKeepsItAndSaysWhere)
{
    const std::string sample = ReadFile(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml");
    ReplaceFile(logic.WorkingCopyPath(), sample.substr(0, 400));
    EXPECT_TRUE(RunGuarded(op, [&] { logic.LoadWorkingCopy(); }));
    op.notices.clear();
    logic.SaveConfiguration();
    const std::string text = op.TakeLastText();
    EXPECT_EQ(text.rfind("保存配置成功完成！\r\n已写入：" + logic.WorkingCopyPath().string() +
                             "\r\n原来的 Tarnwick.xml 载入时未能完整读取，覆盖前已另存为：\r\n",
                         0),
              0u)
        << text;
    const std::string kept = text.substr(text.rfind('\n') + 1);
    EXPECT_EQ(ReadFile(Utf8Path(kept)), sample.substr(0, 400));
}

// The window holds the folder for its whole run; a second one is told who
// holds it and takes nothing.
TEST_F(MainWindowTest, ASecondWindowOnTheFolderIsRefused)
{
    ASSERT_TRUE(logic.TakeWorkingCopy());
    ScriptedOperator otherOperator;
    FixedWindow otherWindow;
    MainWindowLogic other{otherOperator, otherWindow, {}, folder.path()};
    EXPECT_FALSE(other.TakeWorkingCopy());
    ASSERT_EQ(otherOperator.notices.size(), 1u);
    EXPECT_EQ(otherOperator.notices[0].kind, NoticeKind::Refusal);
    EXPECT_NE(otherOperator.notices[0].text.find("tarnwick（进程 "), std::string::npos)
        << otherOperator.notices[0].text;
}

// The file cut at 700 bytes: every group and server before the cut opens, and
// the notice names the file, the line and what could not be read there.
TEST_F(MainWindowTest, ADamagedFileOpensWithWhatItHoldsAndSaysWhereItIsDamaged)
{
    const std::string sample = ReadFile(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml");
    ReplaceFile(logic.WorkingCopyPath(), sample.substr(0, 700));
    ASSERT_TRUE(RunGuarded(op, [&] { logic.LoadWorkingCopy(); }));
    EXPECT_EQ(logic.Model().groups.Count(), 1u);
    EXPECT_EQ(logic.Model().servers.Count(), 1u);
    EXPECT_EQ(logic.Model().updates.Count(), 0u);
    ASSERT_EQ(op.notices.size(), 1u);
    EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
    const std::string& text = op.notices[0].text;
    const std::string file = U(edit::FullPathText(logic.WorkingCopyPath()));
    EXPECT_NE(text.find(file + ": "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n行：19\r\n    <Config SDir="), std::string::npos) << text;
    EXPECT_NE(text.find("Tarnwick.damaged-"), std::string::npos) << text;
}

// A read-only Tarnwick.xml, and a folder where no file can be created: the
// window opens for viewing and says why it cannot save; a save, a
// ServerInfo.txt and a launcher in that folder are refused, and nothing at
// all is written, also when closing asks to save.
TEST(MainWindowReadOnly, OpensForViewingSaysWhyAndWritesNothing)
{
    const std::string sample = ReadFile(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "Tarnwick.xml");
    for (const bool folderReadOnly : {false, true}) {
#ifdef _WIN32
        if (folderReadOnly)
            continue; // a folder's read-only attribute does not stop files being made in it
#endif
        SCOPED_TRACE(folderReadOnly ? "folder" : "file");
        TempFolder folder;
        ReplaceFile(folder.path() / "Tarnwick.xml", sample);
        const auto readOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec;
        std::filesystem::permissions(folderReadOnly ? folder.path() : folder.path() / "Tarnwick.xml", readOnly);
        const tarnwick::testing::PermissionChecks checked;
        ScriptedOperator op;
        FixedWindow window;
        MainWindowLogic logic{op, window, CarriedLauncherImage(), folder.path()};
        ASSERT_TRUE(logic.TakeWorkingCopy());
        const auto before = folder.Contents(); // with the window's lock file, where it can make one
        ASSERT_TRUE(RunGuarded(op, [&] { logic.LoadWorkingCopy(); }));
        EXPECT_EQ(logic.Model().servers.Count(), 1u);
        const std::string why = folderReadOnly ? "是只读的" : "是只读文件";
        ASSERT_FALSE(op.notices.empty());
        EXPECT_NE(op.notices[0].text.find(why), std::string::npos) << op.notices[0].text;
        EXPECT_EQ(op.notices[0].text.find(".lock"), std::string::npos) << op.notices[0].text;
        op.notices.clear();

        op.inputs.push_back("West");
        logic.AddGroup();
        EXPECT_FALSE(logic.SaveConfiguration());
        ASSERT_EQ(op.notices.size(), 1u);
        EXPECT_EQ(op.notices[0].kind, NoticeKind::Refusal);
        EXPECT_NE(op.notices[0].text.find(why), std::string::npos) << op.notices[0].text;
        op.notices.clear();
        if (folderReadOnly) {
            logic.WriteServerInformation();
            logic.SetGameName("Game");
            logic.GenerateLauncher();
            EXPECT_EQ(op.notices.size(), 2u);
            for (const auto& notice : op.notices)
                EXPECT_NE(notice.text.find(why), std::string::npos) << notice.text;
        }
        op.saveAnswers.push_back(SaveAnswer::Save);
        EXPECT_FALSE(logic.CloseRequested()) << "a refused save must keep the window open";
        EXPECT_EQ(folder.Contents(), before);
    }
}

} // namespace
} // namespace tarnwick::ui
