#include "edit/setup_editor.h"

#include "base/text.h"
#include "edit/field_rules.h"
#include "edit/list_changes.h"
#include "edit/record_rules.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tarnwick::edit {
namespace {

// Each makes a change of a list and returns the step that undoes it.
template <class Record>
EditHistory::Change Appended(ListEvents& events, SetupModel& model, Record record)
{
    const int row = static_cast<int>(ListOf<Record>::In(model).Count());
    InsertRow(events, model, row, std::move(record));
    return EditHistory::RowPresence<Record>{row, std::nullopt};
}

template <class Record>
EditHistory::Change Removed(ListEvents& events, SetupModel& model, int row)
{
    return EditHistory::RowPresence<Record>{row, TakeRow<Record>(events, model, row)};
}

template <class Record>
EditHistory::Change Replaced(ListEvents& events, SetupModel& model, int row, Record record)
{
    return EditHistory::RowContent<Record>{row, ReplaceRow(events, model, row, std::move(record))};
}

template <class Record>
EditHistory::Change Swapped(ListEvents& events, SetupModel& model, int row, int with)
{
    SwapRows<Record>(events, model, row, with);
    return EditHistory::RowSwap<Record>{with, row};
}

} // namespace

std::string ZipWordForIndex(int index) { return index == 1 ? words::kYes : words::kNo; }
int ZipIndexForWord(const std::string& word) { return word == words::kYes ? 1 : 0; }
std::string DownTypeWordForIndex(int index) { return index == 1 ? words::kDownAlbum : words::kDownDirect; }
int DownTypeIndexForWord(const std::string& word) { return word == words::kDownAlbum ? 1 : 0; }

Outcome CheckServerInput(const ServerInput& input)
{
    if (Trimmed(input.ShowName).empty())
        return Outcome::ShowNameBlank;
    if (Trimmed(input.Name).empty())
        return Outcome::ServerNameBlank;
    if (Trimmed(input.Addr).empty())
        return Outcome::AddrBlank;
    if (!input.Group)
        return Outcome::NoGroupChosen;
    return CheckConnections(ServerFromInput(input));
}

void PinDigests(UpdateInput& input, const std::string& md5)
{
    input.DownMD5 = md5;
    if (input.ZipIndex == 0)
        input.MD5 = md5;
}

Outcome CheckUpdateInput(const UpdateInput& input)
{
    if (Trimmed(input.Hint).empty())
        return Outcome::HintBlank;
    if (Trimmed(input.DownUrl).empty())
        return Outcome::DownUrlBlank;
    if (Trimmed(input.SaveDir).empty())
        return Outcome::SaveDirBlank;
    if (Trimmed(input.SaveName).empty())
        return Outcome::SaveNameBlank;
    return CheckDigests(UpdateFromInput(input));
}

ServerEntry ServerFromInput(const ServerInput& input)
{
    return ServerEntry{input.Group.value_or(std::string()), TrimmedText(input.ShowName), TrimmedText(input.Name),
                       TrimmedText(input.Addr), TrimmedText(input.Port)};
}

UpdateEntry UpdateFromInput(const UpdateInput& input)
{
    UpdateEntry entry;
    entry.Hint = input.Hint; // as typed
    entry.SaveDir = TrimmedText(input.SaveDir);
    entry.SaveName = TrimmedText(input.SaveName);
    entry.DownUrl = TrimmedText(input.DownUrl);
    entry.Zip = ZipWordForIndex(input.ZipIndex);
    entry.CheckType = CheckWordForIndex(input.CheckTypeIndex);
    entry.DownType = DownTypeWordForIndex(input.DownTypeIndex);
    entry.Date = TrimmedText(input.Date);
    entry.Ver = input.Ver;
    entry.MD5 = input.MD5;         // as typed
    entry.DownMD5 = input.DownMD5; // as typed
    return entry;
}

UpdateInput InputFromUpdate(const UpdateEntry& entry)
{
    UpdateInput input;
    input.Hint = entry.Hint;
    input.DownUrl = entry.DownUrl;
    input.SaveDir = entry.SaveDir;
    input.SaveName = entry.SaveName;
    input.ZipIndex = ZipIndexForWord(entry.Zip);
    input.DownTypeIndex = DownTypeIndexForWord(entry.DownType);
    input.CheckTypeIndex = CheckIndexForWord(entry.CheckType);
    input.Ver = entry.Ver;
    input.Date = entry.Date;
    input.MD5 = entry.MD5;
    input.DownMD5 = entry.DownMD5;
    return input;
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

// Groups ---------------------------------------------------------------------

Outcome SetupEditor::AddGroup(const std::string& name)
{
    // Not trimmed: a name of spaces is a name.
    if (name.empty())
        return Outcome::GroupNameEmpty;
    // Two groups of one name would each be written with all its servers, and
    // every save-and-load would double them.
    if (HasGroupNamed(model_, name))
        return Outcome::GroupNameTaken;
    history_.Record(EditKind::AddGroup, Appended(*events_, model_, ServerGroup{name}));
    return Outcome::Done;
}

Outcome SetupEditor::DeleteGroup(int group)
{
    if (!Has(model_.groups.Count(), group))
        return Outcome::NoGroupToDelete;
    ServerGroup removed = TakeRow<ServerGroup>(*events_, model_, group);
    // Exact byte match, as the document writer matches servers to groups: a
    // case-blind match would also destroy the servers of a group "east" when
    // "East" goes.
    std::vector<ServerRun> servers = RemoveServersOf(*events_, model_.servers, removed.Name);
    history_.Record(EditKind::DeleteGroup, EditHistory::GroupPresence{group, std::move(removed), std::move(servers)});
    return Outcome::Done;
}

int SetupEditor::RowAfterRemovingGroup(const SetupModel& before, const std::string& group, int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= before.servers.Count())
        return -1;
    if (before.servers.At(static_cast<std::size_t>(row)).Group == group)
        return -1;
    int removedBefore = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(row); ++i)
        removedBefore += before.servers.At(i).Group == group ? 1 : 0;
    return row - removedBefore;
}

