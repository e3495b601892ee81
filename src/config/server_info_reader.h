#pragma once

#include "config/field_encoder.h"
#include "config/model.h"

#include <string>
#include <string_view>

namespace tarnwick {

// The configuration that a ServerInfo.txt was written from. Everything that
// can be checked is: the "$BEGIN" and "$END" lines, the declaration, the
// document, and each encoded value (its characters, its packing, the length
// byte, the compressed data and its checksum). Raises Error naming the file
// (`shownName`), the line and what is wrong there, or saying that the file was
// not written with this key material; never gives a value that did not decode.
// The servers of a repeated group name, written once under each group of that
// name, are read once, as they stood in the model.
SetupModel ReadServerInfo(std::string_view bytes, std::string_view shownName, const KeyMaterial& key = BuiltInKey());

// The model as a ServerInfo.txt written from it carries it: what ReadServerInfo
// gives for that file, got without encoding and decoding the values (servers
// in the order of their groups, connection entries as the document joins them,
// empty web addresses empty). Raises Error for a value no document can hold.
SetupModel AsWritten(const SetupModel& model);

} // namespace tarnwick
