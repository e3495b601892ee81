#include "ui/logic/main_window_logic.h"

#include "base/error.h"
#include "base/text.h"
#include "edit/field_rules.h"
#include "edit/launcher_settings.h"
#include "launcher/launcher_builder.h"
#include "ui/logic/failure_report.h"
#include "ui/logic/gbk_literal.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

namespace tarnwick::ui {
namespace {

using edit::ListKind;
using edit::Outcome;

// Tells the view that every list may have changed, also when the change fails midway.
class ResetAll {
public:
    explicit ResetAll(edit::ListEvents& events) : events_(events)
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
    edit::ListEvents& events_;
};

} // namespace

MainWindowLogic::MainWindowLogic(Operator& op, const WindowPlacement& mainWindow,
                                 std::span<const std::byte> launcherImage, std::filesystem::path folder,
                                 std::optional<sign::KeyStore> keys)
    : operator_(op), mainWindow_(mainWindow), launcherImage_(launcherImage), workingCopy_(std::move(folder)),
      signing_(op, std::move(keys))
{
}

void MainWindowLogic::AttachDialogs(ServerDialogPort server, UpdateDialogPort update)
{
    serverEditor_ = &server.editor;
    serverDialog_ = &server.dialog;
    updateEditor_ = &update.editor;
    updateDialog_ = &update.dialog;
}

void MainWindowLogic::Show(const edit::Notice& notice) { operator_.Notice(notice.kind, notice.caption, notice.text); }

bool MainWindowLogic::Refused(Outcome outcome) { return ShowRefusal(operator_, outcome); }

bool MainWindowLogic::TakeWorkingCopy()
{
    const auto holder = workingCopy_.Lock("tarnwick", kWindowLockWait);
    if (!holder)
        return true;
    Show(edit::WorkingCopyHeldNotice(*holder));
    return false;
}

void MainWindowLogic::LoadLauncherSettings()
{
    const edit::LauncherSettingsRead read = workingCopy_.LoadLauncherSettings(model_);
    if (read.problem)
        Show(edit::UnusableSettingsNotice(*read.problem));
}

void MainWindowLogic::RememberLauncherSettings()
{
    if (rememberingFailed_)
        return;
    try {
        workingCopy_.RememberLauncherSettings(model_);
    } catch (const Error& error) {
        rememberingFailed_ = true;
        Show(edit::SettingsNotRememberedNotice(error.Text()));
    }
}

void MainWindowLogic::LoadWorkingCopy()
{
    // First: they are the folder's whatever Tarnwick.xml holds.
    LoadLauncherSettings();
    group_ = server_ = update_ = -1;
    // The steps were those of the model before this load.
    editor_.ForgetHistory();
    std::optional<Message> damage;
    {
        const ResetAll reset(*events_);
        try {
            workingCopy_.Load(model_);
        } catch (const Error& error) {
            // What stood before the damage is shown; a file that could not be
            // read at all is the failure report's.
            if (error.Kind() != ErrorKind::Damaged)
                throw;
            damage = error.Text();
        }
    }
    if (damage)
        Show(edit::DamagedWorkingCopyNotice(*damage));
    if (const auto place = workingCopy_.ReadOnly())
        Show(edit::ReadOnlyOpenedNotice(*place, workingCopy_.Folder()));
    // Kept as loaded, so that nothing is lost; the operator is told what to mend.
    if (const edit::UnusableRecords unusable = edit::FindUnusable(model_); !unusable.Empty())
        Show(edit::UnusableRecordsNotice(model_, unusable));
    // Kept as loaded, since launchers may rely on it; the operator is told so
    // that one of them can be deleted.
    const std::vector<std::string> repeated = edit::RepeatedGroupNames(model_);
    if (repeated.empty())
        return;
    std::string names;
    for (const std::string& name : repeated)
        names += Gbk("[") + name + Gbk("]");
    Show(edit::RepeatedGroupsNotice(names));
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
    if (!operator_.InputQuery(Gbk(QT_TRANSLATE_NOOP("Tarnwick", "增加")),
                              Gbk(QT_TRANSLATE_NOOP("Tarnwick", "请输入你要增加的服务器分组:")), name))
        return;
    if (Refused(editor_.AddGroup(name)))
        return;
    group_ = static_cast<int>(model_.groups.Count()) - 1;
}

void MainWindowLogic::DeleteGroup()
{
    if (group_ < 0) {
        Refused(Outcome::NoGroupToDelete);
        return;
    }
    const std::string name = model_.groups.At(static_cast<std::size_t>(group_)).Name;
    const edit::Notice question = edit::DeleteGroupQuestion(name);
    if (!operator_.Notice(question.kind, question.caption, question.text))
        return;
    // The selected server, if it survives, stays selected.
    const int server = edit::SetupEditor::RowAfterRemovingGroup(model_, name, server_);
    Refused(editor_.DeleteGroup(group_));
    group_ = -1;
    server_ = server;
}

void MainWindowLogic::MoveGroupUp()
{
    if (!Refused(editor_.MoveGroup(group_, -1)))
        --group_;
}

void MainWindowLogic::MoveGroupDown()
{
    if (!Refused(editor_.MoveGroup(group_, +1)))
        ++group_;
}

// Servers --------------------------------------------------------------------

bool MainWindowLogic::ShowServerDialog(const char* captionUtf8)
{
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.Caption = Gbk(captionUtf8);
    // The choice list is refilled only when the groups changed: with
    // thousands of groups that is most of the cost of opening the dialog.
    if (fields.GroupNames.size() != model_.groups.Count() ||
        !std::equal(fields.GroupNames.begin(), fields.GroupNames.end(), model_.groups.begin(),
                    [](const std::string& name, const ServerGroup& group) { return name == group.Name; })) {
        fields.GroupNames.clear();
        for (const auto& group : model_.groups)
            fields.GroupNames.push_back(group.Name);
    }
    // The operator chooses the group again on every showing, also when editing.
    fields.GroupIndex = -1;
    return ShowCentred(*serverDialog_);
}

void MainWindowLogic::AddServer()
{
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.ShowName.clear();
    fields.Name.clear();
    fields.Addr.clear();
    fields.Port = edit::kDefaultPort;
    if (!ShowServerDialog(QT_TRANSLATE_NOOP("Tarnwick", "增加服务器列表")))
        return;
    // The dialog has refused incomplete input already.
    Refused(editor_.AddServer(fields.Input()));
}

void MainWindowLogic::EditServer()
{
    if (server_ < 0) {
        Refused(Outcome::NoServerToEdit);
        return;
    }
    const ServerEntry& entry = model_.servers.At(static_cast<std::size_t>(server_));
    ServerEditorFields& fields = serverEditor_->Fields;
    fields.ShowName = entry.ShowName;
    fields.Name = entry.Name;
    fields.Addr = entry.Addr;
    fields.Port = entry.Port;
    if (!ShowServerDialog(QT_TRANSLATE_NOOP("Tarnwick", "修改服务器列表")))
        return;
    Refused(editor_.EditServer(server_, fields.Input()));
}

void MainWindowLogic::DeleteServer()
{
    if (!Refused(editor_.DeleteServer(server_)))
        server_ = -1;
}

void MainWindowLogic::MoveServer(int step)
{
    const Outcome outcome = editor_.MoveServer(server_, step);
    // The window moves a server past any neighbour, as the list shows them.
    if (outcome != Outcome::ServerMoveKeepsSavedOrder && Refused(outcome))
        return;
    // The list re-creates the moved row, so no row stays selected.
    server_ = -1;
}

void MainWindowLogic::MoveServerUp() { MoveServer(-1); }
void MainWindowLogic::MoveServerDown() { MoveServer(+1); }

// Update entries -------------------------------------------------------------

bool MainWindowLogic::ShowUpdateDialog(const char* captionUtf8)
{
    updateEditor_->Fields.Caption = Gbk(captionUtf8);
    return ShowCentred(*updateDialog_);
}

void MainWindowLogic::AddUpdate()
{
    // The dialog keeps what it held after its last use.
    if (!ShowUpdateDialog(QT_TRANSLATE_NOOP("Tarnwick", "增加更新列表")))
        return;
    Refused(editor_.AddUpdate(updateEditor_->Fields));
}

void MainWindowLogic::EditUpdate()
{
    if (update_ < 0) {
        Refused(Outcome::NoUpdateToEdit);
        return;
    }
    static_cast<edit::UpdateInput&>(updateEditor_->Fields) =
        edit::InputFromUpdate(model_.updates.At(static_cast<std::size_t>(update_)));
    // Setting the choice does not react by itself; show the entry's check-mode row.
    updateEditor_->ShowCheckMode();
    if (!ShowUpdateDialog(QT_TRANSLATE_NOOP("Tarnwick", "修改更新列表")))
        return;
    Refused(editor_.EditUpdate(update_, updateEditor_->Fields));
}

void MainWindowLogic::DeleteUpdate()
{
    if (!Refused(editor_.DeleteUpdate(update_)))
        update_ = -1;
}

// Web page and launcher fields ---------------------------------------------

void MainWindowLogic::TypeWebAddress(std::string WebAddresses::* field, std::string address)
{
    editor_.SetWebAddress(field, std::move(address));
}

void MainWindowLogic::LeaveWebAddress(std::string WebAddresses::* field, std::string address)
{
    editor_.EndTyping();
    Refused(editor_.SetWebAddress(field, std::move(address)));
}

void MainWindowLogic::SetGameName(std::string name) { Refused(editor_.SetGameName(std::move(name))); }

void MainWindowLogic::SetServerListUrl(std::string url) { Refused(editor_.SetServerListUrl(std::move(url))); }

void MainWindowLogic::SetClientCommand(std::string command) { Refused(editor_.SetClientCommand(std::move(command))); }

// The working folder ---------------------------------------------------------

std::filesystem::path MainWindowLogic::WorkingFolder() const
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(workingCopy_.Folder(), error).lexically_normal();
    if (error)
        return workingCopy_.Folder();
    // "." comes out as the folder with a separator after it.
    return full.has_filename() || !full.has_relative_path() ? full : full.parent_path();
}