Outcome SetupEditor::MoveGroup(int group, int step)
{
    if (!Has(model_.groups.Count(), group))
        return Outcome::NoGroupToMove;
    if (step < 0 && group == 0)
        return Outcome::GroupAtTop;
    if (step > 0 && static_cast<std::size_t>(group) + 1 >= model_.groups.Count())
        return Outcome::GroupAtBottom;
    history_.Record(EditKind::MoveGroup, Swapped<ServerGroup>(*events_, model_, group, group + (step < 0 ? -1 : 1)));
    return Outcome::Done;
}

// Servers --------------------------------------------------------------------

Outcome SetupEditor::AddServer(const ServerInput& input)
{
    if (const Outcome check = CheckServerInput(input); check != Outcome::Done)
        return check;
    history_.Record(EditKind::AddServer, Appended(*events_, model_, ServerFromInput(input)));
    return Outcome::Done;
}

Outcome SetupEditor::EditServer(int row, const ServerInput& input)
{
    if (!Has(model_.servers.Count(), row))
        return Outcome::NoServerToEdit;
    if (const Outcome check = CheckServerInput(input); check != Outcome::Done)
        return check;
    // An edit that stores what the row holds is no step to undo.
    if (ServerEntry entry = ServerFromInput(input); entry != model_.servers.At(static_cast<std::size_t>(row)))
        history_.Record(EditKind::EditServer, Replaced(*events_, model_, row, std::move(entry)));
    return Outcome::Done;
}

Outcome SetupEditor::DeleteServer(int row)
{
    if (!Has(model_.servers.Count(), row))
        return Outcome::NoServerToDelete;
    history_.Record(EditKind::DeleteServer, Removed<ServerEntry>(*events_, model_, row));
    return Outcome::Done;
}

Outcome SetupEditor::MoveServer(int row, int step)
{
    if (!Has(model_.servers.Count(), row))
        return Outcome::NoServerToMove;
    if (step < 0 && row == 0)
        return Outcome::ServerAtTop;
    if (step > 0 && static_cast<std::size_t>(row) + 1 >= model_.servers.Count())
        return Outcome::ServerAtBottom;
    const int with = row + (step < 0 ? -1 : 1);
    const bool sameGroup = model_.servers.At(static_cast<std::size_t>(row)).Group ==
                           model_.servers.At(static_cast<std::size_t>(with)).Group;
    history_.Record(EditKind::MoveServer, Swapped<ServerEntry>(*events_, model_, row, with));
    return sameGroup ? Outcome::Done : Outcome::ServerMoveKeepsSavedOrder;
}

// Update entries -------------------------------------------------------------

Outcome SetupEditor::AddUpdate(const UpdateInput& input)
{
    if (const Outcome check = CheckUpdateInput(input); check != Outcome::Done)
        return check;
    history_.Record(EditKind::AddUpdate, Appended(*events_, model_, UpdateFromInput(input)));
    return Outcome::Done;
}

Outcome SetupEditor::EditUpdate(int row, const UpdateInput& input)
{
    if (!Has(model_.updates.Count(), row))
        return Outcome::NoUpdateToEdit;
    if (const Outcome check = CheckUpdateInput(input); check != Outcome::Done)
        return check;
    if (UpdateEntry entry = UpdateFromInput(input); entry != model_.updates.At(static_cast<std::size_t>(row)))
        history_.Record(EditKind::EditUpdate, Replaced(*events_, model_, row, std::move(entry)));
    return Outcome::Done;
}

Outcome SetupEditor::DeleteUpdate(int row)
{
    if (!Has(model_.updates.Count(), row))
        return Outcome::NoUpdateToDelete;
    history_.Record(EditKind::DeleteUpdate, Removed<UpdateEntry>(*events_, model_, row));
    return Outcome::Done;
}

Outcome SetupEditor::SetWebAddress(std::string WebAddresses::* field, std::string address)
{
    if (const Outcome check = CheckWebPage(address); check != Outcome::Done)
        return check;
    return SetText(model_.web.*field, std::move(address));
}

Outcome SetupEditor::SetGameName(std::string name)
{
    return SetText(model_.launcher.GameName, std::move(name));
}

Outcome SetupEditor::SetServerListUrl(std::string url)
{
    return SetText(model_.launcher.ServerListUrl, std::move(url));
}

Outcome SetupEditor::SetText(std::string& field, std::string text)
{
    // Storing what the field holds (as leaving it does) is no step to undo.
    if (field != text)
        history_.RecordText(field, std::exchange(field, std::move(text)));
    return Outcome::Done;
}

Outcome SetupEditor::SetClientCommand(std::string command)
{
    return SetText(model_.launcher.ClientCommand, std::move(command));
}

} // namespace tarnwick::edit
