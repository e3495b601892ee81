#pragma once

#include "base/message.h"
#include "publish/destination.h"
#include "publish/site_plan.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What players will fetch, asked of the players' own address: the checks
// after a publish, and before it for the files it does not upload.
namespace tarnwick::publish {

enum class FetchCheckKind {
    Bytes,  // the whole file, byte for byte (the list and its signature)
    Length, // HEAD: there, with the length expected
    Digest, // the whole file downloaded, with the MD5 expected
    Present // HEAD: there (nothing known to compare with)
};

struct FetchCheck {
    const PlayerFetch* fetch = nullptr;
    FetchCheckKind kind = FetchCheckKind::Present;
    bool ok = false;
    Message detail; // what was found
};

struct SiteCheckOptions {
    bool deep = false; // every update file downloaded and hashed
    TrustSettings trust;
    // Told before each fetch is checked (number from 1, count); false cancels.
    std::function<bool(std::size_t, std::size_t)> progress;
};

// Checks the fetches, in order. `expected` gives the list's and the
// signature's bytes for Bytes checks (by role). Never raises for what the
// server answers: each answer is a row.
std::vector<FetchCheck> CheckFetches(const std::vector<const PlayerFetch*>& fetches,
                                     const std::function<std::optional<std::string>(const PlayerFetch&)>& expectedBytes,
                                     const SiteCheckOptions& options);

const char* CheckKindName(FetchCheckKind kind);

} // namespace tarnwick::publish
