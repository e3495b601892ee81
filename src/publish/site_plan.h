#pragma once

#include "base/crypto.h"
#include "base/message.h"
#include "config/model.h"
#include "publish/site_address.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What a publish will upload and what players will fetch afterwards, and the
// operator's slips that refuse it before anything goes up.
namespace tarnwick::publish {

// In the order they go up: a list must never name a file that is not there
// yet, and a launcher fetched by players must find the files it updates. A
// block index goes after its file: a launcher that finds a new index beside
// an old file falls back to the whole download, never the other way round.
enum class FileRole { Update, Index, Launcher, Signature, List };

// A file of the site to upload.
struct SiteFile {
    FileRole role = FileRole::Update;
    std::string path; // below the site's root, '/'-separated, UTF-8
    std::filesystem::path local;
    std::uint64_t size = 0;
    std::string md5;               // lower-case hexadecimal
    std::vector<std::size_t> rows; // the update entries (from 0) that fetch it (or the indexed file)
};

// What players fetch, checked after the upload over their own address.
struct PlayerFetch {
    FileRole role = FileRole::Update;
    std::string url;
    std::optional<std::size_t> row;   // update entries
    std::optional<std::uint64_t> size; // when known here
    std::optional<std::string> md5;    // when known here or pinned by the entry
    bool uploaded = false;             // a file of this publish's site
};

// An operator's slip: nothing goes up while there is one.
struct PlanRefusal {
    std::optional<std::size_t> row; // the update entry, when it is one
    Message reason;
};

struct SitePlan {
    ListLocation list;
    std::vector<SiteFile> files; // in upload order
    std::vector<PlayerFetch> fetches;
    std::vector<PlanRefusal> refusals;
    // Update entries on the site that no local copy was given for (no site
    // folder): checked on the host before the upload.
    std::vector<std::size_t> unmapped;
};

struct PlanInput {
    std::filesystem::path folder; // the working folder: ServerInfo.txt and its signature
    const SetupModel* model = nullptr;
    std::string listUrl;          // UTF-8
    std::optional<std::filesystem::path> site;
    std::string expectedList;     // what serverinfo writes now
    // The operator's keys: the signature must hold for them; none when the
    // operator has no keys here.
    std::optional<std::vector<crypto::PublicKey>> trustedKeys;
    std::string launcherFile;     // the launcher's file name (GBK), "" for none
    // Digests of files whose size and time are unchanged since last taken.
    std::filesystem::path digestCache;
};

// Raises Error for input that cannot be read at all (a list address that is
// no http(s) file address, a working folder without ServerInfo.txt).
SitePlan PlanSite(const PlanInput& input);

// The role's name for reports.
const char* RoleName(FileRole role);

} // namespace tarnwick::publish
