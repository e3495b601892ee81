#pragma once

#include "config/field_encoder.h"
#include "player_launcher/core/server_list.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// Getting the server list: the limits of the download, why a download (of
// the list or of an update file) can fail, and reading what arrived. The
// download itself is the platform's (WinINet).
namespace tarnwick::player {

// A file of 100,000 servers is about 22 MB; nothing larger is a server list,
// and a body that never ends stops here.
inline constexpr std::uint64_t kMaxListBytes = 64u * 1024 * 1024;
// Connecting (name resolution included) may take this long, and so may each
// send and each wait for more of the body; the whole download at most kTotalSeconds.
inline constexpr int kConnectSeconds = 10;
inline constexpr int kReadSeconds = 15;
inline constexpr int kTotalSeconds = 300;
// A download that fails for want of a connection, by a timeout or with a
// server error (5xx) is tried once more.
inline constexpr int kAttempts = 2;
// Redirects followed for one download.
inline constexpr int kMaxRedirects = 5;

// Why a download failed; the list's own refusals come after the transfer's.
enum class DownloadProblem {
    None,
    NotStamped,    // the image's list address was never stamped
    BadAddress,    // the stamped address is not an http or https address
    NoConnection,  // the host was not found or refused the connection
    Timeout,       // no connection, or no data, within the time allowed
    HttpStatus,    // the server answered with another status than 200
    Redirect,      // sent on to another scheme, or from https to http
    SecureChannel, // the https certificate or the secure connection failed
    Network,       // another failure of the transfer
    Incomplete,    // the connection ended before the announced length arrived
    TooLarge,      // more than kMaxListBytes
    Damaged,       // the reader refused what arrived (damaged, cut short, other key material)
    // A launcher that checks signatures refused the list:
    Unsigned,      // no signature file came with it
    OtherKey,      // signed by a key it does not trust (detail: the key's id)
    BadSignature,  // the signature file is damaged or false, or the list is not the one signed (detail: which)
    Older,         // genuine, but older than the list it took before (detail: the serials)
    KeysDamaged,   // the launcher's own key room cannot be read
};

struct DownloadFailure {
    DownloadProblem problem = DownloadProblem::None;
    long code = 0;      // HttpStatus: the status; NoConnection, Network, ...: the system's error code
    std::string detail; // UTF-8: BadAddress the address check's reason; Damaged the reader's message; the host
};

// What was being downloaded, as the player is told: the server list, or one
// file of the update list by its file name.
struct Subject {
    static Subject List() { return {}; }
    static Subject File(std::string name) { return {std::move(name)}; }
    bool IsList() const { return file.empty(); }
    std::string file; // UTF-8; empty for the server list
};


// How "/list" ends: 2 when the list could not be fetched, 1 when what arrived
// is no usable server list.
int ExitStatus(DownloadProblem problem);

// Whether a failed attempt is worth the one retry.
bool WorthRetrying(const DownloadFailure& failure);

// The downloaded body, read whole: a list, or why there is none. Nothing of a
// body that does not read whole is shown.
struct ListResult {
    std::optional<ServerList> list;
    DownloadFailure failure;
};
ListResult ReadServerList(std::string_view body, const KeyMaterial& key = BuiltInKey());

// The body as it arrives, held to kMaxListBytes (or `limit`): what the server
// announces is checked before anything is read, what it sends as it comes, so
// that a huge or endless body costs no more than the limit.
class ListBody {
public:
    explicit ListBody(std::uint64_t limit = kMaxListBytes) : limit_(limit) {}

    // False when the announced length is over the limit.
    bool Expect(std::optional<std::uint64_t> contentLength);
    // False, and nothing kept of the chunk, once the body would pass the limit.
    bool Append(std::string_view chunk);

    const std::string& Bytes() const { return bytes_; }
    std::uint64_t Received() const { return bytes_.size(); }
    std::optional<std::uint64_t> Announced() const { return announced_; }

private:
    std::uint64_t limit_;
    std::optional<std::uint64_t> announced_;
    std::string bytes_;
};



} // namespace tarnwick::player
