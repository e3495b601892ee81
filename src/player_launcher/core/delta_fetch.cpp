#include "player_launcher/core/delta_fetch.h"

#include "base/error.h"
#include "base/file_io.h"
#include "player_launcher/core/hashing_thread.h"
#include "player_launcher/core/player_messages.h"

#include <algorithm>
#include <cctype>
#include <span>

namespace tarnwick::player {
namespace {

// Headers of one part: a few lines; more is no server's answer.
constexpr std::size_t kMaxPartHeaderBytes = 4096;

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The new file as it is built, front to back: stretches of the old file and
// the bytes fetched, both hashed on the way.
class Assembly {
public:
    Assembly(const std::filesystem::path& path, const std::filesystem::path& old, const blocks::BlockIndex& index,
             const std::vector<std::optional<std::uint64_t>>& found)
        : out_(path), old_(old, old), index_(index), found_(found)
    {
        out_.Truncate(0);
    }

    std::uint64_t Written() const { return written_; }

    // Fills the file up to `end` from the old one; false when a block on
    // the way is not there (the server's answer skipped a range).
    bool CopyOldUpTo(std::uint64_t end)
    {
        while (written_ < end) {
            const std::size_t block = static_cast<std::size_t>(written_ / index_.blockSize);
            if (!found_[block])
                return false;
            // Blocks that follow each other in the old file too are read as one
            // piece: a file that changed little is copied in large reads.
            const std::uint64_t from = *found_[block] + (written_ - index_.BlockStart(block));
            std::size_t last = block;
            while (last + 1 < found_.size() && found_[last + 1] && *found_[last + 1] == *found_[last] + index_.blockSize &&
                   index_.BlockStart(last + 1) < std::min<std::uint64_t>(end, written_ + buffer_.size()))
                ++last;
            const std::uint64_t blockEnd = index_.BlockStart(last) + index_.BlockLength(last);
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::uint64_t>({end, blockEnd, written_ + buffer_.size()}) - written_);
            if (old_.ReadAt(from, std::as_writable_bytes(std::span(buffer_.data(), piece))) != piece)
                throw Error("Cannot read file: the old file changed while it was read");
            Append(std::string_view(buffer_.data(), piece));
        }
        return true;
    }

    // Bytes fetched for the file from `at` on; those before what is
    // written already (a server that merged ranges) are passed over.
    void Fetched(std::uint64_t at, std::string_view bytes)
    {
        if (at < written_) {
            const std::uint64_t skip = std::min<std::uint64_t>(bytes.size(), written_ - at);
            bytes.remove_prefix(static_cast<std::size_t>(skip));
        }
        Append(bytes);
    }

    void Finish(Digest& md5, crypto::Sha256Digest& sha256)
    {
        out_.Flush();
        md5 = md5_.Finish();
        sha256 = sha256_.Finish();
    }

private:
    void Append(std::string_view bytes)
    {
        out_.Append(bytes);
        md5_.Add(bytes);
        sha256_.Update(bytes);
        written_ += bytes.size();
    }

    GrowingFile out_;
    InputFile old_;
    const blocks::BlockIndex& index_;
    const std::vector<std::optional<std::uint64_t>>& found_;
    std::vector<char> buffer_ = std::vector<char>(1u << 20);
    Md5Pipeline md5_;
    HashingThread sha256_;
    std::uint64_t written_ = 0;
};

} // namespace

std::uint64_t DeltaPlan::MissingBytes() const
{
    std::uint64_t bytes = 0;
    for (const ByteSpan& span : missing)
        bytes += span.last - span.first + 1;
    return bytes;
}

