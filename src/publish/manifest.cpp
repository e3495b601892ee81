#include "publish/manifest.h"

#include "config/update_rules.h"
#include "publish/site_address.h"

#include <nlohmann/json.hpp>

namespace tarnwick::publish {

std::optional<Manifest> ParseManifest(const std::string& text)
{
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object() || json.value("format", 0) != 1 || !json.contains("files") ||
        !json["files"].is_object())
        return std::nullopt;
    Manifest manifest;
    for (const auto& [path, value] : json["files"].items()) {
        if (!IsPlainRelativePath(path) || !value.is_object() || !value.contains("size") || !value.contains("md5") ||
            !value["size"].is_number_unsigned() || !value["md5"].is_string())
            return std::nullopt;
        const std::optional<std::string> md5 = AsDigest(value["md5"].get<std::string>());
        if (!md5)
            return std::nullopt;
        manifest[path] = {value["size"].get<std::uint64_t>(), *md5};
    }
    return manifest;
}

std::string ManifestText(const Manifest& manifest)
{
    nlohmann::ordered_json files = nlohmann::ordered_json::object();
    for (const auto& [path, entry] : manifest)
        files[path] = {{"size", entry.size}, {"md5", entry.md5}};
    return nlohmann::ordered_json{{"format", 1}, {"files", files}}.dump(1, ' ', false,
                                                                        nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
}

} // namespace tarnwick::publish
