#include "config/field_encoder.h"

#include "base/error.h"
#include "base/translatable.h"

#include "key_material.h"

#include <zlib.h>

#include <cstdio>

namespace tarnwick {
namespace {

Error ZlibFailure(int status)
{
    return Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "zlib 错误 %1：%2")).Arg(std::to_string(status)).Arg(zError(status)));
}

std::string WithThousands(std::size_t n)
{
    // Built front to back: GCC 12 warns falsely on inserting into the digits.
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// Characters that `bytes` compressed bytes pack into.
std::size_t PackedLength(std::size_t bytes) { return (bytes * 4 + 2) / 3; }

} // namespace

const KeyMaterial& BuiltInKey()
{
    static const KeyMaterial key = [] {
        KeyMaterial k;
        for (std::size_t i = 0; i < k.SubstTable.size(); ++i)
            k.SubstTable[i] = generated::kSubstTable[i];
        k.KeyByte1 = generated::kKeyByte1;
        k.KeyByte2 = generated::kKeyByte2;
        k.KeyWord = generated::kKeyWord;
        return k;
    }();
    return key;
}

std::string PackSixBits(std::string_view bytes)
{
    std::string text;
    text.reserve(PackedLength(bytes.size()));
    std::uint32_t bits = 0;
    int pending = 0;
    for (char c : bytes) {
        bits = (bits << 8) | static_cast<std::uint8_t>(c);
        pending += 8;
        while (pending >= 6) {
            pending -= 6;
            text.push_back(static_cast<char>(60 + ((bits >> pending) & 0x3F)));
        }
    }
    if (pending > 0)
        text.push_back(static_cast<char>(60 + ((bits << (6 - pending)) & 0x3F)));
    return text;
}

// One deflate stream at level 9, window 15, memory level 8, reused per value.
struct FieldEncoder::Deflater {
    z_stream stream{};
    bool ready = false;

    ~Deflater()
    {
        if (ready)
            deflateEnd(&stream);
    }

    std::string Compress(std::string_view value)
    {
        int status = ready ? deflateReset(&stream)
                           : deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
        if (status != Z_OK)
            throw ZlibFailure(status);
        ready = true;

        // deflateBound is enough for one Z_FINISH call; the loop only guards against surprises.
        std::string out(deflateBound(&stream, static_cast<uLong>(value.size())), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(value.data()));
        stream.avail_in = static_cast<uInt>(value.size());
        std::size_t used = 0;
        for (;;) {
            stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            stream.avail_out = static_cast<uInt>(out.size() - used);
            status = deflate(&stream, Z_FINISH);
            used = out.size() - stream.avail_out;
            if (status == Z_STREAM_END)
                break;
            if (status != Z_OK && status != Z_BUF_ERROR)
                throw ZlibFailure(status);
            out.resize(out.size() + 256);
        }
        out.resize(used);
        return out;
    }
};

FieldEncoder::FieldEncoder(const KeyMaterial& key, TraceSink trace)
    : deflater_(std::make_unique<Deflater>()), trace_(std::move(trace))
{
    // Rotation, substitution and mixing fold into one table.
    const std::uint8_t mix = key.MixByte();
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned rotated = ((b << 3) | (b >> 5)) & 0xFF;
        substitute_[b] = static_cast<std::uint8_t>(key.SubstTable[rotated] ^ mix);
    }
}

FieldEncoder::~FieldEncoder() = default;

std::string FieldEncoder::EncodeValue(std::string_view value)
{
    if (value.empty())
        return {};
    if (value.size() > kMaxValueBytes)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "值有 %1 字节；一个值最多可有 %2 字节。"))
                        .Arg(WithThousands(value.size()))
                        .Arg(WithThousands(kMaxValueBytes)));

    std::string stream = deflater_->Compress(value);
    const std::size_t textLength = PackedLength(stream.size());
    if (textLength > kMaxTextChars)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "编码后的值将有 %1 个字符；编码后的值最多可有 %2 个字符。"))
                        .Arg(WithThousands(textLength))
                        .Arg(WithThousands(kMaxTextChars)));

    // The header's CMF byte carries the stream length instead (the reader expects it there).
    stream[0] = static_cast<char>(stream.size() & 0xFF);

    if (trace_) {
        std::uint32_t head = 0;
        for (int i = 3; i >= 0; --i)
            head = (head << 8) | static_cast<std::uint8_t>(stream[static_cast<std::size_t>(i)]);
        char line[16];
        std::snprintf(line, sizeof line, "0x%08X", static_cast<unsigned>(head));
        trace_(line);
    }

    for (char& c : stream)
        c = static_cast<char>(substitute_[static_cast<std::uint8_t>(c)]);
    return PackSixBits(stream);
}

} // namespace tarnwick
