#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tarnwick::publish {

// Kept on the destination beside the list: what the last publish put there,
// so that the next one sends only what changed. It speeds things up and
// decides nothing else: a missing or damaged one means everything is sent.
inline constexpr const char* kManifestName = ".tarnwick-publish.json";
inline constexpr std::size_t kMaxManifestBytes = 32 * 1024 * 1024;

struct ManifestEntry {
    std::uint64_t size = 0;
    std::string md5;
    bool operator==(const ManifestEntry&) const = default;
};

using Manifest = std::map<std::string, ManifestEntry>;

// None for text that is no manifest (it is then ignored).
std::optional<Manifest> ParseManifest(const std::string& text);
std::string ManifestText(const Manifest& manifest);

} // namespace tarnwick::publish
