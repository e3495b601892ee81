#include "edit/list_changes.h"

#include <algorithm>

namespace tarnwick::edit {
namespace {

// Beyond this many separate runs of rows, one reset costs a view less than a
// pass over its rows for every run.
constexpr std::size_t kRunsBeforeReset = 32;

} // namespace

std::vector<ServerRun> RemoveServersOf(ListEvents& events, RecordList<ServerEntry>& servers, const std::string& group)
{
    // Found from the last: removing them in this order keeps the rows of the
    // runs still to go where they were.
    std::vector<ServerRun> runs;
    std::vector<std::size_t> counts;
    for (std::size_t row = servers.Count(); row-- > 0;) {
        if (servers.At(row).Group != group)
            continue;
        if (!runs.empty() && runs.back().first == row + 1) {
            runs.back().first = row;
            ++counts.back();
        } else {
            runs.push_back({row, {}});
            counts.push_back(1);
        }
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        ServerRun& run = runs[i];
        run.servers.reserve(counts[i]);
        for (std::size_t row = run.first; row < run.first + counts[i]; ++row)
            run.servers.push_back(servers.At(row));
    }
    if (runs.size() > kRunsBeforeReset) {
        events.BeginReset(ListKind::Servers);
        servers.RemoveIf([&](const ServerEntry& server) { return server.Group == group; });
        events.EndReset(ListKind::Servers);
    } else {
        for (const ServerRun& run : runs) {
            const std::size_t count = run.servers.size();
            events.BeginRemoveRows(ListKind::Servers, static_cast<int>(run.first),
                                   static_cast<int>(run.first + count - 1));
            servers.Remove(run.first, count);
            events.EndRemoveRows(ListKind::Servers);
        }
    }
    std::reverse(runs.begin(), runs.end());
    return runs;
}

void RestoreServers(ListEvents& events, RecordList<ServerEntry>& servers, std::vector<ServerRun> runs)
{
    // In ascending order every run's first row is already where it was.
    if (runs.size() <= kRunsBeforeReset) {
        for (ServerRun& run : runs) {
            const std::size_t count = run.servers.size();
            events.BeginInsertRows(ListKind::Servers, static_cast<int>(run.first),
                                   static_cast<int>(run.first + count - 1));
            servers.InsertAll(run.first, std::move(run.servers));
            events.EndInsertRows(ListKind::Servers);
        }
        return;
    }
    // Many runs: one pass that merges them with the servers that stayed.
    events.BeginReset(ListKind::Servers);
    RecordList<ServerEntry> merged;
    std::size_t kept = 0;
    for (ServerRun& run : runs) {
        while (merged.Count() < run.first)
            merged.Append(std::move(servers.At(kept++)));
        for (ServerEntry& server : run.servers)
            merged.Append(std::move(server));
    }
    while (kept < servers.Count())
        merged.Append(std::move(servers.At(kept++)));
    servers = std::move(merged);
    events.EndReset(ListKind::Servers);
}

} // namespace tarnwick::edit
