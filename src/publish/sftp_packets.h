#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The few SFTP version 3 packets that Tarnwick speaks itself, on a channel of
// its own beside libssh2's: libssh2 offers no request that renames over an
// existing file. A packet is a uint32 length, then its payload: a type byte,
// (but for INIT and VERSION) a uint32 request id, and the fields, strings as a
// uint32 length and the bytes. Everything read here comes from the server and
// is checked before it is used.
namespace tarnwick::publish::sftp {

inline constexpr std::uint8_t kInit = 1;
inline constexpr std::uint8_t kVersion = 2;
inline constexpr std::uint8_t kStatus = 101;
inline constexpr std::uint8_t kExtended = 200;

inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kStatusNoSuchFile = 2;
inline constexpr std::uint32_t kStatusPermissionDenied = 3;
inline constexpr std::uint32_t kStatusFailure = 4;
inline constexpr std::uint32_t kStatusOpUnsupported = 8;

inline constexpr std::string_view kPosixRename = "posix-rename@openssh.com";

// The most a packet on the extension channel may hold: a VERSION lists a
// server's extensions, a STATUS has one short text. Anything longer is no
// answer of a server worth waiting for.
inline constexpr std::size_t kMaxPacket = 64 * 1024;

struct ServerVersion {
    std::uint32_t version = 0;
    std::vector<std::pair<std::string, std::string>> extensions; // name, data
    bool Offers(std::string_view name) const;
};

struct Status {
    std::uint32_t id = 0;
    std::uint32_t code = 0;
    std::string message; // the server's words, UTF-8 by the protocol; may be empty
};

// Whole packets, length included, ready to send.
std::string InitPacket(std::uint32_t version);
std::string ExtendedPacket(std::uint32_t id, std::string_view request, std::string_view first, std::string_view second);

// Cuts a stream of bytes into packets.
class PacketReader {
public:
    explicit PacketReader(std::size_t maxPacket = kMaxPacket) : maxPacket_(maxPacket) {}

    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // Whether the bytes so far break the framing: a length of no payload at
    // all, or beyond the limit. Nothing that follows can be read then.
    bool Broken() const;
    // The next whole packet's payload (its type byte first); none until the
    // stream holds all of it, or when it is broken.
    std::optional<std::string> Next();

private:
    std::size_t maxPacket_;
    std::string buffer_;
};

// A payload's fields; none when the payload is no such packet or a field
// runs past its end.
std::optional<ServerVersion> ParseVersion(std::string_view payload);
// SFTP v3 servers send the text and a language tag after the code; a server
// that sends only the code is taken at its word too.
std::optional<Status> ParseStatus(std::string_view payload);

} // namespace tarnwick::publish::sftp
