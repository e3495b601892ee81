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

// Fills the model from a configuration document's bytes (GBK), reading the
// values as the parser meets them; the bytes are let go once decoded. Raises
// the document error, with the model unchanged, when the bytes are not a
// well-formed document.
DocumentReading ReadConfigurationDocument(std::string bytes, SetupModel& model);

} // namespace tarnwick
