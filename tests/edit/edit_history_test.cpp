// Undo and redo through the editing layer: random edits, each followed at
// random by undo and redo steps, end where the edits still done lead, undoing
// them all gives back the model as loaded, and the view is told every row.
#include "base/file_io.h"
#include "base/text.h"
#include "config/document.h"
#include "edit/setup_editor.h"
#include "edit/working_copy.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::edit {
namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

template <class Record>
bool SameRows(const RecordList<Record>& a, const RecordList<Record>& b)
{
    return a.Count() == b.Count() && std::equal(a.begin(), a.end(), b.begin());
}

bool Same(const SetupModel& a, const SetupModel& b)
{
    return SameRows(a.groups, b.groups) && SameRows(a.servers, b.servers) && SameRows(a.updates, b.updates) &&
           a.web == b.web && a.launcher.GameName == b.launcher.GameName &&
           a.launcher.ServerListUrl == b.launcher.ServerListUrl;
}

// A view whose rows are copies taken only when the events say so: an event
// missing, early, late or over the wrong rows leaves it unlike the model.
class MirrorView : public ListEvents {
public:
    explicit MirrorView(const SetupModel& model) : model_(model)
    {
        for (ListKind list : {ListKind::Groups, ListKind::Servers, ListKind::Updates})
            With(list, [](auto& rows, const auto& records) { rows.assign(records.begin(), records.end()); });
    }

    bool Matches() const
    {
        return std::equal(groups_.begin(), groups_.end(), model_.groups.begin(), model_.groups.end()) &&
               std::equal(servers_.begin(), servers_.end(), model_.servers.begin(), model_.servers.end()) &&
               std::equal(updates_.begin(), updates_.end(), model_.updates.begin(), model_.updates.end());
    }
    int resets = 0;

    void BeginInsertRows(ListKind list, int first, int last) override
    {
        Begin(Pending::Insert, list, first, last);
        EXPECT_LE(first, Size(list)) << "rows inserted past the end";
    }
    void EndInsertRows(ListKind list) override
    {
        const Pending p = End(Pending::Insert, list);
        With(list, [&](auto& rows, const auto& records) {
            ASSERT_EQ(records.Count(), rows.size() + static_cast<std::size_t>(p.last - p.first + 1));
            for (int row = p.first; row <= p.last; ++row)
                rows.insert(rows.begin() + row, records.At(static_cast<std::size_t>(row)));
        });
    }
    void BeginRemoveRows(ListKind list, int first, int last) override
    {
        Begin(Pending::Remove, list, first, last);
        EXPECT_LT(last, Size(list)) << "rows removed past the end";
    }
    void EndRemoveRows(ListKind list) override
    {
        const Pending p = End(Pending::Remove, list);
        With(list, [&](auto& rows, const auto& records) {
            ASSERT_EQ(records.Count() + static_cast<std::size_t>(p.last - p.first + 1), rows.size());
            rows.erase(rows.begin() + p.first, rows.begin() + p.last + 1);
        });
    }
    void RowsChanged(ListKind list, int first, int last) override
    {
        EXPECT_EQ(pending_.what, Pending::None) << "rows changed inside another change";
        With(list, [&](auto& rows, const auto& records) {
            ASSERT_TRUE(first >= 0 && first <= last && static_cast<std::size_t>(last) < rows.size() &&
                        rows.size() == records.Count())
                << "changed rows " << first << "-" << last << " of " << rows.size();
            for (int row = first; row <= last; ++row)
                rows[static_cast<std::size_t>(row)] = records.At(static_cast<std::size_t>(row));
        });
    }
    void BeginReset(ListKind list) override { Begin(Pending::Reset, list, 0, 0); }
    void EndReset(ListKind list) override
    {
        End(Pending::Reset, list);
        ++resets;
        With(list, [](auto& rows, const auto& records) { rows.assign(records.begin(), records.end()); });
    }

private:
    struct Pending {
        enum What { None, Insert, Remove, Reset } what = None;
        ListKind list = ListKind::Groups;
        int first = 0;
        int last = 0;
    };

