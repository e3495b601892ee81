#include "base/text.h"

#include <algorithm>
#include <charconv>

namespace tarnwick {

std::filesystem::path Utf8Path(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool IsGbkRepresentable(std::string_view utf8) { return TryUtf8ToGbk(utf8).has_value(); }

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::size_t WholeUtf8Prefix(std::string_view bytes)
{
    // A sequence is at most 4 bytes: look back that far for its lead byte.
    for (std::size_t back = 1; back <= std::min<std::size_t>(4, bytes.size()); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

std::string_view Trimmed(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> WholeNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string_view CutBytes(std::string_view text, std::size_t maxBytes)
{
    return text.substr(0, std::min(text.size(), maxBytes));
}

std::string_view CutGbk(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        const std::size_t width = IsGbkLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return text.substr(0, i);
}

std::string_view FirstGbkChars(std::string_view text, std::size_t maxChars)
{
    std::size_t bytes = 0;
    for (std::size_t chars = 0; chars < maxChars && bytes < text.size(); ++chars)
        bytes += (IsGbkLead(static_cast<unsigned char>(text[bytes])) && bytes + 1 < text.size()) ? 2 : 1;
    return text.substr(0, bytes);
}

namespace {

template <class Char>
bool EqualFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](Char x, Char y) { return AsciiLower(x) == AsciiLower(y); });
}

} // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) { return EqualFolded(a, b); }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) { return EqualFolded(a, b); }

} // namespace tarnwick
