#pragma once

#include "config/model.h"
#include "config/document_text.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

// The configuration document's text for the model, written directly: the
// declaration, two-space indentation, CR LF, empty-element forms. With encode
// set, the values that ServerInfo.txt hides pass through the field encoder,
// whose trace lines go to trace. keep holds the top-level nodes to carry over.
// Raises Error for a value that the document cannot hold.
std::string WriteDocumentText(const SetupModel& model, bool encode,
                              const std::function<void(std::string_view)>& trace,
                              const TopLevelNodes& keep = {});

// The same text handed to sink in pieces as it is written, never held whole:
// for a reader that needs no copy of it. Raises Error as WriteDocumentText
// does, after some pieces may have gone to the sink.
void WriteDocumentPieces(const SetupModel& model, bool encode, const std::function<void(std::string_view)>& trace,
                         const TopLevelNodes& keep, const std::function<void(std::string_view)>& sink);

// The text cut into lines at CR, LF or CR LF (a zero byte ends it), each line
// followed by CR LF, between the lines "$BEGIN" and "$END".
std::string WrapServerInfo(std::string_view document);

} // namespace tarnwick
