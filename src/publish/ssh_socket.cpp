#include "publish/ssh_socket.h"

#include "base/error.h"
#include "base/translatable.h"
#include "publish/destination.h"
#include "publish/shown_text.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mutex>
#else
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace tarnwick::publish {
namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr int kInProgress = WSAEWOULDBLOCK;
constexpr int kRefused = WSAECONNREFUSED;
constexpr int kTimedOut = WSAETIMEDOUT;
constexpr int kNetUnreachable = WSAENETUNREACH;
constexpr int kHostUnreachable = WSAEHOSTUNREACH;
constexpr int kInterrupted = WSAEINTR;
constexpr int kBothWays = SD_BOTH;

bool IsInvalid(Native socket) { return socket == INVALID_SOCKET; }
int LastSocketError() { return WSAGetLastError(); }
std::string SocketErrorText(int error) { return Win32ErrorText(static_cast<unsigned long>(error)); }
// getaddrinfo's failures are Winsock error codes.
std::string ResolveErrorText(int error) { return SocketErrorText(error); }
void CloseNative(Native socket) { closesocket(socket); }
int PollSockets(WSAPOLLFD* entry, int timeoutMs) { return WSAPoll(entry, 1, timeoutMs); }
using PollEntry = WSAPOLLFD;

void StartWinsock()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

bool MakeNonBlocking(Native socket)
{
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}
#else
using Native = int;
constexpr int kInProgress = EINPROGRESS;
constexpr int kRefused = ECONNREFUSED;
constexpr int kTimedOut = ETIMEDOUT;
constexpr int kNetUnreachable = ENETUNREACH;
constexpr int kHostUnreachable = EHOSTUNREACH;
constexpr int kInterrupted = EINTR;
constexpr int kBothWays = SHUT_RDWR;

bool IsInvalid(Native socket) { return socket < 0; }
int LastSocketError() { return errno; }
std::string SocketErrorText(int error) { return SystemErrorText(error); }
std::string ResolveErrorText(int error) { return gai_strerror(error); }
void CloseNative(Native socket) { close(socket); }
int PollSockets(pollfd* entry, int timeoutMs) { return poll(entry, 1, timeoutMs); }
using PollEntry = pollfd;

void StartWinsock() {}

bool MakeNonBlocking(Native socket)
{
    const int flags = fcntl(socket, F_GETFL);
    return flags != -1 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 && fcntl(socket, F_SETFD, FD_CLOEXEC) == 0;
}
#endif

std::string Endpoint(const std::string& host, int port)
{
    const std::string shown = Shown(host);
    return (shown.find(':') != std::string::npos ? "[" + shown + "]" : shown) + ":" + std::to_string(port);
}

const char* PhraseOfSocketError(int error)
{
    if (error == kRefused)
        return QT_TRANSLATE_NOOP("Tarnwick", "对方拒绝连接（端口对吗？SSH 服务在运行吗？）");
    if (error == kTimedOut)
        return QT_TRANSLATE_NOOP("Tarnwick", "连接超时");
    if (error == kNetUnreachable || error == kHostUnreachable)
        return QT_TRANSLATE_NOOP("Tarnwick", "网络不通");
    return nullptr;
}

[[noreturn]] void CannotConnect(const std::string& host, int port, int error)
{
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "无法连接服务器 %1：%2。请检查地址和网络后再试。"));
    message.Arg(Endpoint(host, port)).Reason(SocketErrorText(error), PhraseOfSocketError(error));
    throw TransferError(message, TransferFailure::Connection);
}

int Milliseconds(std::chrono::steady_clock::duration duration)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30));
}

// Connects one address within the deadline: the socket, or the error number.
std::intptr_t ConnectAddress(const addrinfo& address, std::chrono::steady_clock::time_point deadline, int& error)
{
    const Native socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (IsInvalid(socket)) {
        error = LastSocketError();
        return -1;
    }
    if (!MakeNonBlocking(socket)) {
        error = LastSocketError();
        CloseNative(socket);
        return -1;
    }
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        error = LastSocketError();
        if (error != kInProgress && error != kInterrupted) {
            CloseNative(socket);
            return -1;
        }
        PollEntry entry{};
        entry.fd = socket;
        entry.events = POLLOUT;
        int ready = 0;
        do {
            ready = PollSockets(&entry, Milliseconds(deadline - std::chrono::steady_clock::now()));
        } while (ready < 0 && LastSocketError() == kInterrupted);
        if (ready <= 0) {
            error = ready == 0 ? kTimedOut : LastSocketError();
            CloseNative(socket);
            return -1;
        }
        int socketError = 0;
        socklen_t length = sizeof socketError;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length) != 0)
            socketError = LastSocketError();
        if (socketError != 0) {
            error = socketError;
            CloseNative(socket);
            return -1;
        }
    }
    // The session's requests are small and each waits for its answer.
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return static_cast<std::intptr_t>(socket);
}

} // namespace

TcpSocket TcpSocket::Connect(const std::string& host, int port, std::chrono::milliseconds timeout)
{
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
    if (resolved != 0 || addresses == nullptr) {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "找不到服务器 %1：%2。请检查服务器的名字。"));
        message.Arg(Shown(host)).Reason(Shown(ResolveErrorText(resolved)), QT_TRANSLATE_NOOP("Tarnwick", "名字无法解析"));
        throw TransferError(message, TransferFailure::Connection);
    }
    int error = kTimedOut;
    std::intptr_t socket = kNone;
    for (const addrinfo* address = addresses; address != nullptr && socket == kNone; address = address->ai_next)
        socket = ConnectAddress(*address, std::chrono::steady_clock::now() + timeout, error);
    freeaddrinfo(addresses);
    if (socket == kNone)
        CannotConnect(host, port, error);
    return TcpSocket(socket);
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        socket_ = other.socket_;
        other.socket_ = kNone;
    }
    return *this;
}

bool TcpSocket::Wait(bool read, bool write, std::chrono::milliseconds timeout) const
{
    PollEntry entry{};
    entry.fd = static_cast<Native>(socket_);
    entry.events = static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
    const int ready = PollSockets(&entry, Milliseconds(timeout));
    // An interrupted wait counts as ready: the caller's call comes again.
    return ready != 0;
}

void TcpSocket::Shutdown()
{
    if (socket_ != kNone)
        shutdown(static_cast<Native>(socket_), kBothWays);
}

void TcpSocket::Close()
{
    if (socket_ != kNone)
        CloseNative(static_cast<Native>(socket_));
    socket_ = kNone;
}

} // namespace tarnwick::publish
