#pragma once

#include "player_launcher/core/update_resume.h"
#include "player_launcher/core/updater.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Downloading an update file so that a stopped download continues: the rules
// (when to ask for a range, what to make of the answer, what to keep) are
// here; the HTTP transfer itself is the platform's (WinINet).
namespace tarnwick::player {

// No file of a game client comes near this; a server that sends more is refused.
inline constexpr std::uint64_t kMaxDownloadBytes = 4ull << 30;
// A download that broke off is tried again this often in one run, each time
// continuing where it stopped.
inline constexpr int kDownloadAttempts = 3;

// The head of an answer: its status, its validators (the length from
// Content-Length), for a 206 its Content-Range, and its Content-Type (a
// multipart answer names its boundary there).
struct HttpHead {
    int status = 0;
    BodyValidators validators;
    std::optional<ContentRange> range;
    std::string contentType;
};

// Bytes first to last of a file, both included.
struct ByteSpan {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool operator==(const ByteSpan&) const = default;
};

// "Range: bytes=FROM-" with "If-Range: CONDITION", or, with `spans`, those
// spans ("bytes=A-B,C-D") and If-Range only when a condition is given.
struct RangeRequest {
    std::uint64_t from = 0;
    std::string condition;
    std::vector<ByteSpan> spans;

    // The value of the Range header.
    std::string HeaderValue() const;
};

struct TransferResult {
    std::string error;         // empty when the body arrived whole; else why (UTF-8)
    bool worthRetrying = false; // the connection failed or timed out, not the answer
};

// One GET, redirects followed. `head` sees the answer's head before any of
// the body and `body` each piece of it; either stops the transfer by
// returning a reason, which then becomes the result's error.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual TransferResult Get(const std::string& url, const std::optional<RangeRequest>& range,
                               const std::function<std::string(const HttpHead&)>& head,
                               const std::function<std::string(std::string_view)>& body,
                               const std::atomic<bool>* cancelled) = 0;
};

// The record beside a partial download: what the server said of the body.
std::filesystem::path PartialRecordPathFor(const std::filesystem::path& partial);

// Fetches into the partial file, continuing what it holds while the server
// still serves the same file (same address, strong ETag or Last-Modified,
// same length), else starting again. The record is written before the first
// byte of a body, so a run killed at any point leaves a partial file that the
// next run continues or drops, never one it mistakes for another file's start.
class ResumingFetcher : public UpdateFetcher {
public:
    explicit ResumingFetcher(HttpTransport& transport, std::uint64_t maxBytes = kMaxDownloadBytes)
        : transport_(transport), maxBytes_(maxBytes)
    {
    }

    // The digest is taken as the bytes arrive, on a thread of its own.
    FetchResult Fetch(const std::string& url, const std::filesystem::path& partial, bool digest,
                      const FetchProgress& progress, const std::atomic<bool>* cancelled) override;

private:
    FetchResult Transfer(const std::string& url, const std::filesystem::path& partial, bool digest,
                         const FetchProgress& progress, const std::atomic<bool>* cancelled);

    HttpTransport& transport_;
    std::uint64_t maxBytes_;
};

} // namespace tarnwick::player
