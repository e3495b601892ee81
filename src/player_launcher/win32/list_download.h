#pragma once

#include "player_launcher/core/list_fetch.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/list_trust.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick::player {

// Reports how much of the body has arrived; total is absent when the server
// did not announce the length.
using DownloadProgress = std::function<void(std::uint64_t received, std::optional<std::uint64_t> total)>;

// GETs over http or https with WinINet, within the limits of list_source.h
// (timeouts, size, one retry), following redirects only to http and https
// and never from https to http. Blocks; `cancelled` is checked between reads.
// The list's progress is reported; a signature file's is too small to show.
class WinInetListTransport : public ListTransport {
public:
    WinInetListTransport(DownloadProgress progress, const std::atomic<bool>* cancelled)
        : progress_(std::move(progress)), cancelled_(cancelled)
    {
    }
    ListAnswer Get(const std::u16string& url, const std::string& headers, ListPart part, bool hash) override;

private:
    DownloadProgress progress_;
    const std::atomic<bool>* cancelled_;
};

// The server list as a start gets it (ListFetcher over WinINet): the kept
// list when the server says it is unchanged or the network fails, the
// signature checks when the launcher has keys.
FetchedList FetchServerList(const std::u16string& url, const ListTrustKeys& trust, const ListState& state,
                            const DownloadProgress& progress = {}, const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::player
