#include "update_download.h"

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
    const CheckedAddress checked = CheckWebAddress(Utf16Of(url));
    if (!checked.Allowed())
        return {RefusalText(checked), false};
    std::wstring headers;
    if (range)
        headers = L"Range: bytes=" + std::to_wstring(range->from) + L"-\r\nIf-Range: " + Wide(Utf16Of(range->condition)) +
                  L"\r\n";
    HttpAnswer answer = SendGet(checked.address, headers);
    if (answer.failure.problem != ListProblem::None)
        return {FailureText(answer.failure), WorthRetrying(answer.failure)};
    HINTERNET request = answer.request.get();

    HttpHead answered;
    answered.status = static_cast<int>(answer.status);
    answered.validators.etag = Utf8Of(Utf16(Header(request, HTTP_QUERY_ETAG)));
    answered.validators.lastModified = Utf8Of(Utf16(Header(request, HTTP_QUERY_LAST_MODIFIED)));
    answered.validators.length = ContentLength(request);
    answered.range = ParseContentRange(Utf8Of(Utf16(Header(request, HTTP_QUERY_CONTENT_RANGE))));
    if (std::string refused = head(answered); !refused.empty())
        return {std::move(refused), answered.status >= 500};

    std::vector<char> buffer(1024 * 1024);
    for (;;) {
        if (cancelled && cancelled->load())
            return {"已取消", false};
        DWORD read = 0;
        if (std::optional<ListFailure> failed = ReadSome(answer, buffer, read))
            return {FailureText(*failed), true};
        if (read == 0)
            return {};
        if (std::string stopped = body(std::string_view(buffer.data(), read)); !stopped.empty())
            return {std::move(stopped), false};
    }
}

} // namespace tarnwick::player
