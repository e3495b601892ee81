#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The TCP connection under an SSH session: the one place of socket calls, a
// POSIX and a Winsock branch.
namespace tarnwick::publish {

// An open, non-blocking TCP socket (a SOCKET on Windows), closed with the
// object.
class TcpSocket {
public:
    // Resolves the host (IPv4 and IPv6) and connects to its addresses in
    // turn, each within the timeout. Raises TransferError (Connection).
    static TcpSocket Connect(const std::string& host, int port, std::chrono::milliseconds timeout);

    TcpSocket() = default;
    ~TcpSocket() { Close(); }
    TcpSocket(TcpSocket&& other) noexcept : socket_(other.socket_) { other.socket_ = kNone; }
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool IsOpen() const { return socket_ != kNone; }
    std::intptr_t Get() const { return socket_; }
    // Waits until the socket can be read (or written, or either) or the
    // timeout passes: false then. A failed socket counts as ready, so that
    // the next call on it tells the failure.
    bool Wait(bool read, bool write, std::chrono::milliseconds timeout) const;
    // Ends the connection both ways but keeps the socket, so that a library
    // still holding it fails at once instead of writing to a reused one.
    void Shutdown();
    void Close();

private:
    static constexpr std::intptr_t kNone = -1;
    explicit TcpSocket(std::intptr_t socket) : socket_(socket) {}
    std::intptr_t socket_ = kNone;
};

} // namespace tarnwick::publish
