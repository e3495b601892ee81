#pragma once

#include "config/field_encoder.h"

#include <string>
#include <string_view>

// Test-only: undoes FieldEncoder::EncodeValue the way the launcher does, so
// tests can check that encoded text carries the value. Raises std::runtime_error
// for text that no encoder could have produced.
namespace tarnwick::testing {

// The bytes packed by PackSixBits (the padding bits must be zero).
std::string UnpackSixBits(std::string_view text);

// The compressed stream as the encoder traced it: byte 0 holds the length mod 256.
std::string EncodedStream(std::string_view text, const KeyMaterial& key = BuiltInKey());

// The value bytes.
std::string DecodeValue(std::string_view text, const KeyMaterial& key = BuiltInKey());

} // namespace tarnwick::testing
