#pragma once

#include "publish/destination.h"
#include "publish/ssh_socket.h"

#include <chrono>
#include <functional>
#include <string>

struct _LIBSSH2_SESSION;

namespace tarnwick::publish {
class KnownHostsFile;
}

// An SSH connection through libssh2, which does the transport and all of its
// cryptography: the TCP connection, the host key's check against known_hosts
// and the login. libssh2 runs non-blocking and every call waits here, on the
// socket, so that a dead connection fails within the silence timeout and a
// transfer can be cancelled while it waits.
namespace tarnwick::publish {

struct SshTimeouts {
    std::chrono::milliseconds connect{20000};
    // The longest a server may leave a request unanswered.
    std::chrono::milliseconds silence{60000};
};

class SshSession {
public:
    // Connects, checks the host key and logs in. Raises TransferError.
    SshSession(const std::string& host, int port, const Credentials& credentials, const TrustSettings& trust,
               const SshTimeouts& timeouts);
    // Says goodbye to a sound connection, briefly; drops a spoilt one.
    ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    _LIBSSH2_SESSION* Get() const { return session_; }
    // The server as messages name it: "host:port", GBK.
    const std::string& Server() const { return server_; }
    // The fingerprint of the host key that was checked.
    const std::string& HostKeyFingerprint() const { return fingerprint_; }

    // Calls `call` (a libssh2 call) again while it would block, waiting on the
    // socket in between, and returns its result. Raises TransferError
    // (Connection) when the server stays silent for the silence timeout.
    // `tick`, when given, runs at least four times a second meanwhile; it may
    // raise to give up (the session is spoilt then).
    int Await(const std::function<int()>& call, const std::function<void()>& tick = {});
    // The same with a limit of its own, for goodbyes.
    int Await(const std::function<int()>& call, std::chrono::milliseconds limit);
    // The same for libssh2 calls that give a pointer, or null and an error.
    template <class Pointer>
    Pointer AwaitPointer(const std::function<Pointer()>& call)
    {
        Pointer result = nullptr;
        Await([&] {
            result = call();
            return result != nullptr ? 0 : LastErrorCode();
        });
        return result;
    }

    int LastErrorCode() const;
    // Raises the last failure of a libssh2 call as a broken or damaged
    // connection, and spoils the session.
    [[noreturn]] void RaiseFailure(int code);
    // Nothing more can be trusted on the connection (a transfer given up half
    // way leaves a request half sent): it is shut and the session is only freed.
    void Spoil();
    bool Spoilt() const { return spoilt_; }
    // Frees what libssh2 still holds on a connection given up (`call` closes
    // a handle, a channel or the SFTP subsystem). The session is spoilt
    // first: on the shut socket the call fails at once instead of waiting on
    // the server, and libssh2 frees its memory all the same.
    void Release(const std::function<int()>& call) noexcept;

private:
    void Handshake(const std::string& host, int port, const TrustSettings& trust);
    void CheckHostKey(const std::string& host, int port, const TrustSettings& trust, KnownHostsFile* known);
    void LogIn(const Credentials& credentials);
    bool TryAgent(const std::string& user);

    SshTimeouts timeouts_;
    std::string server_;
    std::string fingerprint_;
    TcpSocket socket_;
    _LIBSSH2_SESSION* session_ = nullptr;
    bool spoilt_ = false;
};

} // namespace tarnwick::publish