    template <class F>
    void With(ListKind list, F f)
    {
        switch (list) {
        case ListKind::Groups: f(groups_, model_.groups); break;
        case ListKind::Servers: f(servers_, model_.servers); break;
        case ListKind::Updates: f(updates_, model_.updates); break;
        }
    }
    int Size(ListKind list)
    {
        int size = 0;
        With(list, [&](auto& rows, const auto&) { size = static_cast<int>(rows.size()); });
        return size;
    }
    void Begin(Pending::What what, ListKind list, int first, int last)
    {
        EXPECT_EQ(pending_.what, Pending::None) << "a change begun inside another";
        EXPECT_TRUE(first >= 0 && first <= last) << first << "-" << last;
        // Told before the model changes: the view still has the model's rows.
        With(list, [&](auto& rows, const auto& records) { EXPECT_EQ(rows.size(), records.Count()); });
        pending_ = {what, list, first, last};
    }
    Pending End(Pending::What what, ListKind list)
    {
        EXPECT_EQ(pending_.what, what);
        EXPECT_EQ(pending_.list, list);
        return std::exchange(pending_, {});
    }

    const SetupModel& model_;
    std::vector<ServerGroup> groups_;
    std::vector<ServerEntry> servers_;
    std::vector<UpdateEntry> updates_;
    Pending pending_;
};

// One operation of the editing layer with what it was given.
struct Op {
    enum Kind {
        AddGroup, DeleteGroup, MoveGroup,
        AddServer, EditServer, DeleteServer, MoveServer,
        AddUpdate, EditUpdate, DeleteUpdate,
        WebAddress, GameName, ServerListUrl,
        EndTyping,
        kKinds
    } kind = AddGroup;
    int row = -1;
    int step = 0;
    std::string text;
    ServerInput server;
    UpdateInput update;
    std::string WebAddresses::* web = nullptr;
};

Outcome Apply(SetupEditor& editor, const Op& op)
{
    switch (op.kind) {
    case Op::AddGroup: return editor.AddGroup(op.text);
    case Op::DeleteGroup: return editor.DeleteGroup(op.row);
    case Op::MoveGroup: return editor.MoveGroup(op.row, op.step);
    case Op::AddServer: return editor.AddServer(op.server);
    case Op::EditServer: return editor.EditServer(op.row, op.server);
    case Op::DeleteServer: return editor.DeleteServer(op.row);
    case Op::MoveServer: return editor.MoveServer(op.row, op.step);
    case Op::AddUpdate: return editor.AddUpdate(op.update);
    case Op::EditUpdate: return editor.EditUpdate(op.row, op.update);
    case Op::DeleteUpdate: return editor.DeleteUpdate(op.row);
    case Op::WebAddress: return editor.SetWebAddress(op.web, op.text);
    case Op::GameName: return editor.SetGameName(op.text);
    case Op::ServerListUrl: return editor.SetServerListUrl(op.text);
    case Op::EndTyping: editor.EndTyping(); return Outcome::Done;
    case Op::kKinds: break;
    }
    return Outcome::Done;
}

bool IsText(Op::Kind kind) { return kind == Op::WebAddress || kind == Op::GameName || kind == Op::ServerListUrl; }

template <class Model> // SetupModel, const or not
auto& FieldOf(Model& model, const Op& op)
{
    if (op.kind == Op::WebAddress)
        return model.web.*op.web;
    return op.kind == Op::GameName ? model.launcher.GameName : model.launcher.ServerListUrl;
}

// What the history calls each operation that it records.
EditKind KindOf(Op::Kind kind)
{
    static const std::map<Op::Kind, EditKind> kinds = {
        {Op::AddGroup, EditKind::AddGroup},     {Op::DeleteGroup, EditKind::DeleteGroup},
        {Op::MoveGroup, EditKind::MoveGroup},   {Op::AddServer, EditKind::AddServer},
        {Op::EditServer, EditKind::EditServer}, {Op::DeleteServer, EditKind::DeleteServer},
        {Op::MoveServer, EditKind::MoveServer}, {Op::AddUpdate, EditKind::AddUpdate},
        {Op::EditUpdate, EditKind::EditUpdate}, {Op::DeleteUpdate, EditKind::DeleteUpdate},
    };
    const auto found = kinds.find(kind);
    return found == kinds.end() ? EditKind::Text : found->second;
}

// Random operations over a small model, so that names repeat, rows run out
// and moves meet the edges; about one in eight is given what it must refuse.
class OpMaker {
public:
    explicit OpMaker(std::uint32_t seed) : random_(seed) {}

