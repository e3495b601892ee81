#pragma once

#include "config/model.h"
#include "edit/edit_history.h"
#include "edit/list_events.h"
#include "edit/outcome.h"
#include "edit/record_rules.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::edit {

// A server as the operator typed it. The texts are trimmed when stored.
struct ServerInput {
    std::string ShowName;
    std::string Name;
    std::string Addr;
    std::string Port = kDefaultPort;
    std::optional<std::string> Group; // the group chosen, by name; none chosen
};

// An update entry as the operator typed it; the choices by their index in the
// dialog's lists (-1 for none chosen).
struct UpdateInput {
    std::string Hint;
    std::string DownUrl;
    std::string SaveDir = ".\\";
    std::string SaveName;
    int ZipIndex = 0;      // "否", "是"
    int DownTypeIndex = 0; // "直接下载", "百度相册"
    int CheckTypeIndex = -1;
    std::string Ver = "1";
    std::string Date = "20050505";
    std::string MD5;
    std::string DownMD5 = kNoDownloadCheck;
};

// Pins the download to a file the operator has (its MD5, 32 lowercase
// hexadecimal digits): DownMD5 always, and MD5 too when the entry is no zip,
// since then the file installed is the file downloaded. A list signed with
// these digests is one that launchers which check signatures install from.
void PinDigests(UpdateInput& input, const std::string& md5);

// The tests of the server and update dialogs' OK buttons: the first blank
// field's outcome, or Done. They only read: the texts are trimmed on storing.
Outcome CheckServerInput(const ServerInput& input);
Outcome CheckUpdateInput(const UpdateInput& input);

// What is stored for the input: texts trimmed or kept as typed, choices as words.
ServerEntry ServerFromInput(const ServerInput& input);
UpdateEntry UpdateFromInput(const UpdateInput& input);
// The input that shows an entry for editing (choice words to indexes).
UpdateInput InputFromUpdate(const UpdateEntry& entry);

// Choice words of an update entry and the dialog's choice indexes.
std::string ZipWordForIndex(int index);
int ZipIndexForWord(const std::string& word);
std::string DownTypeWordForIndex(int index);
int DownTypeIndexForWord(const std::string& word);

// Whether adding a group of this name (as typed, or trimmed) would repeat an existing one.
bool HasGroupNamed(const SetupModel& model, const std::string& name);
// Names that more than one group carries, each once, in list order.
std::vector<std::string> RepeatedGroupNames(const SetupModel& model);

// The operations on the one SetupModel, for every front end: each checks what
// it is given, changes the model or nothing, tells the lists' view which rows
// changed, and returns why it refused. Rows and groups are indexes, -1 (or
// any index past the end) for none. Every change is a step that Undo takes
// back and Redo makes again.
class SetupEditor {
public:
    explicit SetupEditor(SetupModel& model) : model_(model) {}

    void SetListEvents(ListEvents& events) { events_ = &events; }
    const SetupModel& Model() const { return model_; }

    Outcome AddGroup(const std::string& name);
    // Removes the group and every server whose group is that exact name.
    Outcome DeleteGroup(int group);
    // step -1 moves up, +1 down.
    Outcome MoveGroup(int group, int step);

    Outcome AddServer(const ServerInput& input);
    Outcome EditServer(int row, const ServerInput& input);
    Outcome DeleteServer(int row);
    // Exchanges the row with its neighbour. Between servers of different
    // groups it still moves them and answers ServerMoveKeepsSavedOrder.
    Outcome MoveServer(int row, int step);

    Outcome AddUpdate(const UpdateInput& input);
    Outcome EditUpdate(int row, const UpdateInput& input);
    Outcome DeleteUpdate(int row);

    // The address is stored as typed; an empty one, or one that is no web
    // page, is refused.
    Outcome SetWebAddress(std::string WebAddresses::* field, std::string address);
    // The launcher fields are stored as typed: the launcher builder trims,
    // cuts and refuses them when a launcher is made.
    Outcome SetGameName(std::string name);
    Outcome SetServerListUrl(std::string url);
    // The game client's command, as typed (empty for none): a launcher is
    // made with it trimmed, and refuses one of blanks only.
    Outcome SetClientCommand(std::string command);

    // Undoes or redoes the last step, telling the view as the operations do;
    // nothing when there is none. The model is then as before that step, byte
    // for byte in what a save writes.
    std::optional<Restored> Undo() { return history_.Undo(model_, *events_); }
    std::optional<Restored> Redo() { return history_.Redo(model_, *events_); }
    const EditHistory& History() const { return history_; }
    // After the model was loaded anew.
    void ForgetHistory() { history_.Clear(); }
    // The operator left a text field: typing in it again is a step of its own.
    void EndTyping() { history_.EndTyping(); }

    // Where the server at `row` is after the servers of `group` were removed;
    // -1 when it was one of them.
    static int RowAfterRemovingGroup(const SetupModel& before, const std::string& group, int row);

private:
    bool Has(std::size_t count, int index) const { return index >= 0 && static_cast<std::size_t>(index) < count; }
    // Every text of the model is set through here, so that its change can be undone.
    Outcome SetText(std::string& field, std::string text);

    SetupModel& model_;
    NoListEvents noEvents_;
    ListEvents* events_ = &noEvents_;
    EditHistory history_;
};

} // namespace tarnwick::edit
