#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Continuing a download that stopped: a partial file is kept beside its
// target with a record of what the server said of the body, and is continued
// with a range request only while the server still describes the same file.
namespace tarnwick::player {

// What identifies a response body: its validators and its length.
struct BodyValidators {
    std::string etag;         // as the server sent it, quotes included; a weak one ("W/...") cannot resume
    std::string lastModified; // as the server sent it
    std::optional<std::uint64_t> length;
    bool operator==(const BodyValidators&) const = default;
};

// The record beside a partial download.
struct PartialDownload {
    std::string url; // UTF-8
    BodyValidators validators;
    bool operator==(const PartialDownload&) const = default;
};

std::string PartialDownloadText(const PartialDownload& partial);
// Absent for anything PartialDownloadText did not write.
std::optional<PartialDownload> ParsePartialDownload(std::string_view text);

// The If-Range value for continuing `partial` of `url` after `have` bytes:
// its strong ETag, else its Last-Modified; absent when it cannot be continued
// (another address, no validator, no length, nothing kept or more than the
// length). With the whole length kept, the fetcher asks for the last byte
// again: the answer tells whether the kept file is still the server's.
std::optional<std::string> ResumeCondition(const PartialDownload& partial, const std::string& url, std::uint64_t have);

// A Content-Range header of a 206 answer: "bytes FIRST-LAST/COMPLETE".
struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t complete = 0;
};
std::optional<ContentRange> ParseContentRange(std::string_view header);

enum class RangeAnswer {
    Continue, // append the body to the kept bytes
    Restart,  // the server sent the whole body (the file changed, or it ignores ranges): drop the kept bytes
    Refused,  // an answer that fits neither: this try fails, and the kept bytes are dropped
};

// What to do with the answer to a range request for the bytes from `have`:
// `status` its HTTP status, `range` its Content-Range, `now` its validators.
RangeAnswer JudgeRangeAnswer(int status, const std::optional<ContentRange>& range, std::uint64_t have,
                             const PartialDownload& partial, const BodyValidators& now);

} // namespace tarnwick::player
