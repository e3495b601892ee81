#pragma once

#include "player_launcher/core/list_source.h"

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
    ListFailure failure;
};

// Fetches the server list over http or https with WinINet, within the limits
// of list_source.h (timeouts, size, one retry), following redirects only to
// http and https and never from https to http. Blocks; `cancelled` is checked
// between reads.
Download DownloadList(const std::u16string& url, const DownloadProgress& progress = {},
                      const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::player
