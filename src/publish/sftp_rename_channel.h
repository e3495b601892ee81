#pragma once

#include "publish/sftp_packets.h"

#include <cstdint>
#include <string>
#include <string_view>

struct _LIBSSH2_CHANNEL;

// A second SFTP channel on a session, beside libssh2's, for the one request
// libssh2 1.10 cannot make: OpenSSH's rename that replaces an existing file in
// one step. It stays open for the session's renames.
namespace tarnwick::publish {

class SshSession;

class SftpRenameChannel {
public:
    // Opens the channel and learns the server's extensions. Raises
    // TransferError; Refused when the server allows no second channel.
    explicit SftpRenameChannel(SshSession& session);
    // Closes the channel; on a spoilt session only frees it.
    ~SftpRenameChannel();
    SftpRenameChannel(const SftpRenameChannel&) = delete;
    SftpRenameChannel& operator=(const SftpRenameChannel&) = delete;

    bool OffersPosixRename() const { return version_.Offers(sftp::kPosixRename); }
    // Moves from over to (both paths as the server takes them); the server's
    // answer. Raises TransferError when there is none that can be used.
    sftp::Status PosixRename(std::string_view from, std::string_view to);

private:
    void Send(const std::string& packet);
    // The next packet's payload.
    std::string Receive();
    [[noreturn]] void RaiseDamaged(const char* phrase);

    SshSession& session_;
    _LIBSSH2_CHANNEL* channel_ = nullptr;
    sftp::PacketReader reader_;
    sftp::ServerVersion version_;
    std::uint32_t nextId_ = 1;
};

} // namespace tarnwick::publish
