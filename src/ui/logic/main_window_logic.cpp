#include "ui/logic/main_window_logic.h"

#include "base/error.h"
#include "base/text.h"
#include "launcher/launcher_builder.h"
#include "ui/logic/captions.h"
#include "ui/logic/gbk_literal.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarnwick::ui {
namespace {

std::string TrimmedText(const std::string& text) { return std::string(Trimmed(text)); }

// Beyond this many separate runs of rows, one reset costs a view less than a
// pass over its rows for every run.
constexpr std::size_t kRunsBeforeReset = 32;

template <class Record>
void AppendRow(ListEvents& events, ListKind kind, RecordList<Record>& list, Record record)
{
    const int row = static_cast<int>(list.Count());
    events.BeginInsertRows(kind, row, row);
    list.Append(std::move(record));
    events.EndInsertRows(kind);
}

template <class Record>
void RemoveRow(ListEvents& events, ListKind kind, RecordList<Record>& list, int row)
{
    events.BeginRemoveRows(kind, row, row);
    list.Remove(static_cast<std::size_t>(row));
    events.EndRemoveRows(kind);
}

template <class Record>
void SwapRows(ListEvents& events, ListKind kind, RecordList<Record>& list, int row, int with)
{
    list.Move(static_cast<std::size_t>(row), static_cast<std::size_t>(with));
    events.RowsChanged(kind, std::min(row, with), std::max(row, with));
}

// Tells the view that every list may have changed, also when the change fails midway.
class ResetAll {
public:
    explicit ResetAll(ListEvents& events) : events_(events)
    {
        for (ListKind kind : kKinds)
            events_.BeginReset(kind);
    }
    ~ResetAll()
    {
        for (ListKind kind : kKinds)
            events_.EndReset(kind);
    }
    ResetAll(const ResetAll&) = delete;
    ResetAll& operator=(const ResetAll&) = delete;

private:
    static constexpr ListKind kKinds[] = {ListKind::Groups, ListKind::Servers, ListKind::Updates};
    ListEvents& events_;
};

} // namespace

std::string ZipWordForIndex(int index) { return index == 1 ? words::kYes : words::kNo; }
int ZipIndexForWord(const std::string& word) { return word == words::kYes ? 1 : 0; }
std::string DownTypeWordForIndex(int index) { return index == 1 ? words::kDownAlbum : words::kDownDirect; }
int DownTypeIndexForWord(const std::string& word) { return word == words::kDownAlbum ? 1 : 0; }

MainWindowLogic::MainWindowLogic(Operator& op, const WindowPlacement& mainWindow,
                                 std::span<const std::byte> launcherImage, std::filesystem::path folder)
    : operator_(op), mainWindow_(mainWindow), launcherImage_(launcherImage), folder_(std::move(folder)),
      document_(folder_ / "Tarnwick.xml")
{
}

void MainWindowLogic::AttachDialogs(ServerDialogPort server, UpdateDialogPort update)
{
    serverEditor_ = &server.editor;
    serverDialog_ = &server.dialog;
    updateEditor_ = &update.editor;
    updateDialog_ = &update.dialog;
}

void MainWindowLogic::LoadWorkingCopy()
{
    group_ = server_ = update_ = -1;
    {
        const ResetAll reset(*events_);
        document_.LoadConfiguration(model_);
    }
    // Kept as loaded, since launchers may rely on it; the operator is told so
    // that one of them can be deleted.
    const std::vector<std::string> repeated = RepeatedGroupNames(model_);
    if (repeated.empty())
        return;
    std::string names;
    for (const std::string& name : repeated)
        names += Gbk("[") + name + Gbk("]");
    operator_.Notice(NoticeKind::Success, Gbk(kInfoCaption),
                     Gbk("分组") + names + Gbk("重名：保存时它的服务器会在每个同名分组下各写一次，"
                                              "再次载入后服务器会成倍增加。\r\n请删除多余的同名分组。"));
}

