// The operations on the model as both front ends reach them: what each one
// refuses and why, what it stores, and which rows it tells the view about.
#include "base/text.h"
#include "config/document.h"
#include "edit/field_rules.h"
#include "edit/setup_editor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::edit {
namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// A view that keeps its own row counts by the events alone, so that an event
// that does not match the change shows as a wrong count.
class CountingView : public ListEvents {
public:
    explicit CountingView(const SetupModel& model)
        : rows{static_cast<int>(model.groups.Count()), static_cast<int>(model.servers.Count()),
               static_cast<int>(model.updates.Count())},
          model_(model)
    {
    }
    int rows[3];
    int resets = 0;
    std::vector<std::pair<int, int>> changed;

    void BeginInsertRows(ListKind list, int first, int last) override { pending_ = {list, last - first + 1}; Check(list, first, true); }
    void EndInsertRows(ListKind list) override { rows[Index(list)] += pending_.second; }
    void BeginRemoveRows(ListKind list, int first, int last) override
    {
        pending_ = {list, last - first + 1};
        Check(list, last, false);
    }
    void EndRemoveRows(ListKind list) override { rows[Index(list)] -= pending_.second; }
    void RowsChanged(ListKind, int first, int last) override { changed.emplace_back(first, last); }
    void BeginReset(ListKind) override {}
    void EndReset(ListKind list) override
    {
        ++resets;
        rows[Index(list)] = Count(list);
    }
    bool InStep() const
    {
        return rows[0] == Count(ListKind::Groups) && rows[1] == Count(ListKind::Servers) &&
               rows[2] == Count(ListKind::Updates);
    }

private:
    static int Index(ListKind list) { return static_cast<int>(list); }
    int Count(ListKind list) const
    {
        switch (list) {
        case ListKind::Groups: return static_cast<int>(model_.groups.Count());
        case ListKind::Servers: return static_cast<int>(model_.servers.Count());
        case ListKind::Updates: return static_cast<int>(model_.updates.Count());
        }
        return 0;
    }
    void Check(ListKind list, int row, bool inserting)
    {
        EXPECT_LE(row, rows[Index(list)] - (inserting ? 0 : 1)) << "a row outside the list";
    }
    std::pair<ListKind, int> pending_{ListKind::Groups, 0};
    const SetupModel& model_;
};

ServerInput Server(const std::string& group, const std::string& show)
{
    return ServerInput{show, "n", "10.0.0.1", "7000", group};
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.SetListEvents(view);
        for (const char* name : {"East", "West"})
            ASSERT_EQ(editor.AddGroup(name), Outcome::Done);
        for (const auto& [group, show] : {std::pair{"East", "e1"}, {"West", "w1"}, {"East", "e2"}})
            ASSERT_EQ(editor.AddServer(Server(group, show)), Outcome::Done);
    }
    std::string Document() const { return document.BuildDocument(model, false); }

    SetupModel model;
    SetupEditor editor{model};
    CountingView view{model};
    ConfigurationDocument document;
};

