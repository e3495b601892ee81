#pragma once

#include "digest/block_index.h"
#include "player_launcher/core/resuming_fetch.h"
#include "player_launcher/core/updater.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Bringing an update file up to date from the version the player already
// has: the file's block index (published beside it) tells which blocks the
// old file holds; only the others are fetched, as byte ranges, and the new
// file is built beside the target and checked whole before it is used.
// Whatever goes wrong (no index, a damaged or stale one, a server without
// ranges, a block that is not what the index says) only means that the file
// is downloaded whole instead.
namespace tarnwick::player {

// The ranges of the new file that the old one does not hold, in file order,
// neighbours merged; and how many bytes come from the old file.
struct DeltaPlan {
    std::vector<ByteSpan> missing;
    std::uint64_t reused = 0;
    std::uint64_t MissingBytes() const;
};
DeltaPlan PlanDelta(const blocks::BlockIndex& index, const std::vector<std::optional<std::uint64_t>>& found);

// The boundary of a "multipart/byteranges" Content-Type; absent for any other type.
std::optional<std::string> ByteRangesBoundary(std::string_view contentType);

// Reads a multipart/byteranges body as it arrives: each part's Content-Range,
// then exactly as many bytes as it names. The parts' bytes are handed on,
// never held.
class ByteRangesReader {
public:
    using PartStarted = std::function<std::string(const ContentRange& range)>;
    using PartBytes = std::function<std::string(std::string_view bytes)>;

    ByteRangesReader(std::string boundary, PartStarted started, PartBytes bytes);

    // Empty, or why the body is refused (or what a callback returned).
    std::string Feed(std::string_view chunk);
    // Whether the closing delimiter came.
    bool Ended() const { return state_ == State::Ended; }

private:
    enum class State { Delimiter, AfterDelimiter, Headers, Data, Ended };
    // Takes what pending_ holds so far as a delimiter or headers.
    std::string Step();

    std::string delimiter_; // "--" boundary
    PartStarted started_;
    PartBytes bytes_;
    State state_ = State::Delimiter;
    std::string pending_; // bytes of a delimiter or of headers not yet whole
    std::uint64_t left_ = 0; // of the current part's data
    bool first_ = true;
};

// The address of a file's block index; absent when the address has a query
// or a fragment, where there is no telling which name the index would have.
std::optional<std::string> IndexAddressFor(const std::string& url);

// Old files smaller than this are not patched: the index, the requests and
// the scan would cost about what the file does.
inline constexpr std::uint64_t kPatchedFromBytes = 1ull << 20;
// Ranges asked for in one request: the Range header stays under 2 KB, well
// within what servers take.
inline constexpr std::size_t kSpansPerRequest = 48;
// A patch that would fetch more than this share of the file is not worth
// the index and the scan: the whole file comes instead.
inline constexpr double kWorthPatchingShare = 0.7;

// The file being built from the old one and the ranges: beside the target,
// apart from the whole download's partial file.
std::filesystem::path PatchPathFor(const std::filesystem::path& partial);

class DeltaFetcher : public UpdatePatcher {
public:
    // `workers` scan the old file (0: one per processor).
    explicit DeltaFetcher(HttpTransport& transport, unsigned workers = 0) : transport_(transport), workers_(workers) {}

    FetchResult Patch(const std::string& url, const std::filesystem::path& current,
                      const std::filesystem::path& partial, const std::optional<std::string>& expectedMd5,
                      const FetchProgress& progress, const std::atomic<bool>* cancelled) override;

private:
    std::optional<blocks::BlockIndex> FetchIndex(const std::string& url, std::string& why,
                                                 const std::atomic<bool>* cancelled);

    HttpTransport& transport_;
    unsigned workers_;
};

} // namespace tarnwick::player
