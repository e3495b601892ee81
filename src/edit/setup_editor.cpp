#include "edit/setup_editor.h"

#include "base/text.h"
#include "edit/field_rules.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tarnwick::edit {
namespace {

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
    return Outcome::Done;
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
    return Outcome::Done;
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
    AppendRow(*events_, ListKind::Groups, model_.groups, ServerGroup{name});
    return Outcome::Done;
}

Outcome SetupEditor::DeleteGroup(int group)
{
    if (!Has(model_.groups.Count(), group))
        return Outcome::NoGroupToDelete;
    const std::string name = model_.groups.At(static_cast<std::size_t>(group)).Name;
    RemoveRow(*events_, ListKind::Groups, model_.groups, group);
    RemoveServersOf(name);
    return Outcome::Done;
}

// Exact byte match, as the document writer matches servers to groups: a
// case-blind match would also destroy the servers of a group "east" when
// "East" goes.
void SetupEditor::RemoveServersOf(const std::string& group)
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
    SwapRows(*events_, ListKind::Groups, model_.groups, group, group + (step < 0 ? -1 : 1));
    return Outcome::Done;
}

// Servers --------------------------------------------------------------------

Outcome SetupEditor::AddServer(const ServerInput& input)
{
    if (const Outcome check = CheckServerInput(input); check != Outcome::Done)
        return check;
    AppendRow(*events_, ListKind::Servers, model_.servers, ServerFromInput(input));
    return Outcome::Done;
}

Outcome SetupEditor::EditServer(int row, const ServerInput& input)
{
    if (!Has(model_.servers.Count(), row))
        return Outcome::NoServerToEdit;
    if (const Outcome check = CheckServerInput(input); check != Outcome::Done)
        return check;
    model_.servers.At(static_cast<std::size_t>(row)) = ServerFromInput(input);
    events_->RowsChanged(ListKind::Servers, row, row);
    return Outcome::Done;
}

Outcome SetupEditor::DeleteServer(int row)
{
    if (!Has(model_.servers.Count(), row))
        return Outcome::NoServerToDelete;
    RemoveRow(*events_, ListKind::Servers, model_.servers, row);
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
    SwapRows(*events_, ListKind::Servers, model_.servers, row, with);
    return sameGroup ? Outcome::Done : Outcome::ServerMoveKeepsSavedOrder;
}

// Update entries -------------------------------------------------------------

Outcome SetupEditor::AddUpdate(const UpdateInput& input)
{
    if (const Outcome check = CheckUpdateInput(input); check != Outcome::Done)
        return check;
    AppendRow(*events_, ListKind::Updates, model_.updates, UpdateFromInput(input));
    return Outcome::Done;
}

Outcome SetupEditor::EditUpdate(int row, const UpdateInput& input)
{
    if (!Has(model_.updates.Count(), row))
        return Outcome::NoUpdateToEdit;
    if (const Outcome check = CheckUpdateInput(input); check != Outcome::Done)
        return check;
    model_.updates.At(static_cast<std::size_t>(row)) = UpdateFromInput(input);
    events_->RowsChanged(ListKind::Updates, row, row);
    return Outcome::Done;
}

Outcome SetupEditor::DeleteUpdate(int row)
{
    if (!Has(model_.updates.Count(), row))
        return Outcome::NoUpdateToDelete;
    RemoveRow(*events_, ListKind::Updates, model_.updates, row);
    return Outcome::Done;
}

Outcome SetupEditor::SetWebAddress(std::string WebAddresses::* field, std::string address)
{
    if (address.empty())
        return Outcome::WebAddressEmpty;
    model_.web.*field = std::move(address);
    return Outcome::Done;
}

Outcome SetupEditor::SetGameName(std::string name)
{
    model_.launcher.GameName = std::move(name);
    return Outcome::Done;
}

Outcome SetupEditor::SetServerListUrl(std::string url)
{
    model_.launcher.ServerListUrl = std::move(url);
    return Outcome::Done;
}

} // namespace tarnwick::edit
