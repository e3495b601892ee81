#include "publish/curl_handle.h"

#include "base/translatable.h"
#include "publish/shown_text.h"

#include <mutex>

namespace tarnwick::publish {
namespace {

void InitializeOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CurlHandle::CurlHandle()
{
    InitializeOnce();
    handle_ = curl_easy_init();
    if (!handle_)
        throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "无法初始化网络传输")), TransferFailure::Connection);
}

CurlHandle::~CurlHandle() { curl_easy_cleanup(handle_); }

void CurlHandle::Reset(const TrustSettings& trust)
{
    curl_easy_reset(handle_);
    error_[0] = '\0';
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, 20L);
    // A stalled server fails the request after a minute instead of hanging.
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
    curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    if (trust.caFile) {
        const std::u8string file = trust.caFile->u8string();
        curl_easy_setopt(handle_, CURLOPT_CAINFO, reinterpret_cast<const char*>(file.c_str()));
    }
}

TransferError CurlFailure(CURLcode code, long status, const CurlHandle& handle, const std::string& what)
{
    const std::string reason = Shown(handle.ErrorText()[0] ? handle.ErrorText() : curl_easy_strerror(code), 200);
    TransferFailure failure = TransferFailure::Refused;
    switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
        return TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消")), TransferFailure::Cancelled);
    case CURLE_LOGIN_DENIED:
        return TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器拒绝了用户名或密码（%1）")).Arg(reason),
                             TransferFailure::Authentication);
    case CURLE_REMOTE_FILE_NOT_FOUND: failure = TransferFailure::NotFound; break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT: failure = TransferFailure::Connection; break;
    case CURLE_WEIRD_SERVER_REPLY: failure = TransferFailure::Damaged; break;
    default: break;
    }
    if (code == CURLE_OK || code == CURLE_HTTP_RETURNED_ERROR) {
        if (status == 401)
            return TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器拒绝了用户名或密码（HTTP 401）")),
                                 TransferFailure::Authentication);
        failure = status == 404 || status == 410 ? TransferFailure::NotFound : TransferFailure::Refused;
        return TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1：服务器回答 HTTP %2")).Arg(Shown(what)).Arg(std::to_string(status)),
                             failure);
    }
    if (what.empty())
        return TransferError(Message::Untranslated(reason), failure);
    return TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1：%2")).Arg(Shown(what)).Arg(reason), failure);
}

CurlList MakeCurlList(std::initializer_list<std::string> items)
{
    CurlList list;
    for (const std::string& item : items) {
        curl_slist* grown = curl_slist_append(list.get(), item.c_str());
        if (!grown)
            throw std::bad_alloc();
        list.release();
        list.reset(grown);
    }
    return list;
}

} // namespace tarnwick::publish
