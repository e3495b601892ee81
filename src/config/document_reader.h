#pragma once

#include "base/error.h"
#include "config/document_text.h"
#include "config/model.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// What a read of a document gives besides the model.
struct DocumentReading {
    // The top-level comments and processing instructions (those before the
    // damage of a damaged document); absent when one holds text that GBK
    // cannot represent.
    std::optional<TopLevelNodes> topLevel;
    // The first value that could not be read. What was completed before it is
    // in the model; nothing after it is.
    std::optional<Error> failure;
    // Where the document itself is damaged (not well-formed, or bytes that
    // are not GBK), when it is: nothing after that point was seen. `failure`
    // is then this one, told before any value that could not be read.
    std::optional<Error> damage;
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
// values as the parser meets them; the bytes are let go once decoded. Of a
// damaged document (cut short, not well-formed, not GBK) the groups, servers,
// addresses and update entries completed before the damage are read, each
// list a prefix of the whole document's: a record the damage cuts into is
// left out, never read in part. With `decoding`, the values that
// ServerInfo.txt encodes pass through it.
DocumentReading ReadConfigurationDocument(std::string bytes, SetupModel& model, ValueDecoding* decoding = nullptr);

} // namespace tarnwick
