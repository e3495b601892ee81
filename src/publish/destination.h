#pragma once

#include "base/error.h"
#include "base/message.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Where a site is published: a server reached over SFTP, FTP(S) or WebDAV, or
// a local or mounted folder. Paths below the destination's root are relative,
// '/'-separated, and already checked (no "..", no empty segment).
namespace tarnwick::publish {

// Why a transfer failed, as far as the publisher acts on it.
enum class TransferFailure {
    Connection,     // no connection, or it broke
    Authentication, // the server refused the user or the password
    HostKey,        // an unknown or changed host key, not accepted
    Refused,        // the server refused the operation (permission, quota, ...)
    NotFound,       // the root folder or a file is not there
    Cancelled,      // the operator cancelled
    Damaged,        // the server answered with something unusable
};

class TransferError : public Error {
public:
    TransferError(const Message& message, TransferFailure failure) : Error(message), failure_(failure) {}
    TransferFailure Failure() const noexcept { return failure_; }

private:
    TransferFailure failure_;
};

// Called with the bytes of the current file sent so far; false cancels.
using TransferProgress = std::function<bool(std::uint64_t sent)>;

// How a file was put over the old one.
enum class ReplaceWay {
    Atomic,           // one rename that replaces the target
    DeleteThenRename, // the server refuses to rename over a file: for a moment there was none
};

// An SSH server's host key as the operator is asked about it.
struct HostKeyQuestion {
    std::string host;        // "example.com:22"
    std::string fingerprint; // "SHA256:" and the base64 of the key's SHA-256, as OpenSSH shows it
    bool changed = false;    // a different key is remembered for the host
};

// Who the publisher is on the server. The password is never written to a
// file of Tarnwick's nor taken from a command line.
struct Credentials {
    std::string user;
    std::optional<std::string> password;
    // SFTP: a private key file; the SSH agent is asked first when one runs.
    std::optional<std::filesystem::path> keyFile;
    std::optional<std::string> keyPassphrase;
};

// What a connection trusts.
struct TrustSettings {
    // SFTP: the known_hosts file (OpenSSH's format); accepted keys are added.
    std::filesystem::path knownHosts;
    // SFTP: a host key accepted explicitly by its fingerprint, new or changed.
    std::optional<std::string> acceptedFingerprint;
    // SFTP: asked for an unknown key (never for a changed one); none refuses.
    std::function<bool(const HostKeyQuestion&)> askUnknownHostKey;
    // TLS: certificate authorities beside the system's (a test's, a company's).
    std::optional<std::filesystem::path> caFile;
};

class Destination {
public:
    virtual ~Destination() = default;

    // Connects and checks that the root folder is there. Raises TransferError.
    virtual void Open() = 0;
    // A small file's bytes (at most limit), none when there is no such file.
    virtual std::optional<std::string> Read(const std::string& path, std::size_t limit) = 0;
    // Writes the local file to path, replacing what is there, and makes the
    // folders on the way. Raises TransferError (Cancelled when progress said so).
    virtual void Write(const std::filesystem::path& local, const std::string& path,
                       const TransferProgress& progress) = 0;
    virtual void WriteBytes(std::string_view bytes, const std::string& path) = 0;
    // Moves from over to, which players may be fetching: atomically wherever
    // the server can. Raises TransferError.
    virtual ReplaceWay Replace(const std::string& from, const std::string& to) = 0;
    // Removes a file; quiet when it is not there. Raises TransferError.
    virtual void Remove(const std::string& path) = 0;
};

} // namespace tarnwick::publish