    Op Make(const SetupModel& model, const Op* last)
    {
        // Typing goes on in the same field more often than not.
        if (last && IsText(last->kind) && Chance(2, 3))
            return Typed(model, *last);
        Op op;
        op.kind = static_cast<Op::Kind>(Below(Op::kKinds));
        switch (op.kind) {
        case Op::AddGroup: op.text = Chance(1, 10) ? "" : Pick(kGroups); break;
        case Op::DeleteGroup:
        case Op::MoveGroup: op.row = Row(model.groups.Count()); op.step = Chance(1, 2) ? -1 : 1; break;
        case Op::AddServer: op.server = Server(); break;
        case Op::EditServer:
        case Op::DeleteServer:
        case Op::MoveServer:
            op.row = Row(model.servers.Count());
            op.step = Chance(1, 2) ? -1 : 1;
            op.server = Server();
            break;
        case Op::AddUpdate: op.update = Update(); break;
        case Op::EditUpdate:
        case Op::DeleteUpdate: op.row = Row(model.updates.Count()); op.update = Update(); break;
        case Op::WebAddress:
            op.web = kWebAddressFields[Below(kWebAddressFields.size())].member;
            op.text = Chance(1, 8) ? Pick(kBadPages) : Pick(kPages);
            break;
        case Op::GameName: op.text = Pick(kGameNames); break;
        case Op::ServerListUrl: op.text = Pick(kPages); break;
        case Op::EndTyping:
        case Op::kKinds: break;
        }
        return op;
    }

private:
    // A key in the field typed last: a letter added, the last one taken
    // away, or the field emptied.
    Op Typed(const SetupModel& model, const Op& last)
    {
        Op op;
        op.kind = last.kind;
        op.web = last.web;
        op.text = FieldOf(model, op);
        if (Chance(1, 20))
            op.text.clear();
        else if (!op.text.empty() && Chance(1, 2))
            op.text.pop_back();
        else
            op.text += static_cast<char>('a' + Below(3));
        return op;
    }
    ServerInput Server()
    {
        const std::string n = std::to_string(Below(1000));
        ServerInput input{"z" + n, "n" + n, "10.0.0." + n, "7000", Pick(kGroups)};
        if (Chance(1, 2)) {
            input.Name += ";m" + n;
            input.Addr += ";10.0.1." + n;
            input.Port += ";7001";
        }
        switch (Below(24)) {
        case 0: input.ShowName = " "; break;
        case 1: input.Group.reset(); break;
        case 2: input.Addr.clear(); break;
        default: break;
        }
        return input;
    }
    UpdateInput Update()
    {
        const std::string n = std::to_string(Below(1000));
        UpdateInput input;
        input.Hint = "h" + n;
        input.DownUrl = "http://h/" + n + ".zip";
        input.SaveName = "f" + n;
        input.ZipIndex = static_cast<int>(Below(2));
        input.DownTypeIndex = static_cast<int>(Below(2));
        input.CheckTypeIndex = static_cast<int>(Below(5)) - 1;
        input.Ver = std::to_string(1 + Below(9));
        input.MD5 = Pick(kDigests);
        input.DownMD5 = Chance(1, 2) ? Pick(kDigests) : "20050505";
        if (Chance(1, 12))
            input.SaveName.clear();
        return input;
    }

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    bool Chance(std::size_t in, std::size_t of) { return Below(of) < in; }
    // Any row, or one just outside the list at either end.
    int Row(std::size_t count) { return static_cast<int>(Below(count + 2)) - 1; }
    template <std::size_t N>
    std::string Pick(const std::array<const char*, N>& pool) { return G(pool[Below(N)]); }

    static constexpr std::array<const char*, 7> kGroups = {"East", "West", "北区", "east", " ", "South", "华东"};
    static constexpr std::array<const char*, 4> kPages = {"http://a.example/", "https://b.example/pay",
                                                          "http://c.example/x?y=1", "https://例子.example/"};
    static constexpr std::array<const char*, 3> kBadPages = {"", "ftp://x", "javascript:alert(1)"};
    static constexpr std::array<const char*, 3> kGameNames = {"Velmora", "传奇", ""};
    static constexpr std::array<const char*, 2> kDigests = {"900150983cd24fb0d6963f7d28e17f72",
                                                            "795f3202b17cb6bc3d4b771d8c6c9eaf"};
    std::mt19937 random_;
};

