// EncodeValue of arbitrary bytes: the decoder must give the bytes
// back, the text must keep to its alphabet and length, and a refusal must be
// one that the format's limits call for.
#include "fuzz_support.h"

#include "base/error.h"
#include "config/field_encoder.h"
#include "config/field_decoder.h"

#include <zlib.h>

#include <cstdint>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

// The length of the value's zlib stream at level 9, from a fresh stream.
std::size_t CompressedLength(std::string_view value)
{
    uLongf size = compressBound(static_cast<uLong>(value.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(value.data()),
                  static_cast<uLong>(value.size()), 9) != Z_OK)
        Broken("zlib could not compress the value");
    return size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One encoder for the whole run, as the writer keeps one per document: it
    // reuses its deflate stream, which must not carry anything between values.
    static FieldEncoder encoder;
    const std::string_view value(reinterpret_cast<const char*>(data), size);

    std::string text;
    try {
        text = encoder.EncodeValue(value);
    } catch (const Error& e) {
        const bool tooLong = size > FieldEncoder::kMaxValueBytes;
        const bool textTooLong = !tooLong && (CompressedLength(value) * 4 + 2) / 3 > FieldEncoder::kMaxTextChars;
        if (!tooLong && !textTooLong)
            Broken("a value within the limits was refused", e.what());
        return 0;
    }
    if (size > FieldEncoder::kMaxValueBytes)
        Broken("a value over the limit was encoded");
    if (text.size() > FieldEncoder::kMaxTextChars)
        Broken("the text is over its limit");
    for (char c : text)
        if (c < '<' || c > '{')
            Broken("a character outside '<'..'{'", text);
    if (size > 0 && text.size() != (CompressedLength(value) * 4 + 2) / 3)
        Broken("the text is not ceil(4C/3) characters long", text);

    static FieldDecoder decoder;
    std::string back;
    const ValueDefect defect = decoder.DecodeValue(text, back);
    if (defect != ValueDefect::None)
        Broken("the text does not decode", std::string(DefectText(defect)));
    if (back != value)
        Broken("the text decodes to other bytes", text);
    return 0;
}
