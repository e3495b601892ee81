#pragma once

#include "config/field_encoder.h"

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

// Why an encoded text gives no value, in the order the checks meet them.
enum class ValueDefect {
    None,
    Alphabet,   // a character outside "<" to "{"
    Length,     // a length that no packed stream has, or over 10,240 characters
    Padding,    // the unused low bits of the last character are not zero
    Short,      // fewer bytes than the smallest compressed stream
    LengthByte, // byte 0 is not the stream's length mod 256
    Header,     // the second header byte is not the one the encoder writes
    Data,       // the compressed data is not deflate data
    Truncated,  // the compressed data ends before its last block
    Trailing,   // bytes between the compressed data and its checksum
    Checksum,   // the Adler-32 checksum does not match the decoded bytes
    TooLong,    // more than 10,240 bytes
    NotText,    // bytes that no configuration value holds (told by the document's reader)
};

// Other key material garbles the header first, so a file whose every value
// fails here was written with other key material rather than damaged.
bool IsHeaderDefect(ValueDefect defect);

// The defect in words, to follow "... is damaged: ".
const char* DefectText(ValueDefect defect);

// Undoes FieldEncoder::EncodeValue and checks every step that can be checked,
// so that damage or other key material is reported rather than read as a
// value. Keeps one inflate stream across calls; one decoder serves one thread.
class FieldDecoder {
public:
    explicit FieldDecoder(const KeyMaterial& key = BuiltInKey());
    ~FieldDecoder();
    FieldDecoder(const FieldDecoder&) = delete;
    FieldDecoder& operator=(const FieldDecoder&) = delete;

    // The value bytes of the text into `value`, whatever bytes they are; the
    // empty text is the empty value.
    ValueDefect DecodeValue(std::string_view text, std::string& value);

    // The compressed stream as the encoder traced it (byte 0 holds the length
    // mod 256): the text unpacked and the substitution undone.
    ValueDefect StreamOf(std::string_view text, std::string& stream) const;

private:
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
    std::array<std::uint8_t, 256> original_{};
    std::string stream_; // reused by every value
};

// The bytes that PackSixBits packed; false when no bytes pack into the text.
ValueDefect UnpackSixBits(std::string_view text, std::string& bytes);

} // namespace tarnwick