bool HasGroupNamed(const SetupModel& model, const std::string& name)
{
    const std::string_view trimmed = Trimmed(name);
    return std::any_of(model.groups.begin(), model.groups.end(),
                       [&](const ServerGroup& group) { return group.Name == name || group.Name == trimmed; });
}

std::vector<std::string> RepeatedGroupNames(const SetupModel& model)
{
    std::unordered_map<std::string_view, int> seen;
    std::vector<std::string> repeated;
    for (const ServerGroup& group : model.groups)
        if (++seen[group.Name] == 2)
            repeated.push_back(group.Name);
    return repeated;
}

void MainWindowLogic::Refuse(const char* captionUtf8, const char* textUtf8)
{
    operator_.Notice(NoticeKind::Refusal, Gbk(captionUtf8), Gbk(textUtf8));
}

bool MainWindowLogic::ShowCentred(ModalDialog& dialog)
{
    const auto [left, top] = CentredOver(mainWindow_.OuterFrame(), dialog.OuterFrame());
    dialog.MoveTo(left, top);
    return dialog.ShowModal();
}

// Groups ---------------------------------------------------------------------

void MainWindowLogic::AddGroup()
{
    std::string name;
    if (!operator_.InputQuery(Gbk("增加"), Gbk("请输入你要增加的服务器分组:"), name))
        return;
    // Not trimmed: a name of spaces is a name.
    if (name.empty()) {
        Refuse(kInfoCaption, "服务器分组内容不能为空!");
        return;
    }
    // Two groups of one name would each be written with all its servers, and
    // every save-and-load would double them.
    if (HasGroupNamed(model_, name)) {
        Refuse(kErrorCaption, "该分组已存在！");
        return;
    }
    AppendRow(*events_, ListKind::Groups, model_.groups, ServerGroup{name});
    group_ = static_cast<int>(model_.groups.Count()) - 1;
}

void MainWindowLogic::DeleteGroup()
{
    if (group_ < 0) {
        Refuse(kInfoCaption, "请先选择你要删除的分组信息!");
        return;
    }
    const std::string name = model_.groups.At(static_cast<std::size_t>(group_)).Name;
    const std::string question =
        Gbk("是否确定删除分组[") + name + Gbk("]信息？\r\n将会同时删除所有该组的服务器列表!");
    if (!operator_.Notice(NoticeKind::Confirmation, Gbk(kInfoCaption), question))
        return;
    RemoveRow(*events_, ListKind::Groups, model_.groups, group_);
    group_ = -1;
    RemoveServersOf(name);
}

// Exact byte match, as the document writer matches servers to groups: a
// case-blind match would also destroy the servers of a group "east" when
// "East" goes. The selected server row, if it survives, stays selected.
void MainWindowLogic::RemoveServersOf(const std::string& group)
{
    RecordList<ServerEntry>& servers = model_.servers;
    // Runs of the group's rows, {first, count}, from the last: removing them in
    // this order keeps the rows of the runs still to go where they were.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t row = servers.Count(); row-- > 0;) {
        if (servers.At(row).Group != group)
            continue;
        if (!runs.empty() && runs.back().first == row + 1) {
            runs.back().first = row;
            ++runs.back().second;
        } else {
            runs.emplace_back(row, 1);
        }
    }
    if (server_ >= 0) {
        const auto selected = static_cast<std::size_t>(server_);
        std::size_t before = 0;
        for (const auto& [first, count] : runs) {
            if (selected >= first && selected < first + count) {
                server_ = -1;
                break;
            }
            if (first + count <= selected)
                before += count;
        }
        if (server_ >= 0)
            server_ -= static_cast<int>(before);
    }
    if (runs.size() > kRunsBeforeReset) {
        events_->BeginReset(ListKind::Servers);
        servers.RemoveIf([&](const ServerEntry& server) { return server.Group == group; });
        events_->EndReset(ListKind::Servers);
        return;
    }
    for (const auto& [first, count] : runs) {
        events_->BeginRemoveRows(ListKind::Servers, static_cast<int>(first), static_cast<int>(first + count - 1));
        servers.Remove(first, count);
        events_->EndRemoveRows(ListKind::Servers);
    }
}

