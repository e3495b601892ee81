#pragma once

#include "player_launcher/core/list_source.h"
#include "player_launcher/core/list_trust.h"

#include <filesystem>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick::player {

// Reports how much of the body has arrived; total is absent when the server
// did not announce the length.
using DownloadProgress = std::function<void(std::uint64_t received, std::optional<std::uint64_t> total)>;

struct Download {
    std::string body;    // the whole body, only when failure.problem is None
    DownloadFailure failure;
    std::optional<sign::ListDigest> digest; // with `hash`: the body's, taken as it arrived
};

// Fetches the server list over http or https with WinINet, within the limits
// of list_source.h (timeouts, size, one retry), following redirects only to
// http and https and never from https to http. Blocks; `cancelled` is checked
// between reads.
Download DownloadList(const std::u16string& url, const DownloadProgress& progress = {},
                      const std::atomic<bool>* cancelled = nullptr, std::uint64_t limit = kMaxListBytes,
                      bool hash = false);

// The server list read whole, after the signature checks when the launcher
// has keys: its signature file fetched beside it (a server that has none
// answers 404), the list refused unless it verifies, and the serial of a list
// taken kept in `trustFile`.
ListResult FetchServerList(const std::u16string& url, const ListTrustKeys& trust,
                           const std::filesystem::path& trustFile, const DownloadProgress& progress = {},
                           const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::player
