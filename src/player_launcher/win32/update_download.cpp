#include "update_download.h"

#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "http_request.h"
#include "player_launcher/core/web_address.h"
#include "wide.h"

#include <vector>

namespace tarnwick::player {
TransferResult WinInetTransport::Get(const std::string& url, const std::optional<RangeRequest>& range,
                                     const std::function<std::string(const HttpHead&)>& head,
                                     const std::function<std::string(std::string_view)>& body,
                                     const std::atomic<bool>* cancelled)
{
    const Subject subject = UpdateFileSubject(url);
    const CheckedAddress checked = CheckWebAddress(ShownUtf16(url));
    if (!checked.Allowed())
        return {FailureText({DownloadProblem::BadAddress, 0, RefusalText(checked)}, subject), false};
    std::wstring headers;
    if (range) {
        headers = L"Range: " + Wide(ShownUtf16(range->HeaderValue())) + L"\r\n";
        if (!range->condition.empty())
            headers += L"If-Range: " + Wide(ShownUtf16(range->condition)) + L"\r\n";
    }
    HttpAnswer answer = SendGet(checked.address, headers);
    if (answer.failure.problem != DownloadProblem::None)
        return {FailureText(answer.failure, subject), WorthRetrying(answer.failure)};
    HINTERNET request = answer.request.get();

    HttpHead answered;
    answered.status = static_cast<int>(answer.status);
    answered.validators.etag = ShownUtf8(Utf16(Header(request, HTTP_QUERY_ETAG)));
    answered.validators.lastModified = ShownUtf8(Utf16(Header(request, HTTP_QUERY_LAST_MODIFIED)));
    answered.validators.length = ContentLength(request);
    answered.range = ParseContentRange(ShownUtf8(Utf16(Header(request, HTTP_QUERY_CONTENT_RANGE))));
    answered.contentType = ShownUtf8(Utf16(Header(request, HTTP_QUERY_CONTENT_TYPE)));
    if (std::string refused = head(answered); !refused.empty())
        return {std::move(refused), answered.status >= 500};

    std::vector<char> buffer(1024 * 1024);
    for (;;) {
        if (cancelled && cancelled->load())
            return {kCancelled, false};
        DWORD read = 0;
        if (std::optional<DownloadFailure> failed = ReadSome(answer, buffer, read))
            return {FailureText(*failed, subject), true};
        if (read == 0)
            return {};
        if (std::string stopped = body(std::string_view(buffer.data(), read)); !stopped.empty())
            return {std::move(stopped), false};
    }
}

} // namespace tarnwick::player
