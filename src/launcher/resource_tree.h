#pragma once

#include "launcher/pe_image.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

// A resource type or name: a number, or a string (UTF-16).
struct ResourceId {
    bool named = false;
    std::uint16_t number = 0;
    std::u16string name;

    static ResourceId Number(std::uint16_t number) { return {false, number, {}}; }
    static ResourceId Name(std::u16string name) { return {true, 0, std::move(name)}; }
    bool operator==(const ResourceId&) const = default;
};

// Names match without regard to the case of ASCII letters, as the loader looks them up.
bool SameResourceId(const ResourceId& a, const ResourceId& b);
// The order of a resource directory: names first, by code unit, then numbers ascending.
bool PrecedesInDirectory(const ResourceId& a, const ResourceId& b);

// The header fields of one resource directory table, kept so that a rewrite preserves them.
struct DirectoryAttributes {
    std::uint32_t characteristics = 0;
    std::uint32_t timeDateStamp = 0;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    bool operator==(const DirectoryAttributes&) const = default;
};

struct ResourceLanguage {
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::vector<std::byte> data;
    bool operator==(const ResourceLanguage&) const = default;
};

struct ResourceName {
    ResourceId id;
    DirectoryAttributes directory;
    std::vector<ResourceLanguage> languages;
    bool operator==(const ResourceName&) const = default;
};

struct ResourceType {
    ResourceId id;
    DirectoryAttributes directory;
    std::vector<ResourceName> names;
    bool operator==(const ResourceType&) const = default;
};

// A file's resources as values: the three levels type, name and language.
// Where the bytes go is decided only when the tree is laid out again.
struct ResourceTree {
    DirectoryAttributes directory;
    std::vector<ResourceType> types;

    const ResourceLanguage* Find(const ResourceId& type, const ResourceId& name, std::uint16_t language) const;
    // Replaces the data of that entry, adding the type, name and language where missing.
    void Set(const ResourceId& type, const ResourceId& name, std::uint16_t language, std::span<const std::byte> data);
    bool operator==(const ResourceTree&) const = default;
};

// Where one resource's data lies in the file.
struct ResourceLocation {
    std::uint16_t language = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

// The whole tree, data copied out. Empty when the file has no resource directory.
// Raises Error when the tree is malformed.
ResourceTree ReadResourceTree(std::span<const std::byte> file, const PeImage& pe);

// The languages under one type and name, in directory order, without copying any data.
std::vector<ResourceLocation> LocateResource(std::span<const std::byte> file, const PeImage& pe,
                                             const ResourceId& type, const ResourceId& name);

// The bytes of a resource section holding the tree, for a section at sectionRva:
// directory tables, name strings, data entries, then the data, each aligned.
std::string LayOutResourceSection(const ResourceTree& tree, std::uint32_t sectionRva);

} // namespace tarnwick
