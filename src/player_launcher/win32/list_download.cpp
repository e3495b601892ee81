#include "list_download.h"
#include "player_launcher/core/player_messages.h"

#include "player_launcher/core/hashing_thread.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "http_request.h"
#include "sign/list_signature.h"

#include <chrono>
#include <vector>

namespace tarnwick::player {
namespace {

// One try at the address.
Download Attempt(const std::u16string& url, const DownloadProgress& progress, const std::atomic<bool>* cancelled,
                 std::uint64_t limit, bool hash)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kTotalSeconds);
    Download download;
    const auto fail = [&](DownloadFailure failure) {
        download.failure = std::move(failure);
        download.body.clear();
        return std::move(download);
    };
    HttpAnswer answer = SendGet(url);
    if (answer.failure.problem != DownloadProblem::None)
        return fail(std::move(answer.failure));
    if (answer.status != 200)
        return fail(DownloadFailure{DownloadProblem::HttpStatus, static_cast<long>(answer.status), {}});

    HINTERNET request = answer.request.get();
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

Download DownloadList(const std::u16string& url, const DownloadProgress& progress, const std::atomic<bool>* cancelled,
                      std::uint64_t limit, bool hash)
{
    const CheckedAddress checked = CheckWebAddress(url);
    if (!checked.Allowed())
        return {{}, DownloadFailure{DownloadProblem::BadAddress, 0, RefusalText(checked)}, std::nullopt};
    Download download;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        download = Attempt(checked.address, progress, cancelled, limit, hash);
        if (download.failure.problem == DownloadProblem::None || !WorthRetrying(download.failure) ||
            (cancelled && cancelled->load()))
            break;
    }
    return download;
}

ListResult FetchServerList(const std::u16string& url, const ListTrustKeys& trust,
                           const std::filesystem::path& trustFile, const DownloadProgress& progress,
                           const std::atomic<bool>* cancelled)
{
    Download list = DownloadList(url, progress, cancelled, kMaxListBytes, trust.Required());
    if (list.failure.problem != DownloadProblem::None)
        return {std::nullopt, std::move(list.failure)};
    if (!trust.Required())
        return ReadServerList(list.body);
    std::optional<std::string> signature;
    Download fetched = DownloadList(SignatureAddress(url), {}, cancelled, sign::kMaxSignatureFileBytes);
    if (fetched.failure.problem == DownloadProblem::None)
        signature = std::move(fetched.body);
    else if (fetched.failure.problem == DownloadProblem::TooLarge)
        signature = std::string(sign::kMaxSignatureFileBytes + 1, '\0'); // refused as damaged, whatever it held
    else if (!(fetched.failure.problem == DownloadProblem::HttpStatus && fetched.failure.code == 404))
        return {std::nullopt, std::move(fetched.failure)};
    const std::uint64_t highest = ReadHighestSerial(trustFile);
    TrustedList trusted = ReadTrustedList(list.body, signature, trust, highest, list.digest);
    if (trusted.acceptedSerial && *trusted.acceptedSerial > highest) {
        // Kept before the list is used; a launcher that cannot keep it still
        // refuses lists older than the one it shows now, until it restarts.
        try {
            WriteHighestSerial(trustFile, *trusted.acceptedSerial);
        } catch (const std::exception&) {
        }
    }
    return std::move(trusted.result);
}

} // namespace tarnwick::player
