#pragma once

#include "player_launcher/core/list_source.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One HTTP GET over WinINet, the part the list download and the updater
// share: the timeouts, redirects followed only to http and https (never from
// https to http), no cache, and WinINet's errors by what the player can do
// about them. WinINet rather than WinHTTP: it is the API for programs that a
// user runs (it takes the user's proxy settings), and under Wine it reads a
// body at the speed of the socket, where WinHTTP manages about 50 MB/s.
namespace tarnwick::player {

struct HttpHandleCloser {
    void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};
using HttpHandle = std::unique_ptr<void, HttpHandleCloser>;

// The answer to a request, its head received and its body still to read.
struct HttpAnswer {
    HttpAnswer() = default;
    HttpAnswer(HttpAnswer&&) = default;
    HttpAnswer& operator=(HttpAnswer&&) = default;
    // Closes the handles; those of a body given up before its end on a
    // thread of its own, as closing them can take long (see the definition).
    ~HttpAnswer();

    HttpHandle session;
    HttpHandle connection;
    HttpHandle request;
    DWORD status = 0;
    std::string host; // UTF-8, for messages
    DownloadFailure failure;
    bool ended = false; // the body was read to its end
};

// `headers` are added to every request ("Name: value\r\n" lines, or empty).
HttpAnswer SendGet(std::u16string url, const std::wstring& headers = {});

// A failure of WinINet (its GetLastError code) after a wait of `waited`, as
// the player is told it. A failure after a wait as long as the read timeout
// is a timeout, whatever the code says (Wine reports a stalled server as an
// aborted connection).
DownloadFailure HttpFailure(DWORD error, const std::string& host, std::chrono::steady_clock::duration waited = {});

// Reads what has come of the body into the buffer: `read` bytes, 0 at its end.
std::optional<DownloadFailure> ReadSome(HttpAnswer& answer, std::vector<char>& buffer, DWORD& read);

// The Content-Length of the answer; absent when not given or not a number.
std::optional<std::uint64_t> ContentLength(HINTERNET request);
// A header's value, empty when it is not there.
std::wstring Header(HINTERNET request, DWORD which);

} // namespace tarnwick::player
