#pragma once

#include "launcher/resource_tree.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

constexpr std::uint16_t kVersionResourceType = 16; // RT_VERSION
constexpr std::uint16_t kVersionResourceName = 1;  // VS_VERSION_INFO

// The version resource that the version functions read: name 1 of type
// RT_VERSION in the neutral language when the file has one, else in Chinese
// (PRC), the language of the systems that the launchers are made for, else the
// first language stored. Absent when the file has none; raises Error, saying
// what is wrong, when the file is no well-formed executable.
std::optional<ResourceLocation> FindVersionResource(std::span<const std::byte> file);

// The number of bytes that the version information needs: the version
// resource's size; 0 when there is none.
std::uint32_t VersionInfoSize(std::span<const std::byte> file);

// Fills the buffer with the version resource (as much as fits). False when there is none.
bool ReadVersionInfo(std::span<const std::byte> file, std::span<std::byte> buffer);

// Where a value lies in a version-information buffer: its offset, and its
// length as recorded (wide characters for text, bytes for binary values),
// never more than the entry holds. Length 0 when the path names no entry.
struct VersionValue {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool text = false;
};

// Looks a value up by path: components separated by backslashes, empty ones
// skipped, each equal to an entry's whole name without regard to the case of
// ASCII letters. The empty path names the root's value (the fixed file
// information). Raises Error when the block is malformed.
VersionValue QueryVersionValue(std::span<const std::byte> buffer, std::u16string_view path);

// Whether two entry names are the same for a query: equal but for the case of ASCII letters.
bool SameVersionKey(std::u16string_view a, std::u16string_view b);

// One entry of a version block as a value: its name, whether its value is
// text, the value's bytes and its children.
struct VersionBlock {
    std::u16string key;
    bool text = false;
    std::vector<std::byte> value;
    std::vector<VersionBlock> children;
};

// The whole block. Raises Error when it is malformed.
VersionBlock ParseVersionBlock(std::span<const std::byte> buffer);

// A text value read up to its first NUL.
std::u16string VersionText(std::span<const std::byte> buffer, const VersionValue& value);

} // namespace tarnwick
