#include "list_download.h"

#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "wide.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <charconv>
#include <chrono>
#include <memory>
#include <vector>

namespace tarnwick::player {
namespace {

struct HandleCloser {
    void operator()(HINTERNET handle) const { ::WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

ListFailure Failed(ListProblem problem, long code = 0, std::string detail = {})
{
    return {problem, code, std::move(detail)};
}

// WinHTTP's error codes by what the player can do about them.
ListFailure FromError(DWORD error, const std::string& host)
{
    // Wine's WinHTTP passes some socket errors through as they are.
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT: return Failed(ListProblem::Timeout, 0, host);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return Failed(ListProblem::NoConnection, static_cast<long>(error), host);
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return Failed(ListProblem::SecureChannel, static_cast<long>(error), host);
    case ERROR_WINHTTP_INVALID_URL:
        return Failed(ListProblem::BadAddress, static_cast<long>(error), "地址的格式不对");
    default: return Failed(ListProblem::Network, static_cast<long>(error), host);
    }
}

std::optional<std::uint64_t> ContentLength(HINTERNET request)
{
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    const std::string digits = Utf8Of(Utf16(std::wstring_view(text, size / sizeof(wchar_t))));
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
    ::WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                          WINHTTP_NO_HEADER_INDEX);
    if (size == 0 || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
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
    if (!::WinHttpCrackUrl(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts) ||
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

// One try at the address, following redirects ourselves: WinHTTP's own
// following differs between Windows and Wine in what it does with another
// scheme, and this way every hop passes the same check.
Download Attempt(std::u16string url, const DownloadProgress& progress, const std::atomic<bool>* cancelled)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kTotalSeconds);
    Download download;
    std::string host;
    const auto fail = [&](ListFailure failure) {
        download.failure = std::move(failure);
        download.body.clear();
        return std::move(download);
    };
    const auto lastError = [&] { return fail(FromError(::GetLastError(), host)); };

    Handle session(::WinHttpOpen(L"Tarnwick-Launcher/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return lastError();
    const int connectMs = kConnectSeconds * 1000;
    const int readMs = kReadSeconds * 1000;
    ::WinHttpSetTimeouts(session.get(), connectMs, connectMs, readMs, readMs);

    for (int hop = 0;; ++hop) {
        const std::optional<Target> target = Crack(url);
        if (!target)
            return fail(Failed(ListProblem::BadAddress, 0, "地址的格式不对：" + Utf8Of(url)));
        host = Utf8Of(Utf16(target->host));
        Handle connection(::WinHttpConnect(session.get(), target->host.c_str(), target->port, 0));
        if (!connection)
            return lastError();
        Handle request(::WinHttpOpenRequest(connection.get(), L"GET", target->path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, target->https ? WINHTTP_FLAG_SECURE : 0));
        if (!request)
            return lastError();
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        ::WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
        // The wait for the response headers has a timeout of its own (90 s by default).
        DWORD responseMs = static_cast<DWORD>(readMs);
        ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs, sizeof responseMs);
        if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !::WinHttpReceiveResponse(request.get(), nullptr))
            return lastError();

        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
            return lastError();
        if (IsRedirect(status)) {
            const std::wstring location = Header(request.get(), WINHTTP_QUERY_LOCATION);
            if (location.empty())
                return fail(Failed(ListProblem::HttpStatus, static_cast<long>(status)));
            if (hop == kMaxRedirects)
                return fail(Failed(ListProblem::Redirect, 0, "转向超过 " + std::to_string(kMaxRedirects) + " 次"));
            const std::optional<std::u16string> next = RedirectTarget(url, Utf16(location));
            if (!next)
                return fail(Failed(ListProblem::Redirect));
            url = *next;
            continue;
        }
        if (status != 200)
            return fail(Failed(ListProblem::HttpStatus, static_cast<long>(status)));

        ListBody body;
        const std::optional<std::uint64_t> announced = ContentLength(request.get());
        if (!body.Expect(announced))
            return fail(Failed(ListProblem::TooLarge));
        std::vector<char> buffer(1024 * 1024);
        for (;;) {
            if (cancelled && cancelled->load())
                return fail(Failed(ListProblem::Network, static_cast<long>(ERROR_CANCELLED), host));
            if (Clock::now() > deadline)
                return fail(Failed(ListProblem::Timeout, 0, host));
            DWORD read = 0;
            if (!::WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read))
                return lastError();
            if (read == 0)
                break;
            if (!body.Append(std::string_view(buffer.data(), read)))
                return fail(Failed(ListProblem::TooLarge));
            if (progress)
                progress(body.Received(), announced);
        }
        if (announced && body.Received() != *announced)
            return fail(Failed(ListProblem::Incomplete, 0, SizeText(body.Received()) + " / " + SizeText(*announced)));
        download.body = body.Bytes();
        return download;
    }
}

} // namespace

Download DownloadList(const std::u16string& url, const DownloadProgress& progress, const std::atomic<bool>* cancelled)
{
    const CheckedAddress checked = CheckWebAddress(url);
    if (!checked.Allowed())
        return {{}, Failed(ListProblem::BadAddress, 0, RefusalText(checked))};
    Download download;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        download = Attempt(checked.address, progress, cancelled);
        if (download.failure.problem == ListProblem::None || !WorthRetrying(download.failure) ||
            (cancelled && cancelled->load()))
            break;
    }
    return download;
}

} // namespace tarnwick::player