DeltaPlan PlanDelta(const blocks::BlockIndex& index, const std::vector<std::optional<std::uint64_t>>& found)
{
    DeltaPlan plan;
    for (std::size_t block = 0; block < index.blocks.size(); ++block) {
        const std::uint64_t first = index.BlockStart(block);
        const std::uint64_t last = first + index.BlockLength(block) - 1;
        if (found[block]) {
            plan.reused += last - first + 1;
        } else if (!plan.missing.empty() && plan.missing.back().last + 1 == first) {
            plan.missing.back().last = last;
        } else {
            plan.missing.push_back({first, last});
        }
    }
    return plan;
}

std::optional<std::string> ByteRangesBoundary(std::string_view contentType)
{
    const std::size_t semicolon = contentType.find(';');
    if (!StartsWithNoCase(Trimmed(contentType.substr(0, semicolon)), "multipart/byteranges") ||
        Trimmed(contentType.substr(0, semicolon)).size() != 20 || semicolon == std::string_view::npos)
        return std::nullopt;
    std::string_view parameters = contentType.substr(semicolon + 1);
    while (!parameters.empty()) {
        const std::size_t end = parameters.find(';');
        const std::string_view parameter = Trimmed(parameters.substr(0, end));
        if (StartsWithNoCase(parameter, "boundary=")) {
            std::string_view value = parameter.substr(9);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            // A boundary is 1 to 70 characters.
            if (value.empty() || value.size() > 70)
                return std::nullopt;
            return std::string(value);
        }
        if (end == std::string_view::npos)
            break;
        parameters.remove_prefix(end + 1);
    }
    return std::nullopt;
}

ByteRangesReader::ByteRangesReader(std::string boundary, PartStarted started, PartBytes bytes)
    : delimiter_("--" + std::move(boundary)), started_(std::move(started)), bytes_(std::move(bytes))
{
}

std::string ByteRangesReader::Feed(std::string_view chunk)
{
    while (!chunk.empty()) {
        if (state_ == State::Ended)
            return {}; // an epilogue may follow; it means nothing
        if (state_ == State::Data) {
            const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(left_, chunk.size()));
            if (std::string refused = bytes_(chunk.substr(0, taken)); !refused.empty())
                return refused;
            left_ -= taken;
            chunk.remove_prefix(taken);
            if (left_ == 0)
                state_ = State::Delimiter;
            continue;
        }
        // Delimiters and headers are short: taken a byte at a time.
        pending_.push_back(chunk.front());
        chunk.remove_prefix(1);
        if (pending_.size() > kMaxPartHeaderBytes)
            return "a part's delimiter or headers are too long";
        if (std::string failed = Step(); !failed.empty())
            return failed;
    }
    return {};
}

std::string ByteRangesReader::Step()
{
    switch (state_) {
    case State::Delimiter:
        if (first_) {
            // A preamble may come before the first delimiter (RFC 2046).
            if (pending_.size() < delimiter_.size() || pending_.compare(pending_.size() - delimiter_.size(), delimiter_.size(), delimiter_) != 0)
                return {};
            first_ = false;
        } else {
            // Between parts only the line break that ends the data.
            const std::string expected = "\r\n" + delimiter_;
            if (expected.compare(0, pending_.size(), pending_) != 0)
                return "a part is longer than its Content-Range";
            if (pending_.size() < expected.size())
                return {};
        }
        pending_.clear();
        state_ = State::AfterDelimiter;
        return {};
    case State::AfterDelimiter:
        if (pending_ == "--") {
            state_ = State::Ended;
            return {};
        }
        if (pending_.size() < 2 || pending_.compare(pending_.size() - 2, 2, "\r\n") != 0)
            return {};
        // Only white space may stand between a delimiter and its line break.
        if (!Trimmed(std::string_view(pending_).substr(0, pending_.size() - 2)).empty())
            return "a damaged multipart delimiter";
        pending_.clear();
        state_ = State::Headers;
        return {};
    case State::Headers: {
        if (pending_ == "\r\n")
            return "a part without a Content-Range";
        if (pending_.size() < 4 || pending_.compare(pending_.size() - 4, 4, "\r\n\r\n") != 0)
            return {};
        std::optional<ContentRange> range;
        std::string_view headers(pending_);
        while (!headers.empty()) {
            const std::size_t lineEnd = headers.find("\r\n");
            const std::string_view line = headers.substr(0, lineEnd);
            if (StartsWithNoCase(line, "content-range:"))
                range = ParseContentRange(Trimmed(line.substr(14)));
            headers.remove_prefix(std::min(headers.size(), lineEnd + 2));
        }
        pending_.clear();
        if (!range)
            return "a part without a Content-Range";
        if (std::string refused = started_(*range); !refused.empty())
            return refused;
        left_ = range->last - range->first + 1;
        state_ = State::Data;
        return {};
    }
    case State::Data:
    case State::Ended:
        break;
    }
    return {};
}

