#pragma once

#include "config/document.h"
#include "config/model.h"
#include "ui/logic/list_events.h"
#include "ui/logic/operator.h"
#include "ui/logic/server_editor.h"
#include "ui/logic/update_editor.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::ui {

// An editor dialog: its logic (fields kept between uses) and its window.
template <class Editor>
struct DialogPort {
    Editor& editor;
    ModalDialog& dialog;
};
using ServerDialogPort = DialogPort<ServerEditorLogic>;
using UpdateDialogPort = DialogPort<UpdateEditorLogic>;

// The main window's behaviour without its widgets: the one SetupModel, the
// selection of each list, and the operations of the window's buttons. Every
// operation reports through the operator and raises Error only for failures
// that the general failure report shows.
class MainWindowLogic {
public:
    // folder: the working directory that holds Tarnwick.xml, ServerInfo.txt and launchers.
    MainWindowLogic(Operator& op, const WindowPlacement& mainWindow, std::span<const std::byte> launcherImage,
                    std::filesystem::path folder = ".");

    // The dialogs are created after the main window, once, and reused.
    void AttachDialogs(ServerDialogPort server, UpdateDialogPort update);
    // The view that shows the lists learns from here which rows changed.
    void SetListEvents(ListEvents& events) { events_ = &events; }

    // Loads Tarnwick.xml; a missing file keeps the defaults. Raises Error, leaving
    // whatever the load had already put into the model.
    void LoadWorkingCopy();

    const SetupModel& Model() const { return model_; }
    // The address and launcher fields are edited in place by the window.
    WebAddresses& Web() { return model_.web; }
    LauncherSetup& Launcher() { return model_.launcher; }

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

    void SaveConfiguration();
    void WriteServerInformation();
    // The generate button (GenerateLoginButtonClick): builds the launcher and
    // shows the builder's outcome as a notice.
    void GenerateLauncher();

    std::filesystem::path WorkingCopyPath() const { return folder_ / "Tarnwick.xml"; }
    std::filesystem::path ServerInfoPath() const { return folder_ / "ServerInfo.txt"; }

private:
    static int Valid(int index, std::size_t count)
    {
        return index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
    }
    void Refuse(const char* captionUtf8, const char* textUtf8);
    bool ShowCentred(ModalDialog& dialog);
    bool ShowServerDialog(const char* captionUtf8);
    bool ShowUpdateDialog(const char* captionUtf8);
    ServerEntry ServerFromDialog() const;
    UpdateEntry UpdateFromDialog() const;
    void FillUpdateDialog(const UpdateEntry& entry);
    void RemoveServersOf(const std::string& group);

    Operator& operator_;
    const WindowPlacement& mainWindow_;
    std::span<const std::byte> launcherImage_;
    std::filesystem::path folder_;
    NoListEvents noEvents_;
    ListEvents* events_ = &noEvents_;
    ConfigurationDocument document_;
    SetupModel model_;
    int group_ = -1;
    int server_ = -1;
    int update_ = -1;
    ServerEditorLogic* serverEditor_ = nullptr;
    ModalDialog* serverDialog_ = nullptr;
    UpdateEditorLogic* updateEditor_ = nullptr;
    ModalDialog* updateDialog_ = nullptr;
};

// Whether adding a group of this name (as typed, or trimmed) would repeat an existing one.
bool HasGroupNamed(const SetupModel& model, const std::string& name);
// Names that more than one group carries, each once, in list order.
std::vector<std::string> RepeatedGroupNames(const SetupModel& model);

// Choice words of an update entry and the dialog's choice indexes.
std::string ZipWordForIndex(int index);
int ZipIndexForWord(const std::string& word);
std::string DownTypeWordForIndex(int index);
int DownTypeIndexForWord(const std::string& word);

} // namespace tarnwick::ui
