#include "publish/site_address.h"

#include "base/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace tarnwick::publish {
namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> Part(CURLU* url, CURLUPart part, unsigned flags)
{
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK || !raw)
        return std::nullopt;
    std::unique_ptr<char, TextDeleter> text(raw);
    return std::string(raw);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

bool IsPlainSegment(std::string_view segment)
{
    if (segment.empty() || segment == "." || segment == "..")
        return false;
    return std::none_of(segment.begin(), segment.end(), [](unsigned char c) {
        return c < 0x20 || c == 0x7f || c == '\\' || c == ':';
    });
}

} // namespace

std::optional<WebAddress> ParseAddress(std::string_view text)
{
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url)
        return std::nullopt;
    const std::string copy(text);
    if (copy.find('\0') != std::string::npos ||
        curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    WebAddress address;
    address.scheme = Lower(Part(url.get(), CURLUPART_SCHEME, 0).value_or(""));
    address.host = Lower(Part(url.get(), CURLUPART_HOST, 0).value_or(""));
    if (address.scheme.empty() || address.host.empty())
        return std::nullopt;
    address.user = Part(url.get(), CURLUPART_USER, CURLU_URLDECODE).value_or("");
    address.hasPassword = Part(url.get(), CURLUPART_PASSWORD, 0).has_value();
    const std::optional<std::string> port = Part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    address.port = port ? std::atoi(port->c_str()) : 0;
    address.path = Part(url.get(), CURLUPART_PATH, CURLU_URLDECODE).value_or("/");
    if (address.path.empty() || address.path.front() != '/')
        address.path.insert(0, "/");
    address.hasQuery = Part(url.get(), CURLUPART_QUERY, 0).has_value();
    return address;
}

std::optional<ListLocation> LocateList(std::string_view listUrl)
{
    std::optional<WebAddress> address = ParseAddress(listUrl);
    if (!address || (address->scheme != "http" && address->scheme != "https") || address->hasQuery)
        return std::nullopt;
    const std::size_t slash = address->path.rfind('/');
    ListLocation location{*address, address->path.substr(slash + 1)};
    if (!IsPlainSegment(location.fileName))
        return std::nullopt;
    location.folder.path.resize(slash + 1);
    location.folder.user.clear();
    location.folder.hasPassword = false;
    return location;
}

bool IsPlainRelativePath(std::string_view path)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        if (!IsPlainSegment(path.substr(start, slash == std::string_view::npos ? slash : slash - start)))
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

std::optional<std::string> SitePath(const ListLocation& list, std::string_view url)
{
    const std::optional<WebAddress> address = ParseAddress(url);
    if (!address || address->hasQuery || address->scheme != list.folder.scheme || address->host != list.folder.host ||
        address->port != list.folder.port)
        return std::nullopt;
    if (address->path.size() <= list.folder.path.size() || address->path.compare(0, list.folder.path.size(), list.folder.path) != 0)
        return std::nullopt;
    std::string relative = address->path.substr(list.folder.path.size());
    if (!IsPlainRelativePath(relative))
        return std::nullopt;
    return relative;
}

std::filesystem::path PathBelow(const std::filesystem::path& folder, std::string_view relativePath)
{
    std::filesystem::path path = folder;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relativePath.find('/', start);
        path /= Utf8Path(relativePath.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos)
            return path;
        start = slash + 1;
    }
}

std::string AddressBelow(const WebAddress& folder, std::string_view relativePath)
{
    std::string path = folder.path;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += relativePath;
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    const std::string base = ServerName(folder) + "/";
    curl_url_set(url.get(), CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME);
    curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), CURLU_URLENCODE);
    return Part(url.get(), CURLUPART_URL, 0).value_or(base);
}

std::string ServerName(const WebAddress& address)
{
    // libcurl gives an IPv6 host in its brackets.
    return address.scheme + "://" + address.host + ":" + std::to_string(address.port);
}

} // namespace tarnwick::publish
