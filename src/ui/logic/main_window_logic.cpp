#include "ui/logic/main_window_logic.h"

#include "base/error.h"
#include "base/text.h"
#include "launcher/launcher_builder.h"
#include "ui/logic/captions.h"
#include "ui/logic/gbk_literal.h"

#include <utility>

namespace tarnwick::ui {
namespace {

std::string TrimmedText(const std::string& text) { return std::string(Trimmed(text)); }

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
    document_.LoadConfiguration(model_);
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
    model_.groups.Append(ServerGroup{name});
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
    model_.groups.Remove(static_cast<std::size_t>(group_));
    group_ = -1;
    // Exact byte match, as the document writer matches servers to groups: a
    // case-blind match would also destroy the servers of a group "east" when
    // "East" goes.
    // The selected server row, if it survives, keeps its selection at its new index.
    for (std::size_t row = model_.servers.Count(); row-- > 0;) {
        if (model_.servers.At(row).Group != name)
            continue;
        model_.servers.Remove(row);
        if (server_ == static_cast<int>(row))
            server_ = -1;
        else if (server_ > static_cast<int>(row))
            --server_;
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
    model_.groups.Move(static_cast<std::size_t>(group_), static_cast<std::size_t>(group_ - 1));
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
    model_.groups.Move(static_cast<std::size_t>(group_), static_cast<std::size_t>(group_ + 1));
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
    model_.servers.Append(ServerFromDialog());
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
}

void MainWindowLogic::DeleteServer()
{
    if (server_ < 0) {
        Refuse(kInfoCaption, "请先选择你要删除的服务器信息!");
        return;
    }
    model_.servers.Remove(static_cast<std::size_t>(server_));
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
    model_.servers.Move(static_cast<std::size_t>(server_), static_cast<std::size_t>(server_ - 1));
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
    model_.servers.Move(static_cast<std::size_t>(server_), static_cast<std::size_t>(server_ + 1));
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
    model_.updates.Append(UpdateFromDialog());
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
}

void MainWindowLogic::DeleteUpdate()
{
    if (update_ < 0) {
        Refuse(kInfoCaption, "请先选择你要删除的更新信息!");
        return;
    }
    model_.updates.Remove(static_cast<std::size_t>(update_));
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