void MainWindowLogic::OpenWorkingFolder()
{
    if (!operator_.OpenFolder(WorkingFolder()))
        Show(edit::ErrorNotice(
            Message(QT_TRANSLATE_NOOP("Tarnwick", "无法在文件管理器中打开工作文件夹“%1”。")).Arg(PathText(WorkingFolder()))));
}

// Undo and redo ----------------------------------------------------------------

std::optional<edit::Restored> MainWindowLogic::Undo() { return Select(editor_.Undo()); }
std::optional<edit::Restored> MainWindowLogic::Redo() { return Select(editor_.Redo()); }

std::optional<edit::Restored> MainWindowLogic::Select(std::optional<edit::Restored> restored)
{
    if (!restored || !restored->list)
        return restored;
    switch (*restored->list) {
    case ListKind::Groups:
        group_ = restored->row;
        // The group's servers came or went with it, under the selected row.
        if (restored->kind == edit::EditKind::DeleteGroup)
            server_ = -1;
        break;
    case ListKind::Servers: server_ = restored->row; break;
    case ListKind::Updates: update_ = restored->row; break;
    }
    return restored;
}

// Outputs --------------------------------------------------------------------

bool MainWindowLogic::RefusedAsReadOnly(bool overWorkingCopy)
{
    const auto place = workingCopy_.ReadOnly();
    if (!place || (*place == edit::ReadOnlyPlace::File && !overWorkingCopy))
        return false;
    Show(edit::ReadOnlyRefusal(*place, workingCopy_.Folder()));
    return true;
}

