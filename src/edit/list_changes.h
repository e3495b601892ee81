#pragma once

#include "config/model.h"
#include "edit/list_events.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The changes of the model's lists that the operations and their undoing are
// made of, each told to the view as it happens. Internal to the editing layer.
namespace tarnwick::edit {

// The list of a record type in the model, and how the view names it.
template <class Record>
struct ListOf;
template <>
struct ListOf<ServerGroup> {
    static constexpr ListKind kind = ListKind::Groups;
    static RecordList<ServerGroup>& In(SetupModel& model) { return model.groups; }
};
template <>
struct ListOf<ServerEntry> {
    static constexpr ListKind kind = ListKind::Servers;
    static RecordList<ServerEntry>& In(SetupModel& model) { return model.servers; }
};
template <>
struct ListOf<UpdateEntry> {
    static constexpr ListKind kind = ListKind::Updates;
    static RecordList<UpdateEntry>& In(SetupModel& model) { return model.updates; }
};

template <class Record>
void InsertRow(ListEvents& events, SetupModel& model, int row, Record record)
{
    events.BeginInsertRows(ListOf<Record>::kind, row, row);
    ListOf<Record>::In(model).Insert(static_cast<std::size_t>(row), std::move(record));
    events.EndInsertRows(ListOf<Record>::kind);
}

template <class Record>
Record TakeRow(ListEvents& events, SetupModel& model, int row)
{
    RecordList<Record>& list = ListOf<Record>::In(model);
    Record taken = std::move(list.At(static_cast<std::size_t>(row)));
    events.BeginRemoveRows(ListOf<Record>::kind, row, row);
    list.Remove(static_cast<std::size_t>(row));
    events.EndRemoveRows(ListOf<Record>::kind);
    return taken;
}

// Puts `record` in the row and returns what the row held.
template <class Record>
Record ReplaceRow(ListEvents& events, SetupModel& model, int row, Record record)
{
    std::swap(ListOf<Record>::In(model).At(static_cast<std::size_t>(row)), record);
    events.RowsChanged(ListOf<Record>::kind, row, row);
    return record;
}

template <class Record>
void SwapRows(ListEvents& events, SetupModel& model, int row, int with)
{
    ListOf<Record>::In(model).Move(static_cast<std::size_t>(row), static_cast<std::size_t>(with));
    events.RowsChanged(ListOf<Record>::kind, std::min(row, with), std::max(row, with));
}

// Servers that stood together, by the row of the first.
struct ServerRun {
    std::size_t first = 0;
    std::vector<ServerEntry> servers;
};

// Removes every server whose group is exactly `group` (a byte match, as the
// document writer matches servers to groups) and returns them as runs in
// ascending order, which RestoreServers puts back where they were.
std::vector<ServerRun> RemoveServersOf(ListEvents& events, RecordList<ServerEntry>& servers, const std::string& group);
void RestoreServers(ListEvents& events, RecordList<ServerEntry>& servers, std::vector<ServerRun> runs);

} // namespace tarnwick::edit
