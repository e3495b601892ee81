#pragma once

#include "player_launcher/core/update_resume.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The last server list the launcher accepted, kept beside it: the body as
// it arrived, the signature file that came with it in a launcher that checks
// signatures, and what the server said of each (ETag, Last-Modified), so that
// the next start asks for the list only if it changed, and a launcher that
// cannot reach its server still has a list to show. One file, replaced
// whole: the body, its signature and their validators always belong together.
namespace tarnwick::player {

// One file as the server sent it; only the validators' ETag and
// Last-Modified are kept (the length is the body's).
struct KeptFile {
    std::string body;
    BodyValidators validators;
};

struct KeptList {
    KeptFile list;
    std::optional<KeptFile> signature; // a launcher with keys keeps the list's signature file
};

// Absent when there is none, or it is damaged or larger than a list and its
// signature file can be: a kept list that is not whole is no kept list.
std::optional<KeptList> ReadKeptList(const std::filesystem::path& file);
// Replaces the file atomically, flushed to the disk; raises Error. A
// validator that could not be sent back (see UsableValidator) is left out.
void WriteKeptList(const std::filesystem::path& file, const KeptList& kept);

// Whether a validator the server sent can be sent back in a request header:
// visible ASCII and blanks only, within a length no real server exceeds.
// What arrives from the network or lies on the disk could otherwise add
// lines of its own to the request.
bool UsableValidator(std::string_view value);

// The header lines ("Name: value\r\n") that ask for the body only if it is no
// longer the kept one: If-None-Match with the ETag, If-Modified-Since with
// the Last-Modified; empty when neither is usable (an unconditional GET).
std::string ConditionalHeaders(const BodyValidators& kept);

} // namespace tarnwick::player
