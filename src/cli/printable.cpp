#include "cli/printable.h"

#include "base/text.h"

namespace tarnwick::cli {
namespace {

void AppendHex(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
}

// UTF-8 text with the ASCII controls escaped; the bytes of other characters
// are never below 0x80 in UTF-8, so a byte-wise look is enough.
std::string EscapeControls(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
            continue;
        if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F)
            AppendHex(out, b);
        else
            out += static_cast<char>(b);
    }
    return out;
}

} // namespace

std::string Printable(std::string_view gbk)
{
    if (auto utf8 = TryGbkToUtf8(gbk))
        return EscapeControls(*utf8);
    // Not GBK throughout: each character that converts is shown, each byte
    // that does not is escaped.
    std::string converted;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            converted += static_cast<char>(b);
            ++i;
        } else if (auto pair = IsGbkLead(b) && i + 1 < gbk.size() ? TryGbkToUtf8(gbk.substr(i, 2)) : std::nullopt) {
            converted += *pair;
            i += 2;
        } else {
            AppendHex(converted, b);
            ++i;
        }
    }
    return EscapeControls(converted);
}

std::string Printable(std::u16string_view text)
{
    std::string out;
    for (const char16_t& c : text) {
        const auto gbk = TryUtf16ToGbk(std::u16string_view(&c, 1));
        out += gbk ? Printable(*gbk) : "?";
    }
    return out;
}

} // namespace tarnwick::cli
