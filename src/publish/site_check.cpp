#include "publish/site_check.h"

#include "base/translatable.h"
#include "digest/md5.h"
#include "publish/curl_handle.h"
#include "publish/shown_text.h"

namespace tarnwick::publish {
namespace {

// The list is small; an update file is hashed as it arrives.
constexpr std::size_t kMaxComparedBytes = 256u * 1024 * 1024;

struct Received {
    MD5Context md5;
    std::string bytes;
    bool keep = false;
    bool tooLarge = false;
    std::uint64_t length = 0;

    static size_t Write(char* data, size_t size, size_t count, void* self)
    {
        Received& received = *static_cast<Received*>(self);
        const size_t length = size * count;
        received.length += length;
        if (received.keep) {
            if (received.bytes.size() + length > kMaxComparedBytes) {
                received.tooLarge = true;
                return 0;
            }
            received.bytes.append(data, length);
        } else {
            MD5Update(received.md5, data, static_cast<std::uint32_t>(length));
        }
        return length;
    }
};

class FetchChecker {
public:
    explicit FetchChecker(const SiteCheckOptions& options) : options_(options) {}

    FetchCheck Check(const PlayerFetch& fetch, const std::optional<std::string>& expected, std::size_t number,
                     std::size_t count)
    {
        number_ = number;
        count_ = count;
        FetchCheck check;
        check.fetch = &fetch;
        if (expected)
            return Compare(fetch, *expected, check);
        // An index is small and is of use to a launcher only when it is exact:
        // always read whole.
        if ((options_.deep || fetch.role == FileRole::Index) && fetch.md5)
            return Hash(fetch, check);
        return Head(fetch, check);
    }

private:
    std::pair<CURLcode, long> Get(const std::string& url, bool headOnly, Received* received)
    {
        curl_.Reset(options_.trust);
        CURL* curl = curl_.get();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        // What players get now, not a cache's copy from before the publish.
        headers_ = MakeCurlList({"Cache-Control: no-cache", "Pragma: no-cache"});
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers_.get());
        if (headOnly)
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        // A fetch that stalls is cancelled at once, not when it times out.
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &FetchChecker::OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
        if (received) {
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Received::Write);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, received);
        }
        const CURLcode code = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        return {code, status};
    }

    bool Failed(CURLcode code, long status, FetchCheck& check)
    {
        if (code == CURLE_OK)
            return false;
        check.ok = false;
        check.detail = CurlFailure(code, status, curl_, "").Text();
        if (code == CURLE_HTTP_RETURNED_ERROR)
            check.detail = Message(QT_TRANSLATE_NOOP("Tarnwick", "HTTP %1")).Arg(std::to_string(status));
        return true;
    }

    FetchCheck Compare(const PlayerFetch& fetch, const std::string& expected, FetchCheck& check)
    {
        check.kind = FetchCheckKind::Bytes;
        Received received;
        received.keep = true;
        const auto [code, status] = Get(fetch.url, false, &received);
        if (received.tooLarge) {
            check.detail = Message(QT_TRANSLATE_NOOP("Tarnwick", "超过 %1 字节")).Arg(std::to_string(kMaxComparedBytes));
            return check;
        }
        if (Failed(code, status, check))
            return check;
        check.ok = received.bytes == expected;
        check.detail = check.ok ? Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 字节，相同")).Arg(std::to_string(expected.size()))
                                : Message(QT_TRANSLATE_NOOP("Tarnwick", "不同：收到 %1 字节，应为 %2 字节"))
                                      .Arg(std::to_string(received.bytes.size()))
                                      .Arg(std::to_string(expected.size()));
        return check;
    }

    FetchCheck Hash(const PlayerFetch& fetch, FetchCheck& check)
    {
        check.kind = FetchCheckKind::Digest;
        Received received;
        MD5Init(received.md5);
        const auto [code, status] = Get(fetch.url, false, &received);
        if (Failed(code, status, check))
            return check;
        Digest digest;
        MD5Final(received.md5, digest);
        const std::string md5 = DigestToHex(digest);
        check.ok = md5 == *fetch.md5;
        check.detail = check.ok ? Message(QT_TRANSLATE_NOOP("Tarnwick", "MD5 %1")).Arg(md5)
                                : Message(QT_TRANSLATE_NOOP("Tarnwick", "MD5 是 %1，应为 %2")).Arg(md5).Arg(*fetch.md5);
        return check;
    }

    FetchCheck Head(const PlayerFetch& fetch, FetchCheck& check)
    {
        check.kind = fetch.size ? FetchCheckKind::Length : FetchCheckKind::Present;
        const auto [code, status] = Get(fetch.url, true, nullptr);
        if (Failed(code, status, check))
            return check;
        curl_off_t length = -1;
        curl_easy_getinfo(curl_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (!fetch.size) {
            check.ok = true;
            check.detail = length >= 0 ? Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 字节")).Arg(std::to_string(length))
                                       : Message(QT_TRANSLATE_NOOP("Tarnwick", "存在"));
            return check;
        }
        check.ok = length >= 0 && static_cast<std::uint64_t>(length) == *fetch.size;
        check.detail = check.ok ? Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 字节")).Arg(std::to_string(length))
                       : length < 0
                           ? Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器没有给出长度"))
                           : Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 字节，应为 %2 字节"))
                                 .Arg(std::to_string(length))
                                 .Arg(std::to_string(*fetch.size));
        return check;
    }

    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        const FetchChecker& checker = *static_cast<FetchChecker*>(self);
        return checker.options_.progress && !checker.options_.progress(checker.number_, checker.count_) ? 1 : 0;
    }

    const SiteCheckOptions& options_;
    std::size_t number_ = 0;
    std::size_t count_ = 0;
    CurlHandle curl_;
    CurlList headers_;
};

} // namespace

std::vector<FetchCheck> CheckFetches(const std::vector<const PlayerFetch*>& fetches,
                                     const std::function<std::optional<std::string>(const PlayerFetch&)>& expectedBytes,
                                     const SiteCheckOptions& options)
{
    FetchChecker checker(options);
    std::vector<FetchCheck> checks;
    for (std::size_t i = 0; i < fetches.size(); ++i) {
        if (options.progress && !options.progress(i + 1, fetches.size()))
            break;
        FetchCheck check =
            checker.Check(*fetches[i], expectedBytes ? expectedBytes(*fetches[i]) : std::nullopt, i + 1, fetches.size());
        // A check cut short by a cancel says nothing of the file.
        if (options.progress && !options.progress(i + 1, fetches.size()))
            break;
        checks.push_back(std::move(check));
    }
    return checks;
}

const char* CheckKindName(FetchCheckKind kind)
{
    switch (kind) {
    case FetchCheckKind::Bytes: return QT_TRANSLATE_NOOP("Tarnwick", "逐字节");
    case FetchCheckKind::Length: return QT_TRANSLATE_NOOP("Tarnwick", "长度");
    case FetchCheckKind::Digest: return QT_TRANSLATE_NOOP("Tarnwick", "MD5");
    case FetchCheckKind::Present: return QT_TRANSLATE_NOOP("Tarnwick", "存在");
    }
    return "";
}

} // namespace tarnwick::publish
