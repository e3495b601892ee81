#include "http_request.h"

#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "wide.h"

#include <winsock2.h>

#include <charconv>
#include <vector>

namespace tarnwick::player {
namespace {

ListFailure Failed(ListProblem problem, long code = 0, std::string detail = {})
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

} // namespace

ListFailure HttpFailure(DWORD error, const std::string& host)
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

// Follows redirects itself: WinHTTP's own following differs between Windows
// and Wine in what it does with another scheme, and this way every hop
// passes the same check.
HttpAnswer SendGet(std::u16string url, const std::wstring& headers)
{
    HttpAnswer answer;
    const auto fail = [&](ListFailure failure) {
        answer.failure = std::move(failure);
        answer.request.reset();
        return std::move(answer);
    };
    const auto lastError = [&] { return fail(HttpFailure(::GetLastError(), answer.host)); };

    answer.session.reset(::WinHttpOpen(L"Tarnwick-Launcher/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!answer.session)
        return lastError();
    const int connectMs = kConnectSeconds * 1000;
    const int readMs = kReadSeconds * 1000;
    ::WinHttpSetTimeouts(answer.session.get(), connectMs, connectMs, readMs, readMs);

    for (int hop = 0;; ++hop) {
        const std::optional<Target> target = Crack(url);
        if (!target)
            return fail(Failed(ListProblem::BadAddress, 0, "地址的格式不对：" + Utf8Of(url)));
        answer.host = Utf8Of(Utf16(target->host));
        answer.request.reset();
        answer.connection.reset(::WinHttpConnect(answer.session.get(), target->host.c_str(), target->port, 0));
        if (!answer.connection)
            return lastError();
        answer.request.reset(::WinHttpOpenRequest(answer.connection.get(), L"GET", target->path.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  target->https ? WINHTTP_FLAG_SECURE : 0));
        if (!answer.request)
            return lastError();
        HINTERNET request = answer.request.get();
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
        // The wait for the response headers has a timeout of its own (90 s by default).
        DWORD responseMs = static_cast<DWORD>(readMs);
        ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs, sizeof responseMs);
        const wchar_t* extra = headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str();
        if (!::WinHttpSendRequest(request, extra, headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA,
                                  0, 0, 0) ||
            !::WinHttpReceiveResponse(request, nullptr))
            return lastError();

        DWORD statusSize = sizeof answer.status;
        if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &answer.status, &statusSize, WINHTTP_NO_HEADER_INDEX))
            return lastError();
        if (!IsRedirect(answer.status))
            return answer;
        const std::wstring location = Header(request, WINHTTP_QUERY_LOCATION);
        if (location.empty())
            return fail(Failed(ListProblem::HttpStatus, static_cast<long>(answer.status)));
        if (hop == kMaxRedirects)
            return fail(Failed(ListProblem::Redirect, 0, "转向超过 " + std::to_string(kMaxRedirects) + " 次"));
        const std::optional<std::u16string> next = RedirectTarget(url, Utf16(location));
        if (!next)
            return fail(Failed(ListProblem::Redirect));
        url = *next;
    }
}

} // namespace tarnwick::player