std::optional<std::string> IndexAddressFor(const std::string& url)
{
    if (url.find_first_of("?#") != std::string::npos)
        return std::nullopt;
    return url + blocks::kIndexSuffix;
}

std::filesystem::path PatchPathFor(const std::filesystem::path& partial)
{
    std::filesystem::path path = partial;
    path.replace_extension(".patching");
    return path;
}

std::optional<blocks::BlockIndex> DeltaFetcher::FetchIndex(const std::string& url, std::string& why,
                                                           const std::atomic<bool>* cancelled)
{
    std::string bytes;
    const auto head = [&](const HttpHead& answer) -> std::string {
        if (answer.status != 200)
            return "the index answered " + std::to_string(answer.status);
        if (answer.validators.length && *answer.validators.length > blocks::kMaxIndexBytes)
            return "the index is too large";
        return {};
    };
    const auto body = [&](std::string_view chunk) -> std::string {
        if (bytes.size() + chunk.size() > blocks::kMaxIndexBytes)
            return "the index is too large";
        bytes.append(chunk);
        return {};
    };
    const TransferResult fetched = transport_.Get(url, std::nullopt, head, body, cancelled);
    if (!fetched.error.empty()) {
        why = fetched.error;
        return std::nullopt;
    }
    return blocks::DecodeIndex(bytes, why);
}