constexpr const char* kLoaded =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
    "<XMLSetup>\r\n"
    "  <ServerList>\r\n"
    "    <Group Name=\"East\">\r\n"
    "      <Server Name=\"Zone\">\r\n"
    "        <Child Addrs=\"10.0.0.1\" Port=\"7000\">one</Child>\r\n"
    "      </Server>\r\n"
    "      <Server Name=\"Zone 2\">\r\n"
    "        <Child Addrs=\"10.0.0.2\" Port=\"7000\">two</Child>\r\n"
    "      </Server>\r\n"
    "    </Group>\r\n"
    "    <Group Name=\"West\">\r\n"
    "      <Server Name=\"Far\">\r\n"
    "        <Child Addrs=\"10.0.9.1\" Port=\"7100\">far</Child>\r\n"
    "      </Server>\r\n"
    "    </Group>\r\n"
    "  </ServerList>\r\n"
    "  <Url>\r\n"
    "    <Home>http://home.example/</Home>\r\n"
    "  </Url>\r\n"
    "  <UpDate>\r\n"
    "    <Config SDir=\".\\\" FName=\"f\" DUrl=\"http://h/f\" ZIP=\"0\" Check=\"0\" DType=\"0\" "
    "Date=\"1\" VAR=\"3\" MD5=\"\" ID=\"\">hint</Config>\r\n"
    "  </UpDate>\r\n"
    "</XMLSetup>\r\n";

// A step of the history as the test sees it: the operations it took (typing
// in one field merges) and, for typing, what the field held before.
struct ExpectedStep {
    std::vector<Op> ops;
    std::string before;
};

TEST(EditHistory, RandomEditsUndoneAndRedoneEndWhereTheEditsStillDoneLead)
{
    constexpr std::uint32_t kSeed = 35;
    constexpr int kOperations = 10000;
    SCOPED_TRACE("seed " + std::to_string(kSeed));

    testing::TemporaryFolder folder;
    ReplaceFile(folder.path() / "Tarnwick.xml", kLoaded);
    WorkingCopy workingCopy(folder.path());
    SetupModel model;
    workingCopy.Load(model);
    const SetupModel loaded = model;
    ConfigurationDocument writer;
    const std::string loadedBytes = writer.BuildDocument(model, false);
    ASSERT_EQ(model.servers.Count(), 3u);

    SetupEditor editor(model);
    MirrorView view(model);
    editor.SetListEvents(view);
    OpMaker maker(kSeed);
    std::mt19937 undoing(kSeed + 1);
    std::vector<ExpectedStep> done;
    std::vector<ExpectedStep> undone;
    const std::string* typing = nullptr;
    std::vector<int> recorded(Op::kKinds, 0);
    int undos = 0;
    int redos = 0;
    std::optional<Op> last;

    for (int i = 0; i < kOperations; ++i) {
        SCOPED_TRACE("operation " + std::to_string(i));
        const Op op = maker.Make(model, last ? &*last : nullptr);
        last = op;
        const SetupModel before = model;
        const Outcome outcome = Apply(editor, op);
        if (outcome != Outcome::Done && outcome != Outcome::ServerMoveKeepsSavedOrder) {
            ASSERT_TRUE(Same(model, before)) << "a refusal changed the model";
        } else if (op.kind == Op::EndTyping) {
            typing = nullptr;
        } else if (op.kind == Op::MoveGroup || op.kind == Op::MoveServer || !Same(model, before)) {
            ++recorded[op.kind];
            if (IsText(op.kind)) {
                const std::string* field = &FieldOf(model, op);
                if (typing == field) {
                    done.back().ops.push_back(op);
                    if (*field == done.back().before) {
                        done.pop_back();
                        typing = nullptr;
                    }
                } else {
                    done.push_back({{op}, FieldOf(before, op)});
                    undone.clear();
                    typing = field;
                }
            } else {
                done.push_back({{op}, {}});
                undone.clear();
                typing = nullptr;
            }
        }
        ASSERT_TRUE(view.Matches());

        for (int k = std::uniform_int_distribution<int>(0, 3)(undoing); k > 0; --k) {
            typing = nullptr;
            const bool undo = std::uniform_int_distribution<int>(0, 4)(undoing) < 3;
            std::vector<ExpectedStep>& from = undo ? done : undone;
            std::vector<ExpectedStep>& to = undo ? undone : done;
            if (!from.empty()) {
                ASSERT_EQ(undo ? editor.History().NextUndo() : editor.History().NextRedo(),
                          KindOf(from.back().ops.front().kind));
            }
            const std::optional<Restored> restored = undo ? editor.Undo() : editor.Redo();
            ASSERT_EQ(restored.has_value(), !from.empty());
            ASSERT_TRUE(view.Matches());
            if (!restored)
                continue;
            (undo ? undos : redos)++;
            if (restored->list && restored->row >= 0) {
                const std::size_t count = *restored->list == ListKind::Groups    ? model.groups.Count()
                                          : *restored->list == ListKind::Servers ? model.servers.Count()
                                                                                  : model.updates.Count();
                ASSERT_LT(static_cast<std::size_t>(restored->row), count);
            }
            to.push_back(std::move(from.back()));
            from.pop_back();
        }
        ASSERT_EQ(editor.History().CanUndo(), !done.empty());
        ASSERT_EQ(editor.History().CanRedo(), !undone.empty());
    }

    // Every kind of edit was made often, whatever the checks refuse.
    for (int kind = 0; kind < Op::EndTyping; ++kind)
        EXPECT_GE(recorded[static_cast<std::size_t>(kind)], 50) << "operation kind " << kind;
    EXPECT_GE(undos, 2000);
    EXPECT_GE(redos, 1000);

    // The same edits made directly on the loaded model.
    const auto direct = [&](const std::vector<ExpectedStep>& steps) {
        SetupModel result = loaded;
        SetupEditor editor(result);
        for (const ExpectedStep& step : steps)
            for (const Op& op : step.ops) {
                const Outcome outcome = Apply(editor, op);
                EXPECT_TRUE(outcome == Outcome::Done || outcome == Outcome::ServerMoveKeepsSavedOrder);
            }
        return result;
    };
    const SetupModel expected = direct(done);
    ASSERT_TRUE(Same(model, expected));
    EXPECT_EQ(writer.BuildDocument(model, false), writer.BuildDocument(expected, false));

    std::size_t steps = 0;
    while (editor.Undo())
        ++steps;
    EXPECT_EQ(steps, done.size());
    EXPECT_TRUE(view.Matches());
    EXPECT_TRUE(Same(model, loaded));
    EXPECT_EQ(writer.BuildDocument(model, false), loadedBytes);
    EXPECT_FALSE(workingCopy.IsModified(model));

    // Redoing everything makes the steps undone at the end too.
    std::vector<ExpectedStep> everything = done;
    everything.insert(everything.end(), undone.rbegin(), undone.rend());
    while (editor.Redo())
        ;
    EXPECT_TRUE(view.Matches());
    EXPECT_TRUE(Same(model, direct(everything)));
}