bool MainWindowLogic::SaveConfiguration()
{
    if (RefusedAsReadOnly(true))
        return false;
    const auto kept = workingCopy_.Save(model_);
    Show(edit::SavedNotice(workingCopy_.Path(), kept));
    RememberLauncherSettings();
    return true;
}

void MainWindowLogic::WriteServerInformation()
{
    if (RefusedAsReadOnly(false))
        return;
    const edit::ServerInfoWritten written =
        workingCopy_.WriteServerInfo(model_, signing_.Store(), static_cast<std::int64_t>(std::time(nullptr)));
    Show(ServerInfoWrittenNotice(written, model_));
}

void MainWindowLogic::GenerateLauncher()
{
    // An empty field is no client; one of blanks is refused, as the command line refuses it.
    std::optional<std::string> client;
    if (!model_.launcher.ClientCommand.empty()) {
        client = edit::ClientCommandText(model_.launcher.ClientCommand);
        if (!client) {
            Refused(Outcome::ClientCommandBlank);
            return;
        }
    }
    const std::optional<sign::SigningKeys> keys = signing_.Keys();
    std::vector<crypto::PublicKey> trusted;
    if (keys)
        for (const crypto::PublicKey& key : sign::TrustedPublicKeys(*keys))
            trusted.push_back(key);
    if (RefusedAsReadOnly(false))
        return;
    const LauncherBuilder builder(launcherImage_, workingCopy_.Folder());
    const BuildOutcome outcome = builder.Build(model_.launcher.GameName, model_.launcher.ServerListUrl, client, trusted);
    if (outcome != BuildOutcome::Written) {
        Show(edit::ErrorNotice(OutcomeText(outcome)));
        return;
    }
    // What the players' launcher was made from is what the next run starts with.
    RememberLauncherSettings();
    Show(LauncherWrittenNotice(builder.Target(model_.launcher.GameName), keys));
}

bool MainWindowLogic::ReadyToPublish()
{
    // The launcher's list address is read from the remembered fields.
    RememberLauncherSettings();
    if (!workingCopy_.IsModified(model_))
        return true;
    const edit::Notice question = edit::InfoNotice(
        NoticeKind::Confirmation,
        Message(QT_TRANSLATE_NOOP("Tarnwick", "配置信息已修改。发布的是保存的 Tarnwick.xml 和生成的 ServerInfo.txt：%1"
                                              "先保存并生成配置文件？"))
            .Arg("\r\n"));
    if (!operator_.Notice(question.kind, question.caption, question.text))
        return false;
    if (!SaveConfiguration())
        return false;
    WriteServerInformation();
    return true;
}

bool MainWindowLogic::CloseRequested()
{
    // Closing may come straight from a launcher field, which is then never left.
    RememberLauncherSettings();
    if (!workingCopy_.IsModified(model_))
        return true;
    const edit::Notice question =
        edit::InfoNotice(NoticeKind::Confirmation, Message(QT_TRANSLATE_NOOP("Tarnwick", "配置信息已修改，是否保存？")));
    switch (operator_.AskToSave(question.caption, question.text.Chinese())) {
    case SaveAnswer::Save: {
        bool saved = false;
        RunGuarded(operator_, [&] { saved = SaveConfiguration(); });
        return saved;
    }
    case SaveAnswer::Discard: return true;
    case SaveAnswer::Cancel: return false;
    }
    return false;
}

} // namespace tarnwick::ui