void MainWindowLogic::MoveGroupUp()
{
    if (group_ < 0) {
        Refuse(kErrorCaption, "请选择好分组");
        return;
    }
    if (group_ == 0) {
        Refuse(kErrorCaption, "该分组已经在最顶层");
        return;
    }
    SwapRows(*events_, ListKind::Groups, model_.groups, group_, group_ - 1);
    --group_;
}

void MainWindowLogic::MoveGroupDown()
{
    if (group_ < 0) {
        Refuse(kErrorCaption, "请选择好分组");
        return;
    }
    if (static_cast<std::size_t>(group_) + 1 >= model_.groups.Count()) {
        Refuse(kErrorCaption, "该分组已经在最底层");
        return;
    }
    SwapRows(*events_, ListKind::Groups, model_.groups, group_, group_ + 1);
    ++group_;
}

// Servers --------------------------------------------------------------------

bool MainWindowLogic::ShowServerDialog(const char* captionUtf8)
{
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.Caption = Gbk(captionUtf8);
    fields.GroupNames.clear();
    for (const auto& group : model_.groups)
        fields.GroupNames.push_back(group.Name);
    // The operator chooses the group again on every showing, also when editing.
    fields.GroupIndex = -1;
    return ShowCentred(*serverDialog_);
}

ServerEntry MainWindowLogic::ServerFromDialog() const
{
    const ServerEditorFields& fields = serverEditor_->Fields;
    return ServerEntry{fields.ChosenGroup(), TrimmedText(fields.ShowName), TrimmedText(fields.Name),
                       TrimmedText(fields.Addr), TrimmedText(fields.Port)};
}

void MainWindowLogic::AddServer()
{
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.ShowName.clear();
    fields.Name.clear();
    fields.Addr.clear();
    fields.Port = "7000";
    if (!ShowServerDialog("增加服务器列表"))
        return;
    AppendRow(*events_, ListKind::Servers, model_.servers, ServerFromDialog());
}

void MainWindowLogic::EditServer()
{
    if (server_ < 0) {
        Refuse(kInfoCaption, "请先选择你要修改的服务器信息!");
        return;
    }
    const auto row = static_cast<std::size_t>(server_);
    const ServerEntry& entry = model_.servers.At(row);
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.ShowName = entry.ShowName;
    fields.Name = entry.Name;
    fields.Addr = entry.Addr;
    fields.Port = entry.Port;
    if (!ShowServerDialog("修改服务器列表"))
        return;
    model_.servers.At(row) = ServerFromDialog();
    events_->RowsChanged(ListKind::Servers, server_, server_);
}

void MainWindowLogic::DeleteServer()
{
    if (server_ < 0) {
        Refuse(kInfoCaption, "请先选择你要删除的服务器信息!");
        return;
    }
    RemoveRow(*events_, ListKind::Servers, model_.servers, server_);
    server_ = -1;
}

void MainWindowLogic::MoveServerUp()
{
    if (server_ < 0) {
        Refuse(kErrorCaption, "请选择好分组");
        return;
    }
    if (server_ == 0) {
        Refuse(kErrorCaption, "该分组已经在最顶层");
        return;
    }
    SwapRows(*events_, ListKind::Servers, model_.servers, server_, server_ - 1);
    // The list re-creates the moved row, so no row stays selected.
    server_ = -1;
}

void MainWindowLogic::MoveServerDown()
{
    if (server_ < 0) {
        Refuse(kErrorCaption, "请选择好分组");
        return;
    }
    if (static_cast<std::size_t>(server_) + 1 >= model_.servers.Count()) {
        Refuse(kErrorCaption, "该分组已经在最底层");
        return;
    }
    SwapRows(*events_, ListKind::Servers, model_.servers, server_, server_ + 1);
    server_ = -1;
}

// Update entries -------------------------------------------------------------

