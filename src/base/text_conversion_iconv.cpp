// The text conversions through iconv. Each thread opens a converter per
// direction once, on first use, and keeps it: opening one costs far more than
// converting a short value, and values are converted one by one.
#include "base/error.h"
#include "base/text.h"

#include <cerrno>
#include <iconv.h>

namespace tarnwick {
namespace {

enum class Direction { GbkToUtf8, Utf8ToGbk, GbkToUtf16, Utf16ToGbk };

class Converter {
public:
    Converter(const char* to, const char* from) : to_(to), from_(from) {}
    ~Converter()
    {
        if (open_)
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Appends the converted input to out. False when the input holds a
    // sequence that is invalid or that the target cannot hold; with lossy set
    // (UTF-8 input only) such a sequence becomes '?' instead. Raises Error when
    // no converter can be had or iconv fails for another reason.
    bool Run(std::string_view input, std::string& out, bool lossy)
    {
        return Feed(input, lossy, [&](std::string_view piece) { out += piece; });
    }

    // Whether the input converts, its output thrown away.
    bool Converts(std::string_view input)
    {
        return Feed(input, false, [](std::string_view) {});
    }

    const char* To() const { return to_; }
    const char* From() const { return from_; }

private:
    // Converts the input, handing the output to take in pieces.
    template <class Take>
    bool Feed(std::string_view input, bool lossy, Take take)
    {
        Open();
        // Back to the initial state after a run that stopped part way. The
        // encodings here keep no state between characters, so a run that went
        // to the end leaves it as it was; resetting costs more than converting
        // a short value, and the document writer checks every value.
        if (interrupted_)
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        interrupted_ = true;
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[16384];
        bool whole = true;
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            take(std::string_view(buffer, static_cast<std::size_t>(outPtr - buffer)));
            if (rc != static_cast<std::size_t>(-1) || error == E2BIG)
                continue;
            if (error != EILSEQ && error != EINVAL)
                throw Error(std::string("Text conversion failed: ") + SystemErrorText(error));
            if (!lossy)
                return false;
            // Skip the offending UTF-8 sequence and put one question mark in its place.
            do {
                ++in;
                --inLeft;
            } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
            take("?");
            whole = false;
        }
        interrupted_ = !whole;
        return true;
    }

    // Retried on every use until it succeeds: running out of descriptors once
    // must not leave a thread without conversions for good.
    void Open()
    {
        if (open_)
            return;
        cd_ = iconv_open(to_, from_);
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw Error(std::string("Text conversion from ") + from_ + " to " + to_ + " is not available");
        open_ = true;
    }

    const char* to_;
    const char* from_;
    iconv_t cd_{};
    bool open_ = false;
    bool interrupted_ = false;
};

Converter& ConverterFor(Direction direction)
{
    thread_local Converter gbkToUtf8("UTF-8", "GBK");
    thread_local Converter utf8ToGbk("GBK", "UTF-8");
    thread_local Converter gbkToUtf16("UTF-16LE", "GBK");
    thread_local Converter utf16ToGbk("GBK", "UTF-16LE");
    switch (direction) {
    case Direction::GbkToUtf8: return gbkToUtf8;
    case Direction::Utf8ToGbk: return utf8ToGbk;
    case Direction::GbkToUtf16: return gbkToUtf16;
    case Direction::Utf16ToGbk: break;
    }
    return utf16ToGbk;
}

std::optional<std::string> TryConvert(Direction direction, std::string_view input)
{
    std::string out;
    // Enough for GBK to UTF-8 unless the text is mostly single-byte euro
    // signs; pages that are reserved but not written cost no memory.
    out.reserve(input.size() + input.size() / 2 + 16);
    if (!ConverterFor(direction).Run(input, out, false))
        return std::nullopt;
    return out;
}

std::string Convert(Direction direction, std::string_view input)
{
    auto out = TryConvert(direction, input);
    if (!out) {
        const Converter& c = ConverterFor(direction);
        throw Error(std::string("The text holds a character that ") + c.To() +
                    " cannot represent, or a byte sequence that is not valid " + c.From());
    }
    return std::move(*out);
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) { return Convert(Direction::GbkToUtf8, gbk); }

std::string Utf8ToGbk(std::string_view utf8) { return Convert(Direction::Utf8ToGbk, utf8); }

std::optional<std::string> TryGbkToUtf8(std::string_view gbk) { return TryConvert(Direction::GbkToUtf8, gbk); }

std::optional<std::string> TryUtf8ToGbk(std::string_view utf8) { return TryConvert(Direction::Utf8ToGbk, utf8); }

bool IsGbkText(std::string_view gbk) { return ConverterFor(Direction::GbkToUtf8).Converts(gbk); }

std::u16string GbkToUtf16(std::string_view gbk)
{
    const std::string bytes = Convert(Direction::GbkToUtf16, gbk);
    std::u16string result(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return result;
}

namespace {

std::string LittleEndianBytes(std::u16string_view utf16)
{
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t c : utf16) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

} // namespace

std::string Utf16ToGbk(std::u16string_view utf16) { return Convert(Direction::Utf16ToGbk, LittleEndianBytes(utf16)); }

std::optional<std::string> TryUtf16ToGbk(std::u16string_view utf16)
{
    return TryConvert(Direction::Utf16ToGbk, LittleEndianBytes(utf16));
}

std::string PathText(const std::filesystem::path& path)
{
    // Only for messages: a converter that cannot be had (no descriptors left)
    // must not hide the error being reported, so fall back to the raw bytes.
    const std::string raw = path.string();
    try {
        std::string out;
        ConverterFor(Direction::Utf8ToGbk).Run(raw, out, true);
        return out;
    } catch (const Error&) {
        return raw;
    }
}

} // namespace tarnwick