class History : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.SetListEvents(view);
        for (const char* name : {"East", "West"})
            ASSERT_EQ(editor.AddGroup(name), Outcome::Done);
        for (const auto& [group, show] : {std::pair{"East", "e1"}, {"West", "w1"}, {"East", "e2"}})
            ASSERT_EQ(editor.AddServer(ServerInput{show, "n", "10.0.0.1", "7000", group}), Outcome::Done);
        editor.ForgetHistory();
    }

    SetupModel model;
    SetupEditor editor{model};
    MirrorView view{model};
};

// The window selects what an undo or redo brought back, so each says where.
TEST_F(History, UndoAndRedoSayWhereTheStepShows)
{
    struct Row {
        const char* what;
        std::function<Outcome()> edit;
        ListKind list;
        int undoneRow;
        int redoneRow;
    };
    const std::vector<Row> rows = {
        {"add", [&] { return editor.AddServer(ServerInput{"e3", "n", "10.0.0.1", "7000", "East"}); },
         ListKind::Servers, -1, 3},
        {"delete", [&] { return editor.DeleteServer(1); }, ListKind::Servers, 1, -1},
        {"move", [&] { return editor.MoveServer(2, -1); }, ListKind::Servers, 2, 1},
        {"edit", [&] { return editor.EditServer(0, ServerInput{"e0", "n", "10.0.0.1", "7000", "East"}); },
         ListKind::Servers, 0, 0},
        {"group", [&] { return editor.DeleteGroup(0); }, ListKind::Groups, 0, -1},
        {"group move", [&] { return editor.MoveGroup(1, -1); }, ListKind::Groups, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const SetupModel before = model;
        const Outcome outcome = row.edit();
        ASSERT_TRUE(outcome == Outcome::Done || outcome == Outcome::ServerMoveKeepsSavedOrder);
        const SetupModel after = model;
        const auto undone = editor.Undo();
        ASSERT_TRUE(undone);
        EXPECT_EQ(undone->list, row.list);
        EXPECT_EQ(undone->row, row.undoneRow);
        EXPECT_TRUE(Same(model, before));
        const auto redone = editor.Redo();
        ASSERT_TRUE(redone);
        EXPECT_EQ(redone->row, row.redoneRow);
        EXPECT_TRUE(Same(model, after));
        EXPECT_TRUE(view.Matches());
        ASSERT_TRUE(editor.Undo());
    }
    EXPECT_FALSE(editor.Undo());
}

// The window stores a field on every key: one stretch of typing is one step,
// which names its field.
TEST_F(History, TypingInOneFieldIsOneStepUntilTheOperatorLeavesIt)
{
    const std::string start = model.web.HomeUrl;
    for (const char* typed : {"http://a", "http://ab", "http://abc"})
        ASSERT_EQ(editor.SetWebAddress(&WebAddresses::HomeUrl, typed), Outcome::Done);
    editor.EndTyping();
    ASSERT_EQ(editor.SetWebAddress(&WebAddresses::HomeUrl, "http://abcd"), Outcome::Done);
    ASSERT_EQ(editor.SetGameName("g"), Outcome::Done);

    EXPECT_EQ(editor.History().NextUndo(), EditKind::Text);
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(model.launcher.GameName, kInitialGameName);
    const auto restored = editor.Undo();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->text, &model.web.HomeUrl);
    EXPECT_FALSE(restored->list);
    EXPECT_EQ(model.web.HomeUrl, "http://abc");
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(model.web.HomeUrl, start);
    EXPECT_FALSE(editor.History().CanUndo());

    // Storing what the field holds, as leaving it does, keeps the steps to redo.
    ASSERT_EQ(editor.SetWebAddress(&WebAddresses::HomeUrl, start), Outcome::Done);
    EXPECT_TRUE(editor.History().CanRedo());
    // Typing back to where it began leaves nothing to undo, and nothing to redo.
    ASSERT_EQ(editor.SetWebAddress(&WebAddresses::HomeUrl, "http://x"), Outcome::Done);
    ASSERT_EQ(editor.SetWebAddress(&WebAddresses::HomeUrl, start), Outcome::Done);
    EXPECT_FALSE(editor.History().CanUndo());
    EXPECT_FALSE(editor.History().CanRedo());
    // A refused address is no step.
    EXPECT_NE(editor.SetWebAddress(&WebAddresses::HomeUrl, ""), Outcome::Done);
    EXPECT_FALSE(editor.History().CanUndo());
}

