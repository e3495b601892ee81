#pragma once

#include "config/model.h"
#include "edit/list_events.h"
#include "edit/setup_editor.h"
#include "edit/working_copy.h"
#include "ui/logic/operator.h"
#include "ui/logic/server_editor.h"
#include "ui/logic/signing_logic.h"
#include "ui/logic/update_editor.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace tarnwick::ui {

// An editor dialog: its logic (fields kept between uses) and its window.
template <class Editor>
struct DialogPort {
    Editor& editor;
    ModalDialog& dialog;
};
using ServerDialogPort = DialogPort<ServerEditorLogic>;
using UpdateDialogPort = DialogPort<UpdateEditorLogic>;

// How long the window waits at start for a lock that a command-line edit
// holds; such an edit takes milliseconds.
inline constexpr std::chrono::seconds kWindowLockWait{3};

// The main window's behaviour without its widgets: the selection of each
// list, which dialog shows when, and what the operator is asked. The model's
// operations and their rules are the editing layer's. Every operation reports
// through the operator and raises Error only for failures that the general
// failure report shows.
class MainWindowLogic {
public:
    // folder: the working directory that holds Tarnwick.xml, ServerInfo.txt and launchers;
    // keys: the operator's key store, none for no signing.
    MainWindowLogic(Operator& op, const WindowPlacement& mainWindow, std::span<const std::byte> launcherImage,
                    std::filesystem::path folder = ".", std::optional<sign::KeyStore> keys = std::nullopt);

    // The dialogs are created after the main window, once, and reused.
    void AttachDialogs(ServerDialogPort server, UpdateDialogPort update);
    // The view that shows the lists learns from here which rows changed.
    void SetListEvents(edit::ListEvents& events) { editor_.SetListEvents(events); events_ = &events; }

    // Takes the folder's lock for the whole run. False, after telling the
    // operator who holds it, when another program does: the window must then
    // open nothing that it could write over. A folder where the lock file
    // cannot be created opens for viewing (see LoadWorkingCopy). Raises Error
    // when the folder cannot be locked for another reason.
    bool TakeWorkingCopy();
    // Loads Tarnwick.xml; a missing file keeps the defaults. Of a damaged file
    // what stood before the damage is loaded, and the operator is told where
    // it is. A folder or file that cannot be saved opens for viewing, with a
    // notice saying why. Raises Error when the file cannot be read at all.
    void LoadWorkingCopy();

    const SetupModel& Model() const { return model_; }

    // The web page fields, through the editing layer. While the operator
    // types, what it refuses (an empty address) is neither stored nor told;
    // when the operator leaves the field, a refusal is told, and the field
    // is to show the stored address again.
    void TypeWebAddress(std::string WebAddresses::* field, std::string address);
    void LeaveWebAddress(std::string WebAddresses::* field, std::string address);
    // The launcher fields, through the editing layer; the builder judges them.
    void SetGameName(std::string name);
    void SetServerListUrl(std::string url);
    // The game client's command for the launchers (GBK, as typed; empty for
    // none), through the editing layer.
    void SetClientCommand(std::string command);
    const std::string& ClientCommand() const { return model_.launcher.ClientCommand; }
    // The operator left a launcher field: the launcher fields are remembered
    // in the working folder (also on saving, generating and closing), so that
    // the next run starts with them.
    void LeaveLauncherField()
    {
        editor_.EndTyping();
        RememberLauncherSettings();
    }

    SigningLogic& Signing() { return signing_; }

    // Undo and redo of the last edit, kept by the editing layer: the list the
    // step changed shows the row it brought back selected. Returns where the
    // step was, for the window to show its page; nothing when there was none.
    std::optional<edit::Restored> Undo();
    std::optional<edit::Restored> Redo();
    const edit::EditHistory& History() const { return editor_.History(); }

    // Selection: an index, or -1 for none. Out-of-range choices count as none.
    int SelectedGroup() const { return group_; }
    int SelectedServer() const { return server_; }
    int SelectedUpdate() const { return update_; }
    void SelectGroup(int index) { group_ = Valid(index, model_.groups.Count()); }
    void SelectServer(int index) { server_ = Valid(index, model_.servers.Count()); }
    void SelectUpdate(int index) { update_ = Valid(index, model_.updates.Count()); }

    void AddGroup();
    void DeleteGroup();
    void MoveGroupUp();
    void MoveGroupDown();

    void AddServer();
    void EditServer();
    void DeleteServer();
    void MoveServerUp();
    void MoveServerDown();

    void AddUpdate();
    void EditUpdate();
    void DeleteUpdate();

    // False when it was refused (a read-only folder or Tarnwick.xml).
    bool SaveConfiguration();
    // Writes ServerInfo.txt, signed when a key exists.
    void WriteServerInformation();
    // The generate button (GenerateLoginButtonClick): builds the launcher,
    // with the game client's command and the public keys when there are any,
    // and shows the builder's outcome as a notice.
    void GenerateLauncher();

    // Whether a publish may start: it reads the saved Tarnwick.xml and the
    // written ServerInfo.txt, so with unsaved edits the operator is asked to
    // save and write them first; false when declined or refused.
    bool ReadyToPublish();

    // Whether the window may close now. With unsaved edits the operator is
    // asked to save, discard or cancel; a save that fails keeps it open.
    bool CloseRequested();
    bool HasUnsavedEdits() const { return workingCopy_.IsModified(model_); }

    std::filesystem::path WorkingCopyPath() const { return workingCopy_.Path(); }
    // The folder the window works in, in full, as the window shows it.
    std::filesystem::path WorkingFolder() const;
    // Shows the working folder in the system's file manager.
    void OpenWorkingFolder();
    std::filesystem::path ServerInfoPath() const { return workingCopy_.ServerInfoPath(); }

private:
    static int Valid(int index, std::size_t count)
    {
        return index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
    }
    bool Refused(edit::Outcome outcome);
    // Tells a write refused where nothing can be saved; overWorkingCopy: the
    // write replaces Tarnwick.xml, which a read-only Tarnwick.xml refuses too.
    bool RefusedAsReadOnly(bool overWorkingCopy);
    void Show(const edit::Notice& notice);
    bool ShowCentred(ModalDialog& dialog);
    bool ShowServerDialog(const char* captionUtf8);
    bool ShowUpdateDialog(const char* captionUtf8);
    void MoveServer(int step);
    std::optional<edit::Restored> Select(std::optional<edit::Restored> restored);
    void LoadLauncherSettings();
    void RememberLauncherSettings();

    Operator& operator_;
    const WindowPlacement& mainWindow_;
    std::span<const std::byte> launcherImage_;
    edit::WorkingCopy workingCopy_;
    SigningLogic signing_;
    SetupModel model_;
    edit::SetupEditor editor_{model_};
    edit::NoListEvents noEvents_;
    edit::ListEvents* events_ = &noEvents_;
    int group_ = -1;
    int server_ = -1;
    int update_ = -1;
    // A folder that refused the settings file once is not asked again this run.
    bool rememberingFailed_ = false;
    ServerEditorLogic* serverEditor_ = nullptr;
    ModalDialog* serverDialog_ = nullptr;
    UpdateEditorLogic* updateEditor_ = nullptr;
    ModalDialog* updateDialog_ = nullptr;
};

} // namespace tarnwick::ui
