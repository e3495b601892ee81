#pragma once

#include "player_launcher/core/kept_list.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/list_trust.h"
#include "player_launcher/core/update_resume.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Getting the server list at a start: the list is asked for only if it is no
// longer the one the launcher kept (a list of 100,000 servers is 33 MB; its
// 304 a few hundred bytes), the kept list is shown when the server says it is
// unchanged or when the network fails, and a launcher with keys checks the
// kept list as it checks a fetched one. The transfer is the platform's.
namespace tarnwick::player {

// What came of one GET.
struct ListAnswer {
    std::string body;                       // the whole body of a 200
    DownloadFailure failure;                // why no body came
    bool notModified = false;               // 304: the conditions held
    BodyValidators validators;              // the 200's ETag and Last-Modified
    std::optional<sign::ListDigest> digest; // asked for: the body's, taken as it arrived
};

// Which file a GET is for: the list, or its signature file beside it.
enum class ListPart { List, Signature };

// One GET within the limits of list_source.h (the list's size cap, or
// sign::kMaxSignatureFileBytes for the signature file), retried as they say.
class ListTransport {
public:
    virtual ~ListTransport() = default;
    // `headers` are ConditionalHeaders (empty: unconditional); with `hash`
    // the body's digest is taken as it arrives.
    virtual ListAnswer Get(const std::u16string& url, const std::string& headers, ListPart part, bool hash) = 0;
};

// Where a launcher keeps what it took: the highest serial (list_trust.h) and
// the last list (kept_list.h).
struct ListState {
    std::filesystem::path trustFile;
    std::filesystem::path keptFile;
};

enum class ListOrigin {
    Fetched,     // the server sent it whole
    Unchanged,   // the kept list: the server said it still serves it
    NotRefreshed // the kept list: the network failed
};

struct FetchedList {
    std::optional<ServerList> list;
    DownloadFailure failure; // no list: why; NotRefreshed: why the list could not be refreshed
    ListOrigin origin = ListOrigin::Fetched;
};

// "/list" ends with this when it shows the kept list because the network
// failed: scripts tell it from a fresh list (0) and from none (1, 2).
inline constexpr int kNotRefreshedStatus = 4;
int ExitStatus(const FetchedList& fetched);

// A failure of the way to the server (no connection, a timeout, a server
// error, a cut connection, a failed secure channel), after which the kept list
// is shown; never a refused, damaged or falsely signed list, nor a 404.
bool NetworkFailed(const DownloadFailure& failure);

class ListFetcher {
public:
    // `cancelled`: a fetch given up shows nothing, not even the kept list.
    ListFetcher(ListTransport& transport, ListTrustKeys trust, ListState state,
                const std::atomic<bool>* cancelled = nullptr);

    // The list read whole and, with keys, verified; a list taken from the
    // server is kept (its serial too) before it is shown. A kept list that no
    // longer reads or verifies is dropped, and the list asked for again
    // without conditions.
    FetchedList Fetch(const std::u16string& url);

private:
    struct Attempt {
        FetchedList fetched;
        bool keptRefused = false; // the kept copy failed its checks: drop it, ask again
    };
    Attempt Try(const std::u16string& url, std::optional<KeptList> kept);
    // A GET, conditional when the kept file has validators.
    ListAnswer Get(const std::u16string& url, const KeptFile* kept, ListPart part, bool hash);
    FetchedList Offline(const std::optional<KeptList>& kept, DownloadFailure failure, std::uint64_t highest);
    void Keep(const std::optional<KeptList>& kept, std::optional<std::uint64_t> serial, std::uint64_t highest);

    ListTransport& transport_;
    ListTrustKeys trust_;
    ListState state_;
    const std::atomic<bool>* cancelled_;
};

} // namespace tarnwick::player
