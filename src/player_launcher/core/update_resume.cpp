#include "player_launcher/core/update_resume.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace tarnwick::player {
namespace {

constexpr std::string_view kFormat = "Tarnwick partial download";

bool IsStrong(const std::string& etag) { return !etag.empty() && !etag.starts_with("W/"); }

std::optional<std::uint64_t> Number(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string PartialDownloadText(const PartialDownload& partial)
{
    nlohmann::json document = {{"format", kFormat},
                               {"url", partial.url},
                               {"etag", partial.validators.etag},
                               {"lastModified", partial.validators.lastModified}};
    if (partial.validators.length)
        document["length"] = *partial.validators.length;
    // Header values are bytes; whatever is not UTF-8 is replaced rather than refused.
    return document.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<PartialDownload> ParsePartialDownload(std::string_view text)
{
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || document.value("format", "") != kFormat)
        return std::nullopt;
    for (const char* key : {"url", "etag", "lastModified"})
        if (!document.contains(key) || !document[key].is_string())
            return std::nullopt;
    PartialDownload partial;
    partial.url = document["url"].get<std::string>();
    partial.validators.etag = document["etag"].get<std::string>();
    partial.validators.lastModified = document["lastModified"].get<std::string>();
    if (document.contains("length")) {
        if (!document["length"].is_number_unsigned())
            return std::nullopt;
        partial.validators.length = document["length"].get<std::uint64_t>();
    }
    return partial;
}

std::optional<std::string> ResumeCondition(const PartialDownload& partial, const std::string& url, std::uint64_t have)
{
    const BodyValidators& saved = partial.validators;
    if (partial.url != url || !saved.length || have == 0 || have > *saved.length)
        return std::nullopt;
    if (IsStrong(saved.etag))
        return saved.etag;
    if (!saved.lastModified.empty())
        return saved.lastModified;
    return std::nullopt;
}

std::optional<ContentRange> ParseContentRange(std::string_view header)
{
    constexpr std::string_view kUnit = "bytes ";
    if (!header.starts_with(kUnit))
        return std::nullopt;
    header.remove_prefix(kUnit.size());
    const std::size_t dash = header.find('-');
    const std::size_t slash = header.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = Number(header.substr(0, dash));
    const auto last = Number(header.substr(dash + 1, slash - dash - 1));
    const auto complete = Number(header.substr(slash + 1));
    if (!first || !last || !complete || *first > *last || *last >= *complete)
        return std::nullopt;
    return ContentRange{*first, *last, *complete};
}

RangeAnswer JudgeRangeAnswer(int status, const std::optional<ContentRange>& range, std::uint64_t have,
                             const PartialDownload& partial, const BodyValidators& now)
{
    // With If-Range, a server sends the whole body when the file changed.
    if (status == 200)
        return RangeAnswer::Restart;
    if (status != 206 || !range || !partial.validators.length)
        return RangeAnswer::Refused;
    const BodyValidators& saved = partial.validators;
    const bool sameFile = range->complete == *saved.length &&
                          (IsStrong(saved.etag) ? now.etag == saved.etag : now.lastModified == saved.lastModified);
    if (!sameFile || range->first != have || range->last + 1 != range->complete)
        return RangeAnswer::Refused;
    return RangeAnswer::Continue;
}

} // namespace tarnwick::player
