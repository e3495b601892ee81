#pragma once

#include "player_launcher/core/resuming_fetch.h"

namespace tarnwick::player {

// The updater's HTTP over WinINet: the address checked as the list's is,
// then one GET with the shared timeouts and redirect rules. There is no
// limit on the whole transfer's time (a large file over a slow line takes
// long); a read that waits longer than the read timeout fails.
class WinInetTransport : public HttpTransport {
public:
    TransferResult Get(const std::string& url, const std::optional<RangeRequest>& range,
                       const std::function<std::string(const HttpHead&)>& head,
                       const std::function<std::string(std::string_view)>& body,
                       const std::atomic<bool>* cancelled) override;
};

} // namespace tarnwick::player
