#include "config/text.h"

#include "config/error.h"

#include <cerrno>
#include <iconv.h>
#include <memory>

namespace tarnwick {
namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// Converts a whole buffer. With lossy set (UTF-8 input only), a character the
// target cannot hold becomes '?' instead of an error.
std::string Convert(const char* to, const char* from, std::string_view input, bool lossy)
{
    iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1))
        throw Error(std::string("Text conversion from ") + from + " to " + to + " is not available");
    std::unique_ptr<void, IconvCloser> cd(raw);

    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t outUsed = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + outUsed;
        std::size_t outLeft = out.size() - outUsed;
        std::size_t rc = iconv(raw, &in, &inLeft, &outPtr, &outLeft);
        outUsed = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (!lossy) {
            if (errno == EILSEQ || errno == EINVAL)
                throw Error(std::string("The text holds a character that ") + to +
                            " cannot represent, or a byte sequence that is not valid " + from);
            throw Error(std::string("Text conversion failed: ") + SystemErrorText(errno));
        }
        // Skip the offending UTF-8 sequence and put one question mark in its place.
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
        if (out.size() - outUsed < 4)
            out.resize(out.size() * 2);
        out[outUsed++] = '?';
    }
    out.resize(outUsed);
    return out;
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) { return Convert("UTF-8", "GBK", gbk, false); }

std::string Utf8ToGbk(std::string_view utf8) { return Convert("GBK", "UTF-8", utf8, false); }

std::u16string GbkToUtf16(std::string_view gbk)
{
    std::string bytes = Convert("UTF-16LE", "GBK", gbk, false);
    std::u16string result(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return result;
}

std::string Utf16ToGbk(std::u16string_view utf16)
{
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t c : utf16) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return Convert("GBK", "UTF-16LE", bytes, false);
}

namespace {

template <class Conversion>
bool Converts(Conversion convert, std::string_view text)
{
    try {
        convert(text);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace

bool IsGbkRepresentable(std::string_view utf8) { return Converts(Utf8ToGbk, utf8); }

bool IsGbkText(std::string_view gbk) { return Converts(GbkToUtf8, gbk); }

std::string PathText(const std::filesystem::path& path)
{
    // Only for messages: a converter that cannot be had (no descriptors left) must
    // not hide the error being reported, so fall back to the raw bytes.
    try {
        return Convert("GBK", "UTF-8", path.string(), true);
    } catch (const Error&) {
        return path.string();
    }
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

std::string_view CutBytes(std::string_view text, std::size_t maxBytes)
{
    return text.substr(0, std::min(text.size(), maxBytes));
}

std::string_view CutGbk(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    // Walk characters from the start: a byte of 0x81..0xFE leads a two-byte character.
    std::size_t i = 0;
    while (i < maxBytes) {
        auto b = static_cast<unsigned char>(text[i]);
        std::size_t width = (b >= 0x81 && b <= 0xFE) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return text.substr(0, i);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace tarnwick
