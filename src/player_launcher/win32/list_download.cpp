#include "list_download.h"

#include "http_request.h"
#include "player_launcher/core/hashing_thread.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "sign/list_signature.h"
#include "wide.h"

#include <chrono>
#include <vector>

namespace tarnwick::player {
namespace {

// One try at the address.
ListAnswer Attempt(const std::u16string& url, const std::wstring& headers, const DownloadProgress& progress,
                   const std::atomic<bool>* cancelled, std::uint64_t limit, bool hash)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kTotalSeconds);
    ListAnswer download;
    const auto fail = [&](DownloadFailure failure) {
        download.failure = std::move(failure);
        download.body.clear();
        return std::move(download);
    };
    HttpAnswer answer = SendGet(url, headers);
    if (answer.failure.problem != DownloadProblem::None)
        return fail(std::move(answer.failure));
    if (answer.status == HTTP_STATUS_NOT_MODIFIED) {
        answer.ended = true; // a 304 has no body to read
        download.notModified = true;
        return download;
    }
    if (answer.status != 200)
        return fail(DownloadFailure{DownloadProblem::HttpStatus, static_cast<long>(answer.status), {}});

    HINTERNET request = answer.request.get();
    download.validators.etag = ShownUtf8(Utf16(Header(request, HTTP_QUERY_ETAG)));
    download.validators.lastModified = ShownUtf8(Utf16(Header(request, HTTP_QUERY_LAST_MODIFIED)));
    ListBody body(limit);
    const std::optional<std::uint64_t> announced = ContentLength(request);
    if (!body.Expect(announced))
        return fail(DownloadFailure{DownloadProblem::TooLarge, 0, {}});
    // Hashed beside the download as it arrives: the digest is ready about
    // when the last byte is, and a large list costs a signed launcher no wait.
    std::optional<HashingThread> hasher;
    if (hash)
        hasher.emplace();
    std::vector<char> buffer(1024 * 1024);
    for (;;) {
        if (cancelled && cancelled->load())
            return fail(DownloadFailure{DownloadProblem::Network, static_cast<long>(ERROR_CANCELLED), answer.host});
        if (Clock::now() > deadline)
            return fail(DownloadFailure{DownloadProblem::Timeout, 0, answer.host});
        DWORD read = 0;
        if (std::optional<DownloadFailure> failed = ReadSome(answer, buffer, read))
            return fail(std::move(*failed));
        if (read == 0)
            break;
        if (!body.Append(std::string_view(buffer.data(), read)))
            return fail(DownloadFailure{DownloadProblem::TooLarge, 0, {}});
        if (hasher)
            hasher->Update(std::string_view(buffer.data(), read));
        if (progress)
            progress(body.Received(), announced);
    }
    if (announced && body.Received() != *announced)
        return fail(DownloadFailure{DownloadProblem::Incomplete, 0, SizeText(body.Received()) + " / " + SizeText(*announced)});
    download.body = body.Bytes();
    if (hasher)
        download.digest = sign::ListDigest{download.body.size(), hasher->Finish()};
    return download;
}

} // namespace

ListAnswer WinInetListTransport::Get(const std::u16string& url, const std::string& headers, ListPart part, bool hash)
{
    const CheckedAddress checked = CheckWebAddress(url);
    if (!checked.Allowed()) {
        ListAnswer refused;
        refused.failure = {DownloadProblem::BadAddress, 0, RefusalText(checked)};
        return refused;
    }
    // The headers are visible ASCII (ConditionalHeaders): widened as they are.
    const std::wstring wide(headers.begin(), headers.end());
    const bool isList = part == ListPart::List;
    const std::uint64_t limit = isList ? kMaxListBytes : sign::kMaxSignatureFileBytes;
    ListAnswer answer;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        answer = Attempt(checked.address, wide, isList ? progress_ : DownloadProgress(), cancelled_, limit, hash);
        if (answer.failure.problem == DownloadProblem::None || !WorthRetrying(answer.failure) ||
            (cancelled_ && cancelled_->load()))
            break;
    }
    return answer;
}

FetchedList FetchServerList(const std::u16string& url, const ListTrustKeys& trust, const ListState& state,
                            const DownloadProgress& progress, const std::atomic<bool>* cancelled)
{
    WinInetListTransport transport(progress, cancelled);
    return ListFetcher(transport, trust, state, cancelled).Fetch(url);
}

} // namespace tarnwick::player
