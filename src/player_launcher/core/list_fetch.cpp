#include "player_launcher/core/list_fetch.h"

#include "base/crypto.h"
#include "base/file_io.h"
#include "sign/list_signature.h"

namespace tarnwick::player {
namespace {

bool Succeeded(const ListAnswer& answer) { return answer.failure.problem == DownloadProblem::None; }

} // namespace

int ExitStatus(const FetchedList& fetched)
{
    if (!fetched.list)
        return ExitStatus(fetched.failure.problem);
    return fetched.origin == ListOrigin::NotRefreshed ? kNotRefreshedStatus : 0;
}

bool NetworkFailed(const DownloadFailure& failure)
{
    return failure.problem == DownloadProblem::SecureChannel || WorthRetrying(failure);
}

ListFetcher::ListFetcher(ListTransport& transport, ListTrustKeys trust, ListState state,
                         const std::atomic<bool>* cancelled)
    : transport_(transport), trust_(std::move(trust)), state_(std::move(state)), cancelled_(cancelled)
{
}

FetchedList ListFetcher::Fetch(const std::u16string& url)
{
    std::optional<KeptList> kept = ReadKeptList(state_.keptFile);
    // Kept by a launcher that checked no signatures: nothing a launcher with keys can verify.
    if (kept && trust_.Required() && !kept->signature)
        kept.reset();
    Attempt attempt = Try(url, std::move(kept));
    if (!attempt.keptRefused)
        return std::move(attempt.fetched);
    RemoveQuietly(state_.keptFile);
    return Try(url, std::nullopt).fetched;
}

ListAnswer ListFetcher::Get(const std::u16string& url, const KeptFile* kept, ListPart part, bool hash)
{
    const std::string conditions = kept ? ConditionalHeaders(kept->validators) : std::string();
    ListAnswer answer = transport_.Get(url, conditions, part, hash);
    // A 304 to a question not asked says nothing of any list.
    if (answer.notModified && conditions.empty()) {
        answer.notModified = false;
        answer.failure = {DownloadProblem::HttpStatus, 304, {}};
    }
    return answer;
}

ListFetcher::Attempt ListFetcher::Try(const std::u16string& url, std::optional<KeptList> kept)
{
    const bool withKeys = trust_.Required();
    const std::uint64_t highest = withKeys ? ReadHighestSerial(state_.trustFile) : 0;
    ListAnswer list = Get(url, kept ? &kept->list : nullptr, ListPart::List, withKeys);
    if (!Succeeded(list))
        return {Offline(kept, std::move(list.failure), highest)};

    // A launcher with keys fetches the signature file beside the list; a
    // server that has none answers 404.
    ListAnswer signatureFile;
    std::optional<std::string_view> signature;
    if (withKeys) {
        signatureFile = Get(SignatureAddress(url), kept ? &*kept->signature : nullptr, ListPart::Signature, false);
        if (signatureFile.notModified) {
            signature = kept->signature->body;
        } else if (Succeeded(signatureFile)) {
            signature = signatureFile.body;
        } else if (signatureFile.failure.problem == DownloadProblem::TooLarge) {
            // Refused as damaged, whatever it held.
            signatureFile.body.assign(sign::kMaxSignatureFileBytes + 1, '\0');
            signature = signatureFile.body;
        } else if (!(signatureFile.failure.problem == DownloadProblem::HttpStatus && signatureFile.failure.code == 404)) {
            return {Offline(kept, std::move(signatureFile.failure), highest)};
        }
    }

    const bool listKept = list.notModified;
    const bool signatureKept = signatureFile.notModified;
    const std::string& body = listKept ? kept->list.body : list.body;
    std::optional<sign::ListDigest> digest = list.digest;
    if (listKept && withKeys) {
        // Hashed once for both checks below.
        digest = sign::ListDigest{body.size(), crypto::Sha256(body)};
        // A new signature for the kept list: the kept list must first hold
        // with the signature it was kept with, so that what the disk changed
        // is not blamed on the server (nor the other way round).
        if (!signatureKept &&
            CheckListTrust(body, kept->signature->body, trust_, highest, digest).failure.problem != DownloadProblem::None)
            return {{}, true};
    }
    TrustedList trusted = ReadTrustedList(body, signature, trust_, highest, digest);
    if (!trusted.result.list) {
        // What the kept copy decides alone (it was read, or checked with its
        // own signature) is the copy's fault.
        const bool copysFault =
            listKept && (trusted.result.failure.problem == DownloadProblem::Damaged || !withKeys || signatureKept);
        if (copysFault)
            return {{}, true};
        return {{std::nullopt, std::move(trusted.result.failure)}};
    }

    std::optional<KeptList> keep;
    if (!listKept || (withKeys && !signatureKept)) {
        keep.emplace();
        keep->list = listKept ? std::move(kept->list) : KeptFile{std::move(list.body), std::move(list.validators)};
        if (withKeys)
            keep->signature = signatureKept ? std::move(*kept->signature)
                                            : KeptFile{std::move(signatureFile.body), std::move(signatureFile.validators)};
    }
    Keep(keep, trusted.acceptedSerial, highest);
    return {{std::move(trusted.result.list), {}, listKept ? ListOrigin::Unchanged : ListOrigin::Fetched}};
}

FetchedList ListFetcher::Offline(const std::optional<KeptList>& kept, DownloadFailure failure, std::uint64_t highest)
{
    if (!kept || !NetworkFailed(failure) || (cancelled_ && cancelled_->load()))
        return {std::nullopt, std::move(failure)};
    std::optional<std::string_view> signature;
    if (kept->signature)
        signature = kept->signature->body;
    TrustedList trusted = ReadTrustedList(kept->list.body, signature, trust_, highest);
    if (!trusted.result.list) {
        RemoveQuietly(state_.keptFile);
        return {std::nullopt, std::move(failure)};
    }
    return {std::move(trusted.result.list), std::move(failure), ListOrigin::NotRefreshed};
}

void ListFetcher::Keep(const std::optional<KeptList>& kept, std::optional<std::uint64_t> serial,
                       std::uint64_t highest)
{
    // Both are kept before the list is used, and neither is needed to use
    // it: a launcher in a folder it cannot write to shows the list all the
    // same, and refuses older lists until it restarts.
    if (serial && *serial > highest) {
        try {
            WriteHighestSerial(state_.trustFile, *serial);
        } catch (const std::exception&) {
        }
    }
    if (!kept)
        return;
    try {
        WriteKeptList(state_.keptFile, *kept);
    } catch (const std::exception&) {
    }
}

} // namespace tarnwick::player
