#include "player_launcher/core/texts.h"

#include "base/text.h"

#include <filesystem>

namespace tarnwick::player {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character starting at `at` and its length; none (length 0) when the
// bytes there start no well-formed sequence (overlong, a surrogate, past U+10FFFF).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size())
        return {0, 0};
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return {0, 0};
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {0, 0};
    return {c, length};
}

} // namespace

// The standard library's path converts between its character types on every
// system; the launcher needs no more than that.
std::string Utf8Of(std::u16string_view utf16)
{
    const std::u8string utf8 = std::filesystem::path(utf16).u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::u16string Utf16Of(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).u16string();
}

std::string ShownUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : char32_t(unit));
        }
    }
    return out;
}

std::u16string ShownUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, length] = DecodeUtf8(utf8, i);
        if (length == 0) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return out;
}

std::string ShownUtf8OfGbk(std::string_view gbk)
{
    if (auto whole = TryGbkToUtf8(gbk))
        return *whole;
    // Character by character: a pair that converts is shown, a byte that
    // starts none is replaced and the next is tried on its own.
    std::string out;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte < 0x80) {
            out += gbk[i++];
            continue;
        }
        if (IsGbkLead(byte) && i + 1 < gbk.size()) {
            if (auto pair = TryGbkToUtf8(gbk.substr(i, 2))) {
                out += *pair;
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, kReplacement);
        ++i;
    }
    return out;
}

std::string ShownPath(const std::filesystem::path& path)
{
    const auto& native = path.native();
#ifdef _WIN32
    return ShownUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
#else
    return ShownUtf8(ShownUtf16(native));
#endif
}

} // namespace tarnwick::player
