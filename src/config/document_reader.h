#pragma once

#include "config/model.h"

#include <libxml/tree.h>

#include <string_view>

namespace tarnwick {

// Fills the model from a parsed configuration document. `source` is the
// document's bytes, quoted in failures. Raises Error; what was completed
// before a failure stays in the model.
void ReadConfigurationTree(xmlNodePtr root, std::string_view source, SetupModel& model);

} // namespace tarnwick