// Every refusal leaves the model exactly as it was, so that the saved
// document does not change either.
TEST_F(Editor, RefusalsKeepTheirReasonAndChangeNothing)
{
    struct Row {
        const char* what;
        std::function<Outcome(SetupEditor&)> run;
        Outcome expected;
    };
    const Row rows[] = {
        {"empty group name", [](SetupEditor& e) { return e.AddGroup(""); }, Outcome::GroupNameEmpty},
        {"repeated group", [](SetupEditor& e) { return e.AddGroup("East"); }, Outcome::GroupNameTaken},
        {"repeated once trimmed", [](SetupEditor& e) { return e.AddGroup(" East "); }, Outcome::GroupNameTaken},
        {"delete no group", [](SetupEditor& e) { return e.DeleteGroup(-1); }, Outcome::NoGroupToDelete},
        {"delete past the end", [](SetupEditor& e) { return e.DeleteGroup(2); }, Outcome::NoGroupToDelete},
        {"move no group", [](SetupEditor& e) { return e.MoveGroup(-1, -1); }, Outcome::NoGroupToMove},
        {"first group up", [](SetupEditor& e) { return e.MoveGroup(0, -1); }, Outcome::GroupAtTop},
        {"last group down", [](SetupEditor& e) { return e.MoveGroup(1, +1); }, Outcome::GroupAtBottom},
        {"blank display name", [](SetupEditor& e) { return e.AddServer(Server("East", " \t")); }, Outcome::ShowNameBlank},
        {"blank name first of several",
         [](SetupEditor& e) { return e.AddServer(ServerInput{"s", " ", "", "", std::nullopt}); },
         Outcome::ServerNameBlank},
        {"blank address", [](SetupEditor& e) { return e.AddServer(ServerInput{"s", "n", " ", "", "East"}); },
         Outcome::AddrBlank},
        {"no group chosen", [](SetupEditor& e) { return e.AddServer(ServerInput{"s", "n", "a", "", std::nullopt}); },
         Outcome::NoGroupChosen},
        {"edit no server", [](SetupEditor& e) { return e.EditServer(3, Server("East", "x")); }, Outcome::NoServerToEdit},
        {"edit with a blank field", [](SetupEditor& e) { return e.EditServer(0, Server("East", "")); },
         Outcome::ShowNameBlank},
        {"delete no server", [](SetupEditor& e) { return e.DeleteServer(-1); }, Outcome::NoServerToDelete},
        {"move no server", [](SetupEditor& e) { return e.MoveServer(-1, +1); }, Outcome::NoServerToMove},
        {"first server up", [](SetupEditor& e) { return e.MoveServer(0, -1); }, Outcome::ServerAtTop},
        {"last server down", [](SetupEditor& e) { return e.MoveServer(2, +1); }, Outcome::ServerAtBottom},
        {"blank hint", [](SetupEditor& e) { return e.AddUpdate(UpdateInput{}); }, Outcome::HintBlank},
        {"edit no update", [](SetupEditor& e) { return e.EditUpdate(0, UpdateInput{}); }, Outcome::NoUpdateToEdit},
        {"delete no update", [](SetupEditor& e) { return e.DeleteUpdate(0); }, Outcome::NoUpdateToDelete},
        {"empty web address", [](SetupEditor& e) { return e.SetWebAddress(&WebAddresses::HomeUrl, ""); },
         Outcome::WebAddressEmpty},
        {"no web page", [](SetupEditor& e) { return e.SetWebAddress(&WebAddresses::HomeUrl, "ftp://x"); },
         Outcome::WebAddressNotWeb},
    };
    const std::string before = Document();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.run(editor), row.expected);
        EXPECT_EQ(Document(), before);
        EXPECT_TRUE(view.InStep());
        // Every refusal has words for the operator.
        EXPECT_FALSE(RefusalNotice(row.expected).text.Chinese().empty());
    }
}

TEST_F(Editor, UpdateDialogTestsComeInTheirOrder)
{
    UpdateInput input;
    EXPECT_EQ(CheckUpdateInput(input), Outcome::HintBlank);
    input.Hint = " h ";
    EXPECT_EQ(CheckUpdateInput(input), Outcome::DownUrlBlank);
    input.DownUrl = "u";
    input.SaveDir = "\t";
    EXPECT_EQ(CheckUpdateInput(input), Outcome::SaveDirBlank);
    input.SaveDir = ".\\";
    EXPECT_EQ(CheckUpdateInput(input), Outcome::SaveNameBlank);
    input.SaveName = "p.zip";
    // No check chosen is written as the MD5 check, which needs its digest.
    EXPECT_EQ(CheckUpdateInput(input), Outcome::Md5DigestMissing);
    input.MD5 = "0123456789abcdef0123456789abcdef";
    EXPECT_EQ(CheckUpdateInput(input), Outcome::Done);
}

