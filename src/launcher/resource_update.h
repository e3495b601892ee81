#pragma once

#include "launcher/resource_tree.h"

#include <cstdint>
#include <span>
#include <string>

namespace tarnwick {

enum class ResourceUpdate {
    Overwritten, // same size: the data bytes replaced where they were
    Rebuilt,     // the resource section laid out again within its raw size
    Grown,       // the resource section, the last one, laid out again and enlarged
    Refused,     // no room: the section is neither large enough nor the last one
};

// Replaces the data of one resource of the PE file held in `file`, adding the
// language (and type and name) entry when missing. A nonzero CheckSum field is
// kept up to date (a same-size overwrite adjusts it by the change, so a field
// that was already wrong stays wrong); a zero one, which the loader does not
// check, stays zero. File offsets into bytes appended after the last section
// (certificate table, COFF symbol table, debug data) move with those bytes when
// the section grows; a signature no longer matches once anything has changed.
// On Refused the bytes are left as they were; so they are when Error is raised
// for a malformed file.
ResourceUpdate UpdateResource(std::string& file, const ResourceId& type, const ResourceId& name,
                              std::uint16_t language, std::span<const std::byte> data);

} // namespace tarnwick