bool MainWindowLogic::ShowUpdateDialog(const char* captionUtf8)
{
    updateEditor_->Fields.Caption = Gbk(captionUtf8);
    return ShowCentred(*updateDialog_);
}

UpdateEntry MainWindowLogic::UpdateFromDialog() const
{
    const UpdateEditorFields& f = updateEditor_->Fields;
    UpdateEntry entry;
    entry.Hint = f.Hint; // as typed
    entry.SaveDir = TrimmedText(f.SaveDir);
    entry.SaveName = TrimmedText(f.SaveName);
    entry.DownUrl = TrimmedText(f.DownUrl);
    entry.Zip = ZipWordForIndex(f.ZipIndex);
    entry.CheckType = CheckWordForIndex(f.CheckTypeIndex);
    entry.DownType = DownTypeWordForIndex(f.DownTypeIndex);
    entry.Date = TrimmedText(f.Date);
    entry.Ver = f.Ver;
    entry.MD5 = f.MD5;         // as typed
    entry.DownMD5 = f.DownMD5; // as typed
    return entry;
}

void MainWindowLogic::FillUpdateDialog(const UpdateEntry& entry)
{
    UpdateEditorFields& f = updateEditor_->Fields;
    f.DownUrl = entry.DownUrl;
    f.SaveDir = entry.SaveDir;
    f.SaveName = entry.SaveName;
    f.Hint = entry.Hint;
    f.ZipIndex = ZipIndexForWord(entry.Zip);
    f.CheckTypeIndex = CheckIndexForWord(entry.CheckType);
    f.DownTypeIndex = DownTypeIndexForWord(entry.DownType);
    f.Date = entry.Date;
    f.Ver = entry.Ver;
    f.MD5 = entry.MD5;
    f.DownMD5 = entry.DownMD5;
    // Setting the choice does not react by itself; show the entry's check-mode row.
    updateEditor_->cbbCheckTypeChange();
}

void MainWindowLogic::AddUpdate()
{
    // The dialog keeps what it held after its last use.
    if (!ShowUpdateDialog("增加更新列表"))
        return;
    AppendRow(*events_, ListKind::Updates, model_.updates, UpdateFromDialog());
}

void MainWindowLogic::EditUpdate()
{
    if (update_ < 0) {
        Refuse(kInfoCaption, "请先选择你要修改的更新信息!");
        return;
    }
    const auto row = static_cast<std::size_t>(update_);
    FillUpdateDialog(model_.updates.At(row));
    if (!ShowUpdateDialog("修改更新列表"))
        return;
    model_.updates.At(row) = UpdateFromDialog();
    events_->RowsChanged(ListKind::Updates, update_, update_);
}

void MainWindowLogic::DeleteUpdate()
{
    if (update_ < 0) {
        Refuse(kInfoCaption, "请先选择你要删除的更新信息!");
        return;
    }
    RemoveRow(*events_, ListKind::Updates, model_.updates, update_);
    update_ = -1;
}

// Outputs --------------------------------------------------------------------

void MainWindowLogic::SaveConfiguration()
{
    document_.WriteConfiguration(model_, WorkingCopyPath(), false);
    operator_.Notice(NoticeKind::Success, Gbk(kInfoCaption), Gbk("保存配置成功完成！"));
}

void MainWindowLogic::WriteServerInformation()
{
    WriteServerInfo(document_, model_, ServerInfoPath());
    operator_.Notice(NoticeKind::Success, Gbk(kInfoCaption), Gbk("生成配置成功完成！"));
}

void MainWindowLogic::GenerateLauncher()
{
    const LauncherBuilder builder(launcherImage_, folder_);
    const BuildOutcome outcome = builder.Build(model_.launcher.GameName, model_.launcher.ServerListUrl);
    if (outcome == BuildOutcome::Written)
        operator_.Notice(NoticeKind::Success, Gbk(kInfoCaption), OutcomeText(outcome));
    else
        operator_.Notice(NoticeKind::Refusal, Gbk(kErrorCaption), OutcomeText(outcome));
}

} // namespace tarnwick::ui