// What the writer pairs up or launchers compare with is refused when it
// cannot work, in both editors' words, with the document unchanged.
TEST_F(Editor, RefusesWhatLaunchersCannotUse)
{
    const auto server = [](const char* name, const char* addr, const char* port) {
        return ServerInput{"s", name, addr, port, "East"};
    };
    struct ServerRow {
        ServerInput input;
        Outcome expected;
    };
    const ServerRow servers[] = {
        // Names and addresses pair one to one; a third name would vanish.
        {server("L1;L2;L3", "10.0.1.1;10.0.1.2", "7100;7100;7100"), Outcome::ConnectionCountsDiffer},
        {server("L1", "10.0.1.1;10.0.1.2", "7100"), Outcome::ConnectionCountsDiffer},
        // A port for every entry: players would get an empty one.
        {server("L1;L2", "10.0.1.1;10.0.1.2", "7100"), Outcome::PortCountDiffers},
        {server("L1", "10.0.1.1", "7100;7101"), Outcome::PortCountDiffers},
        {server("L1", "10.0.1.1", ""), Outcome::PortCountDiffers},
        {server("L1", "10.0.1.1", "0"), Outcome::PortOutOfRange},
        {server("L1", "10.0.1.1", "65536"), Outcome::PortOutOfRange},
        {server("L1", "10.0.1.1", "70x0"), Outcome::PortOutOfRange},
        {server("L1;L2", "a;b", "7000; 7001"), Outcome::PortOutOfRange},
        {server("L1;L2", "a;b", "7000;-1"), Outcome::PortOutOfRange},
        // Only dividers: no entry at all.
        {server(";;", "10.0.1.1", "7000"), Outcome::ServerNameBlank},
        // Empty values between dividers are skipped by the writer as well.
        {server("L1;;L2;", "a;b", "1;65535"), Outcome::Done},
    };
    for (const ServerRow& row : servers) {
        SCOPED_TRACE(row.input.Name + " / " + row.input.Addr + " / " + row.input.Port);
        EXPECT_EQ(CheckServerInput(row.input), row.expected);
    }

    UpdateInput update;
    update.Hint = "h";
    update.DownUrl = "http://dl/p.dat";
    update.SaveName = "p.dat";
    update.CheckTypeIndex = 3;
    const auto checked = [&](const char* md5, const char* downMd5, int check = 3) {
        UpdateInput input = update;
        input.MD5 = md5;
        input.DownMD5 = downMd5;
        input.CheckTypeIndex = check;
        return CheckUpdateInput(input);
    };
    const char* digest = "0123456789abcdef0123456789ABCDEF";
    EXPECT_EQ(checked("", kNoDownloadCheck), Outcome::Md5DigestMissing);
    EXPECT_EQ(checked("0123456789abcdef0123456789abcde", kNoDownloadCheck), Outcome::Md5DigestMissing);
    EXPECT_EQ(checked("0123456789abcdef0123456789abcdeg", kNoDownloadCheck), Outcome::Md5DigestMissing);
    EXPECT_EQ(checked("", kNoDownloadCheck, -1), Outcome::Md5DigestMissing);
    EXPECT_EQ(checked(digest, kNoDownloadCheck), Outcome::Done);
    EXPECT_EQ(checked(digest, digest), Outcome::Done);
    // Other checks need no digest of the installed file.
    EXPECT_EQ(checked("", kNoDownloadCheck, 0), Outcome::Done);
    // A download check that is neither: launchers would silently not check.
    EXPECT_EQ(checked("", "2005050", 1), Outcome::DownloadCheckInvalid);
    EXPECT_EQ(checked("", "", 1), Outcome::Done);
    EXPECT_EQ(checked(digest, "0123456789abcdef0123456789abcdef0"), Outcome::DownloadCheckInvalid);

    const std::string before = Document();
    for (const char* address : {"ftp://x", "javascript:alert(1)", "www.example.com", "http://", "http://a b/",
                                "file:///C:/Windows/notepad.exe"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(editor.SetWebAddress(&WebAddresses::PayUrl, address), Outcome::WebAddressNotWeb);
    }
    EXPECT_EQ(editor.AddServer(server("L1;L2;L3", "10.0.1.1;10.0.1.2", "7100")), Outcome::ConnectionCountsDiffer);
    update.MD5.clear();
    EXPECT_EQ(editor.AddUpdate(update), Outcome::Md5DigestMissing);
    EXPECT_EQ(Document(), before);
    EXPECT_EQ(editor.SetWebAddress(&WebAddresses::PayUrl, Utf8ToGbk(" HTTPS://Pay.example.com:8443/充值 ")), Outcome::Done);
    for (Outcome outcome : {Outcome::ConnectionCountsDiffer, Outcome::PortCountDiffers, Outcome::PortOutOfRange,
                            Outcome::Md5DigestMissing, Outcome::DownloadCheckInvalid, Outcome::WebAddressNotWeb})
        EXPECT_FALSE(RefusalNotice(outcome).text.Chinese().empty());
}

// A file written before these checks keeps what it holds; the operator learns
// which records launchers cannot use, and why.
TEST(UnusableRecords, NamesEveryRecordLaunchersCannotUseWithItsReason)
{
    SetupModel model;
    model.servers.Append({"East", "good", "a;b", "1.1.1.1;2.2.2.2", "7000;7001"});
    model.servers.Append({"East", "three names", "L1;L2;L3", "1.1.1.1;2.2.2.2", "7000;7000"});
    model.servers.Append({"West", "one port", "a;b", "1.1.1.1;2.2.2.2", "7000;"});
    UpdateEntry md5;
    md5.CheckType = words::kCheckMd5;
    md5.DownMD5 = kNoDownloadCheck;
    md5.Hint = "no digest";
    model.updates.Append(md5);
    md5.MD5 = "0123456789abcdef0123456789abcdef";
    md5.Hint = "fine";
    model.updates.Append(md5);
    model.web.GMUrl = "javascript:alert(1)";

    const UnusableRecords unusable = FindUnusable(model);
    ASSERT_EQ(unusable.servers.size(), 2u);
    EXPECT_EQ(unusable.servers[0].row, 1u);
    EXPECT_EQ(unusable.servers[0].why, Outcome::ConnectionCountsDiffer);
    EXPECT_EQ(unusable.servers[1].row, 2u);
    EXPECT_EQ(unusable.servers[1].why, Outcome::PortCountDiffers);
    ASSERT_EQ(unusable.updates.size(), 1u);
    EXPECT_EQ(unusable.updates[0].row, 0u);
    ASSERT_EQ(unusable.pages.size(), 1u);

    const std::string text = GbkToUtf8(UnusableRecordsNotice(model, unusable).text.Chinese());
    for (const char* named : {"[three names]", "[one port]", "[no digest]", "javascript", "联系GM"})
        EXPECT_NE(text.find(named), std::string::npos) << named << " in " << text;
    EXPECT_EQ(text.find("[good]"), std::string::npos);
    EXPECT_EQ(text.find("[fine]"), std::string::npos);
    EXPECT_TRUE(FindUnusable(SetupModel{}).Empty());
}

TEST_F(Editor, StoresTrimmedOrAsTypedAsTheDialogsDo)
{
    ASSERT_EQ(editor.EditServer(1, ServerInput{" w ", " a;b ", " 1.1.1.1;1.1.1.2 ", " 81;82 ", "West"}), Outcome::Done);
    EXPECT_EQ(model.servers.At(1), (ServerEntry{"West", "w", "a;b", "1.1.1.1;1.1.1.2", "81;82"}));
    EXPECT_EQ(view.changed.back(), std::make_pair(1, 1));

    UpdateInput input;
    input.Hint = " hint ";
    input.DownUrl = " http://dl/p.zip ";
    input.SaveName = " p.zip ";
    input.MD5 = " 0123456789ABCDEF0123456789abcdef ";
    input.CheckTypeIndex = -1;
    input.ZipIndex = 1;
    ASSERT_EQ(editor.AddUpdate(input), Outcome::Done);
    const UpdateEntry& entry = model.updates.At(0);
    EXPECT_EQ(entry.Hint, " hint ");
    EXPECT_EQ(entry.DownUrl, "http://dl/p.zip");
    EXPECT_EQ(entry.SaveName, "p.zip");
    EXPECT_EQ(entry.MD5, " 0123456789ABCDEF0123456789abcdef ");
    EXPECT_EQ(entry.CheckType, words::kCheckUnknown);
    EXPECT_EQ(entry.Zip, words::kYes);
    // Opened for editing, an unknown check word shows as the fourth choice.
    EXPECT_EQ(InputFromUpdate(entry).CheckTypeIndex, 3);
    EXPECT_TRUE(view.InStep());

    // The launcher fields are kept as typed, for the builder to judge, and
    // are no part of the saved document.
    const std::string saved = Document();
    ASSERT_EQ(editor.SetGameName(" "), Outcome::Done);
    ASSERT_EQ(editor.SetServerListUrl(" http://l/ "), Outcome::Done);
    EXPECT_EQ(model.launcher.GameName, " ");
    EXPECT_EQ(model.launcher.ServerListUrl, " http://l/ ");
    EXPECT_EQ(Document(), saved);
}

// The document writes each group's servers together, so exchanging servers
// of two groups changes the list but not what is saved; the command line
// must be able to say so.
TEST_F(Editor, ServerMovesTellWhetherTheSavedOrderChanges)
{
    const std::string before = Document();
    EXPECT_EQ(editor.MoveServer(0, +1), Outcome::ServerMoveKeepsSavedOrder);
    EXPECT_EQ(model.servers.At(1).ShowName, "e1");
    EXPECT_EQ(Document(), before);
    EXPECT_EQ(editor.MoveServer(1, +1), Outcome::Done); // e1 past e2, both East
    EXPECT_NE(Document(), before);
}

// Deleting a group removes exactly its servers, by byte-exact name, whether
// the view is told run by run or, for many runs, with one reset.
TEST_F(Editor, DeletingAGroupRemovesItsServersRunByRunOrByReset)
{
    for (int runs : {3, 40}) {
        SCOPED_TRACE(runs);
        SetupModel m;
        SetupEditor e(m);
        CountingView v(m);
        e.SetListEvents(v);
        ASSERT_EQ(e.AddGroup("A"), Outcome::Done);
        ASSERT_EQ(e.AddGroup("a"), Outcome::Done);
        for (int i = 0; i < runs; ++i) {
            ASSERT_EQ(e.AddServer(Server("A", "x" + std::to_string(i))), Outcome::Done);
            ASSERT_EQ(e.AddServer(Server("a", "y" + std::to_string(i))), Outcome::Done);
        }
        // The server "y1" keeps its place among the survivors.
        EXPECT_EQ(SetupEditor::RowAfterRemovingGroup(m, "A", 3), 1);
        EXPECT_EQ(SetupEditor::RowAfterRemovingGroup(m, "A", 2), -1);
        ASSERT_EQ(e.DeleteGroup(0), Outcome::Done);
        EXPECT_TRUE(v.InStep());
        EXPECT_EQ(v.resets, runs > 32 ? 1 : 0);
        ASSERT_EQ(m.servers.Count(), static_cast<std::size_t>(runs));
        for (const ServerEntry& s : m.servers)
            EXPECT_EQ(s.Group, "a");
    }
}

TEST(FieldRules, CountCharactersLowerCaseAndReadVersions)
{
    EXPECT_EQ(CharacterCount(G("华东a")), 3u);
    EXPECT_TRUE(FitsField(std::string(255, 'a')));
    EXPECT_FALSE(FitsField(std::string(256, 'a')));
    // 255 Chinese characters are 510 bytes and still fit.
    std::string chinese;
    for (int i = 0; i < 255; ++i)
        chinese += G("华");
    EXPECT_TRUE(FitsField(chinese));
    // The trail byte of "丄" is "A" and must stay one.
    EXPECT_EQ(LowerCased("AB\x81\x41Z"), "ab\x81\x41z");
    EXPECT_EQ(TrimmedText(" \t x \r\n"), "x");
    for (const char* good : {"1", "9", "65535", "100"})
        EXPECT_TRUE(IsVersionNumber(good)) << good;
    for (const char* bad : {"", "0", "65536", "007", "-1", "+1", "1.0", " 1", "abc", "99999999999"})
        EXPECT_FALSE(IsVersionNumber(bad)) << bad;
}

// A game client's command, once given, must say something; the window and
// the command line refuse one of blanks alike.
TEST(FieldRules, AGivenClientCommandIsTrimmedAndMustNotBeBlank)
{
    EXPECT_EQ(ClientCommandText(G(" \"游戏\\game.exe\" -s %addr% \r\n")), G("\"游戏\\game.exe\" -s %addr%"));
    EXPECT_EQ(ClientCommandText(" \t\r\n"), std::nullopt);
    EXPECT_EQ(ClientCommandText(""), std::nullopt);
    EXPECT_FALSE(RefusalNotice(Outcome::ClientCommandBlank).text.Chinese().empty());
}

} // namespace
} // namespace tarnwick::edit
