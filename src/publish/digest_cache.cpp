#include "publish/digest_cache.h"

#include "base/error.h"
#include "base/file_io.h"
#include "digest/md5.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <unordered_map>

namespace tarnwick::publish {
namespace {

constexpr SizeLimit kCacheLimit{64 * 1024 * 1024, "64 MiB"};
// A file system's clock ticks coarsely (whole seconds through MinGW's
// std::filesystem, two on FAT, a few milliseconds on Linux): a file written
// again within the tick it was last written in keeps its stamp. A digest is
// kept only once its file's time is older than that.
constexpr auto kSettled = std::chrono::seconds(2);

struct Stamp {
    std::uint64_t size = 0;
    long long time = 0;
    bool settled = false;
};

std::optional<Stamp> StampOf(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::is_regular_file(status))
        return std::nullopt;
    const std::uint64_t size = std::filesystem::file_size(file, error);
    if (error)
        return std::nullopt;
    const auto time = std::filesystem::last_write_time(file, error);
    if (error)
        return std::nullopt;
    return Stamp{size, static_cast<long long>(time.time_since_epoch().count()),
                 time + kSettled <= std::filesystem::file_time_type::clock::now()};
}

std::string Key(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    const std::u8string text = (error ? file : absolute).lexically_normal().generic_u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

DigestCache::DigestCache(std::filesystem::path file) : file_(std::move(file))
{
    if (file_.empty())
        return;
    try {
        const nlohmann::json json = nlohmann::json::parse(ReadFile(file_, kCacheLimit), nullptr, false);
        if (!json.is_object() || !json.contains("files") || !json["files"].is_object())
            return;
        for (const auto& [key, value] : json["files"].items()) {
            if (!value.is_object() || !value.contains("size") || !value.contains("time") || !value.contains("md5") ||
                !value["size"].is_number_unsigned() || !value["time"].is_number_integer() || !value["md5"].is_string())
                continue;
            entries_.push_back({key, Entry{value["size"].get<std::uint64_t>(), value["time"].get<long long>(),
                                           value["md5"].get<std::string>()}});
        }
    } catch (const std::exception&) {
        entries_.clear();
    }
}

std::vector<std::optional<std::string>> DigestCache::Digests(const std::vector<std::filesystem::path>& files)
{
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        index[entries_[i].first] = i;
    std::vector<std::optional<std::string>> digests(files.size());
    std::vector<std::optional<Stamp>> stamps(files.size());
    std::vector<std::filesystem::path> toHash;
    std::vector<std::size_t> hashed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        stamps[i] = StampOf(files[i]);
        if (!stamps[i])
            continue;
        const auto found = index.find(Key(files[i]));
        if (found != index.end()) {
            const Entry& entry = entries_[found->second].second;
            if (entry.size == stamps[i]->size && entry.time == stamps[i]->time) {
                digests[i] = entry.md5;
                continue;
            }
        }
        toHash.push_back(files[i]);
        hashed.push_back(i);
    }
    const std::vector<std::optional<Digest>> fresh = FileDigests(toHash);
    for (std::size_t k = 0; k < hashed.size(); ++k) {
        const std::size_t i = hashed[k];
        if (!fresh[k])
            continue;
        digests[i] = DigestToHex(*fresh[k]);
        // A file changed while it was read keeps no entry: its digest is taken again next time.
        const std::optional<Stamp> after = StampOf(files[i]);
        if (!after || after->size != stamps[i]->size || after->time != stamps[i]->time || !after->settled)
            continue;
        const std::string key = Key(files[i]);
        const Entry entry{after->size, after->time, *digests[i]};
        if (const auto found = index.find(key); found != index.end())
            entries_[found->second].second = entry;
        else {
            index[key] = entries_.size();
            entries_.push_back({key, entry});
        }
        changed_ = true;
    }
    return digests;
}

void DigestCache::Save() noexcept
{
    if (!changed_ || file_.empty())
        return;
    try {
        nlohmann::json files = nlohmann::json::object();
        for (const auto& [key, entry] : entries_)
            files[key] = {{"size", entry.size}, {"time", entry.time}, {"md5", entry.md5}};
        ReplaceFile(file_, nlohmann::json{{"files", files}}.dump(0, ' ', false, nlohmann::json::error_handler_t::replace) + "\n",
                    Durability::Atomic);
        changed_ = false;
    } catch (const std::exception&) {
        // Only speed is lost: the digests are taken again next time.
    }
}

} // namespace tarnwick::publish