FetchResult DeltaFetcher::Patch(const std::string& url, const std::filesystem::path& current,
                                const std::filesystem::path& partial, const std::optional<std::string>& expectedMd5,
                                const FetchProgress& progress, const std::atomic<bool>* cancelled)
{
    std::error_code unknown;
    if (std::filesystem::file_size(current, unknown) < kPatchedFromBytes || unknown)
        return {"the old file is too small to be worth patching", std::nullopt};
    const std::optional<std::string> indexUrl = IndexAddressFor(url);
    if (!indexUrl)
        return {"the address has a query", std::nullopt};
    std::string why;
    const std::optional<blocks::BlockIndex> index = FetchIndex(*indexUrl, why, cancelled);
    if (cancelled && cancelled->load())
        return {kCancelled, std::nullopt};
    if (!index)
        return {"no usable block index: " + why, std::nullopt};
    // The list names the file it wants; an index of another version would
    // only build that one.
    if (expectedMd5 && DigestToHex(index->md5) != *expectedMd5)
        return {"the block index is of another version of the file", std::nullopt};
    if (index->length > kMaxDownloadBytes)
        return {"the indexed file is larger than any download", std::nullopt};

    const std::filesystem::path building = PatchPathFor(partial);
    try {
        const std::vector<std::optional<std::uint64_t>> found = blocks::FindBlocks(*index, current, workers_, cancelled);
        if (cancelled && cancelled->load())
            return {kCancelled, std::nullopt};
        const DeltaPlan plan = PlanDelta(*index, found);
        const std::uint64_t toFetch = plan.MissingBytes();
        if (static_cast<double>(toFetch) > kWorthPatchingShare * static_cast<double>(index->length))
            return {"the old file holds too little of the new one", std::nullopt};

        std::string failure;
        std::optional<Digest> built;
        {
            Assembly assembly(building, current, *index, found);
            std::uint64_t received = 0;
            const auto count = [&](std::size_t bytes) {
                received += bytes;
                if (progress)
                    progress(received, toFetch);
            };
            // Servers that will not send several ranges in one answer get them one at a time.
            bool several = true;
            for (std::size_t next = 0; next < plan.missing.size() && failure.empty();) {
                const std::size_t take = several ? std::min(kSpansPerRequest, plan.missing.size() - next) : 1;
                RangeRequest request;
                request.spans.assign(plan.missing.begin() + static_cast<std::ptrdiff_t>(next),
                                     plan.missing.begin() + static_cast<std::ptrdiff_t>(next + take));
                const std::uint64_t wantedLast = request.spans.back().last;
                std::optional<ByteRangesReader> parts;
                std::uint64_t partAt = 0;
                bool refusedMany = false;
                const auto partStarted = [&](const ContentRange& range) -> std::string {
                    if (range.complete != index->length)
                        return "a part of another file";
                    if (range.first > assembly.Written() && !assembly.CopyOldUpTo(range.first))
                        return "the answer skipped a range";
                    partAt = range.first;
                    return {};
                };
                const auto partBytes = [&](std::string_view bytes) -> std::string {
                    assembly.Fetched(partAt, bytes);
                    partAt += bytes.size();
                    count(bytes.size());
                    return {};
                };
                const auto head = [&](const HttpHead& answer) -> std::string {
                    if (answer.status == 206) {
                        if (std::optional<std::string> boundary = ByteRangesBoundary(answer.contentType)) {
                            parts.emplace(*boundary, partStarted, partBytes);
                            return {};
                        }
                        if (!answer.range)
                            return "a 206 answer without a Content-Range";
                        return partStarted(*answer.range);
                    }
                    // 200 (ranges ignored), 416 or 501 to several ranges: one at a time may do.
                    if (take > 1 && (answer.status == 200 || answer.status == 416 || answer.status == 501)) {
                        refusedMany = true;
                        return "several ranges refused";
                    }
                    return "the server answered a range request with " + std::to_string(answer.status);
                };
                const auto body = [&](std::string_view chunk) -> std::string {
                    if (parts)
                        return parts->Feed(chunk);
                    return partBytes(chunk);
                };
                const TransferResult result = transport_.Get(url, request, head, body, cancelled);
                if (cancelled && cancelled->load()) {
                    failure = kCancelled;
                } else if (refusedMany) {
                    several = false;
                } else {
                    if (!result.error.empty())
                        failure = result.error;
                    else if (parts && !parts->Ended())
                        failure = "the multipart answer ended early";
                    else if (assembly.Written() <= wantedLast)
                        failure = "the answer lacks a range asked for";
                    next += take;
                }
            }
            if (failure.empty() && !assembly.CopyOldUpTo(index->length))
                failure = "the file cannot be completed";
            if (failure.empty() && assembly.Written() != index->length)
                failure = "the file came out longer than the index says";
            if (failure.empty()) {
                Digest md5;
                crypto::Sha256Digest sha256;
                assembly.Finish(md5, sha256);
                if (md5 != index->md5 || sha256 != index->sha256)
                    failure = "the built file is not the indexed one";
                else
                    built = md5;
            }
        }
        if (!built) {
            RemoveQuietly(building);
            return {failure, std::nullopt};
        }
        // The whole download's partial bytes, if any, are of no use now.
        RemoveQuietly(PartialRecordPathFor(partial));
        MoveFileOver(building, partial);
        return {{}, built};
    } catch (const Error& error) {
        RemoveQuietly(building);
        return {error.what(), std::nullopt};
    } catch (const std::filesystem::filesystem_error& error) {
        RemoveQuietly(building);
        return {error.what(), std::nullopt};
    }
}

} // namespace tarnwick::player
