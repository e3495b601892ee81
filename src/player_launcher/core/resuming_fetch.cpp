#include "player_launcher/core/resuming_fetch.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/player_messages.h"

#include <algorithm>
#include <span>
#include <system_error>

namespace tarnwick::player {
namespace {

constexpr SizeLimit kRecordLimit{64 * 1024, "未下载完的文件的记录最多可有 64 KiB"};

std::optional<PartialDownload> ReadRecord(const std::filesystem::path& file)
{
    try {
        return ParsePartialDownload(ReadFile(file, kRecordLimit));
    } catch (const Error&) {
        return std::nullopt;
    }
}


} // namespace

std::string RangeRequest::HeaderValue() const
{
    if (spans.empty())
        return "bytes=" + std::to_string(from) + "-";
    std::string value = "bytes=";
    for (const ByteSpan& span : spans) {
        if (value.size() > 6)
            value += ',';
        value += std::to_string(span.first) + "-" + std::to_string(span.last);
    }
    return value;
}

std::filesystem::path PartialRecordPathFor(const std::filesystem::path& partial)
{
    std::filesystem::path record = partial;
    record += ".json";
    return record;
}

FetchResult ResumingFetcher::Fetch(const std::string& url, const std::filesystem::path& partial, bool digest,
                                   const FetchProgress& progress, const std::atomic<bool>* cancelled)
{
    FetchResult result = Transfer(url, partial, digest, progress, cancelled);
    if (!result.error.empty()) {
        // Nothing came: an empty file and its record would only be clutter
        // beside the player's files.
        std::error_code failed;
        if (std::filesystem::file_size(partial, failed) == 0 && !failed) {
            RemoveQuietly(partial);
            RemoveQuietly(PartialRecordPathFor(partial));
        }
    }
    return result;
}

FetchResult ResumingFetcher::Transfer(const std::string& url, const std::filesystem::path& partial, bool digest,
                                      const FetchProgress& progress, const std::atomic<bool>* cancelled)
{
    const std::filesystem::path recordFile = PartialRecordPathFor(partial);
    const Subject subject = UpdateFileSubject(url);
    try {
        GrowingFile file(partial);
        std::optional<PartialDownload> record = ReadRecord(recordFile);
        // Holds the digest of the file's bytes so far: of `hashed` bytes.
        std::optional<Md5Pipeline> hasher;
        if (digest)
            hasher.emplace();
        std::uint64_t hashed = 0;
        const auto startAgain = [&] {
            file.Truncate(0);
            if (hasher)
                hasher->Restart();
            hashed = 0;
        };
        std::string error;
        for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
            std::uint64_t have = file.Size();
            const std::optional<std::string> condition = record ? ResumeCondition(*record, url, have) : std::nullopt;
            if (!condition && have > 0) {
                // Bytes of a body that cannot be continued: of another address,
                // or without validators to tell that the file is the same.
                startAgain();
                have = 0;
            }
            if (condition && have == *record->validators.length) {
                // Whole, but stopped before it was taken (or checked): the
                // last byte asked again with If-Range shows whether the kept
                // bytes are still the server's file, at the cost of one byte.
                --have;
                file.Truncate(have);
                if (hasher && hashed > have) {
                    hasher->Restart();
                    hashed = 0;
                }
            }
            if (hasher && hashed < have) {
                // Kept by an earlier run: hashed once, from the disk.
                const InputFile kept(partial, partial);
                std::string buffer(1 << 20, '\0');
                while (hashed < have) {
                    const std::size_t got = kept.ReadAt(hashed, std::as_writable_bytes(std::span(buffer)));
                    if (got == 0)
                        break;
                    const std::size_t used = static_cast<std::size_t>(std::min<std::uint64_t>(got, have - hashed));
                    hasher->Add(std::string_view(buffer).substr(0, used));
                    hashed += used;
                }
            }
            std::optional<RangeRequest> range;
            if (condition)
                range = RangeRequest{have, *condition, {}};

            std::uint64_t received = have;
            std::optional<std::uint64_t> total;
            const auto head = [&](const HttpHead& answer) -> std::string {
                if (range) {
                    switch (JudgeRangeAnswer(answer.status, answer.range, have, *record, answer.validators)) {
                    case RangeAnswer::Continue: total = record->validators.length; return {};
                    case RangeAnswer::Restart: break;
                    case RangeAnswer::Refused:
                        // The next try asks for the whole file.
                        startAgain();
                        record.reset();
                        RemoveQuietly(recordFile);
                        return TransferText(TransferProblem::RangeAnswerWrong, subject, answer.status);
                    }
                }
                if (answer.status != 200)
                    return FailureText({DownloadProblem::HttpStatus, answer.status, {}}, subject);
                if (answer.validators.length && *answer.validators.length > maxBytes_)
                    return FailureText({DownloadProblem::TooLarge, 0, SizeText(maxBytes_)}, subject);
                // A new body: the kept bytes go, and the record says what comes.
                startAgain();
                received = 0;
                total = answer.validators.length;
                record = PartialDownload{url, answer.validators};
                // Lost or torn by a power cut, the record only costs a restart:
                // no flush for it.
                ReplaceFile(recordFile, PartialDownloadText(*record), Durability::Atomic);
                return {};
            };
            const auto body = [&](std::string_view chunk) -> std::string {
                if (total && received + chunk.size() > *total)
                    return TransferText(TransferProblem::LongerThanAnnounced, subject);
                if (received + chunk.size() > maxBytes_)
                    return FailureText({DownloadProblem::TooLarge, 0, SizeText(maxBytes_)}, subject);
                file.Append(chunk);
                if (hasher)
                    hasher->Add(chunk);
                hashed += chunk.size();
                received += chunk.size();
                if (progress)
                    progress(received, total);
                return {};
            };
            TransferResult result = transport_.Get(url, range, head, body, cancelled);
            if (result.error.empty() && total && received != *total) {
                // The connection ended early: what came is kept and continued.
                result = {FailureText({DownloadProblem::Incomplete, 0, SizeText(received) + " / " + SizeText(*total)},
                                      subject),
                          true};
            }
            error = result.error;
            if (error.empty()) {
                file.Flush();
                RemoveQuietly(recordFile);
                return {{}, hasher ? std::optional(hasher->Finish()) : std::nullopt};
            }
            if (cancelled && cancelled->load())
                return {kCancelled, std::nullopt};
            // A refused range request is worth one more try, for the whole file.
            const bool refusedRange = range && !record;
            if (!result.worthRetrying && !refusedRange)
                break;
        }
        return {error, std::nullopt};
    } catch (const Error& failure) {
        return {FileFailureText("保存下载的文件", partial, failure.Kind()), std::nullopt};
    }
}

} // namespace tarnwick::player
