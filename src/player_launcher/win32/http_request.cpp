#include "http_request.h"

#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "wide.h"

#include <winsock2.h>

#include <charconv>
#include <thread>
#include <vector>

namespace tarnwick::player {
namespace {

DownloadFailure Failed(DownloadProblem problem, long code = 0, std::string detail = {})
{
    return {problem, code, std::move(detail)};
}

bool IsRedirect(DWORD status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path; // with the query
    bool https = false;
};

std::optional<Target> Crack(const std::u16string& url)
{
    const std::wstring address = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts) ||
        parts.dwHostNameLength == 0 || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return std::nullopt;
    Target target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    // A fragment is the browser's, not the server's.
    const std::wstring_view extra(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    target.path.append(extra.substr(0, extra.find(L'#')));
    if (target.path.empty() || target.path.front() != L'/')
        target.path.insert(0, L"/");
    target.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return target;
}

} // namespace

DownloadFailure HttpFailure(DWORD error, const std::string& host, std::chrono::steady_clock::duration waited)
{
    if (waited >= std::chrono::seconds(kReadSeconds) - std::chrono::milliseconds(500))
        return Failed(DownloadProblem::Timeout, 0, host);
    // Wine's WinINet passes some socket errors through as they are.
    switch (error) {
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT: return Failed(DownloadProblem::Timeout, 0, host);
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case WSAECONNREFUSED:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return Failed(DownloadProblem::NoConnection, static_cast<long>(error), host);
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        return Failed(DownloadProblem::SecureChannel, static_cast<long>(error), host);
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
        return Failed(DownloadProblem::BadAddress, static_cast<long>(error), "地址的格式不对");
    default: return Failed(DownloadProblem::Network, static_cast<long>(error), host);
    }
}

std::optional<std::uint64_t> ContentLength(HINTERNET request)
{
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return std::nullopt;
    const std::string digits = ShownUtf8(Utf16(std::wstring_view(text, size / sizeof(wchar_t))));
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    // A length that is no number is as good as none: the body is still held to the limit.
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return length;
}

std::wstring Header(HINTERNET request, DWORD which)
{
    DWORD size = 0;
    ::HttpQueryInfoW(request, which, nullptr, &size, nullptr);
    if (size == 0 || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::HttpQueryInfoW(request, which, text.data(), &size, nullptr))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// Follows redirects itself: the library's own following differs between
// Windows and Wine in what it does with another scheme, and this way every
// hop passes the same check.
HttpAnswer::~HttpAnswer()
{
    if (!request || ended)
        return;
    // Wine's WinINet reads the rest of a body when its handle closes, for as
    // long as more has arrived: from a fast server, all of it, however large.
    // A body given up (too large, refused, cancelled) is closed on a thread of
    // its own, which the end of the process cuts short.
    std::thread([request = std::move(request), connection = std::move(connection),
                 session = std::move(session)]() mutable {
        request.reset();
        connection.reset();
        session.reset();
    }).detach();
}

HttpAnswer SendGet(std::u16string url, const std::wstring& headers)
{
    HttpAnswer answer;
    const auto fail = [&](DownloadFailure failure) {
        answer.failure = std::move(failure);
        answer.request.reset();
        return std::move(answer);
    };
    const auto lastError = [&] { return fail(HttpFailure(::GetLastError(), answer.host)); };

    answer.session.reset(::InternetOpenW(L"Tarnwick-Launcher/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!answer.session)
        return lastError();
    // Set on every handle: which handle's value counts differs between
    // Windows and Wine.
    const auto setTimeouts = [](HINTERNET handle) {
        DWORD connectMs = kConnectSeconds * 1000;
        DWORD readMs = kReadSeconds * 1000;
        ::InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
        ::InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &readMs, sizeof readMs);
        ::InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &readMs, sizeof readMs);
    };
    setTimeouts(answer.session.get());

    for (int hop = 0;; ++hop) {
        const std::optional<Target> target = Crack(url);
        if (!target)
            return fail(Failed(DownloadProblem::BadAddress, 0, "地址的格式不对：" + ShownUtf8(url)));
        answer.host = ShownUtf8(Utf16(target->host));
        answer.request.reset();
        answer.connection.reset(::InternetConnectW(answer.session.get(), target->host.c_str(), target->port, nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!answer.connection)
            return lastError();
        setTimeouts(answer.connection.get());
        // Redirects are followed here; nothing is read from or written to
        // the cache, and no dialog is ever shown.
        const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                            INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | (target->https ? INTERNET_FLAG_SECURE : 0);
        answer.request.reset(::HttpOpenRequestW(answer.connection.get(), L"GET", target->path.c_str(), nullptr, nullptr,
                                                nullptr, flags, 0));
        if (!answer.request)
            return lastError();
        HINTERNET request = answer.request.get();
        setTimeouts(request);
        // A connection kept for reuse would have the rest of a body we stop
        // reading (one too large, a cancelled download) drained into it when
        // the handle closes; each request has a connection of its own instead.
        const std::wstring allHeaders = L"Connection: close\r\n" + headers;
        const auto sent = std::chrono::steady_clock::now();
        if (!::HttpSendRequestW(request, allHeaders.c_str(), static_cast<DWORD>(-1L), nullptr, 0))
            return fail(HttpFailure(::GetLastError(), answer.host, std::chrono::steady_clock::now() - sent));

        DWORD statusSize = sizeof answer.status;
        if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &answer.status, &statusSize,
                              nullptr))
            return lastError();
        if (!IsRedirect(answer.status))
            return answer;
        const std::wstring location = Header(request, HTTP_QUERY_LOCATION);
        if (location.empty())
            return fail(Failed(DownloadProblem::HttpStatus, static_cast<long>(answer.status)));
        if (hop == kMaxRedirects)
            return fail(Failed(DownloadProblem::Redirect, 0, "转向超过 " + std::to_string(kMaxRedirects) + " 次"));
        const std::optional<std::u16string> next = RedirectTarget(url, Utf16(location));
        if (!next)
            return fail(Failed(DownloadProblem::Redirect));
        url = *next;
    }
}

std::optional<DownloadFailure> ReadSome(HttpAnswer& answer, std::vector<char>& buffer, DWORD& read)
{
    const auto started = std::chrono::steady_clock::now();
    read = 0;
    if (::InternetReadFile(answer.request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
        answer.ended = read == 0;
        return std::nullopt;
    }
    return HttpFailure(::GetLastError(), answer.host, std::chrono::steady_clock::now() - started);
}

} // namespace tarnwick::player
