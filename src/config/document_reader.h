#pragma once

#include "base/error.h"
#include "config/document_text.h"
#include "config/model.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// What a read of a well-formed document gives besides the model.
struct DocumentReading {
    // The top-level comments and processing instructions; absent when one
    // holds text that GBK cannot represent.
    std::optional<TopLevelNodes> topLevel;
    // The first value that could not be read. What was completed before it is
    // in the model; nothing after it is.
    std::optional<Error> failure;
};

// Gives the plain values of a document whose values are encoded (the body of
// ServerInfo.txt) as the reader meets them.
class ValueDecoding {
public:
    virtual ~ValueDecoding() = default;
    // The plain value of an encoded one; `where` names it ("the Name of a
    // Group"), `line` is where its element starts.
    virtual std::string Decode(std::string encoded, const char* where, long line) = 0;
};

// Fills the model from a configuration document's bytes (GBK), reading the
// values as the parser meets them; the bytes are let go once decoded. Raises
// the document error, with the model unchanged, when the bytes are not a
// well-formed document. With `decoding`, the values that ServerInfo.txt
// encodes pass through it.
DocumentReading ReadConfigurationDocument(std::string bytes, SetupModel& model, ValueDecoding* decoding = nullptr);

} // namespace tarnwick
