#pragma once

#include "player_launcher/core/list_source.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One HTTP GET over WinHTTP, the part the list download and the updater
// share: the timeouts, redirects followed only to http and https (never from
// https to http), and WinHTTP's errors by what the player can do about them.
namespace tarnwick::player {

struct HttpHandleCloser {
    void operator()(HINTERNET handle) const { ::WinHttpCloseHandle(handle); }
};
using HttpHandle = std::unique_ptr<void, HttpHandleCloser>;

// The answer to a request, its head received and its body still to read.
struct HttpAnswer {
    HttpHandle session;
    HttpHandle connection;
    HttpHandle request;
    DWORD status = 0;
    std::string host; // UTF-8, for messages
    ListFailure failure;
};

// `headers` are added to every request ("Name: value\r\n" lines, or empty).
HttpAnswer SendGet(std::u16string url, const std::wstring& headers = {});

// A failure of WinHTTP (its GetLastError code) as the player is told it.
ListFailure HttpFailure(DWORD error, const std::string& host);

// The Content-Length of the answer; absent when not given or not a number.
std::optional<std::uint64_t> ContentLength(HINTERNET request);
// A header's value, empty when it is not there.
std::wstring Header(HINTERNET request, DWORD which);

} // namespace tarnwick::player