// A deleted group's servers come back in their rows, told run by run, or with
// one reset when there are many runs, as the delete told them.
TEST_F(History, UndoingAGroupDeletePutsItsServersBackWhereTheyWere)
{
    for (int runs : {3, 40}) {
        SCOPED_TRACE(runs);
        SetupModel m;
        SetupEditor e(m);
        ASSERT_EQ(e.AddGroup("A"), Outcome::Done);
        ASSERT_EQ(e.AddGroup("a"), Outcome::Done);
        for (int i = 0; i < runs; ++i)
            for (const char* group : {"A", "A", "a"})
                ASSERT_EQ(e.AddServer(ServerInput{group + std::to_string(i), "n", "10.0.0.1", "7000", group}),
                          Outcome::Done);
        const SetupModel before = m;
        MirrorView v(m);
        e.SetListEvents(v);
        ASSERT_EQ(e.DeleteGroup(0), Outcome::Done);
        ASSERT_EQ(m.servers.Count(), static_cast<std::size_t>(runs));
        const auto restored = e.Undo();
        ASSERT_TRUE(restored);
        EXPECT_EQ(restored->kind, EditKind::DeleteGroup);
        EXPECT_TRUE(Same(m, before));
        EXPECT_TRUE(v.Matches());
        EXPECT_EQ(v.resets, runs > 32 ? 2 : 0);
        ASSERT_TRUE(e.Redo());
        EXPECT_EQ(m.servers.Count(), static_cast<std::size_t>(runs));
        EXPECT_TRUE(v.Matches());
    }
}

TEST(EditHistoryCaptions, NameWhatWouldBeUndone)
{
    EXPECT_EQ(GbkToUtf8(UndoCaption(EditKind::DeleteServer).Chinese()), "撤销删除服务器");
    EXPECT_EQ(GbkToUtf8(RedoCaption(std::nullopt).Chinese()), "重做");
}

} // namespace
} // namespace tarnwick::edit
