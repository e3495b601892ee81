#pragma once

#include "config/model.h"

#include <optional>
#include <string>
#include <string_view>

// Rules of the update entries that the operator's tools and the launcher
// share, so that what signing warns of is exactly what launchers refuse.
namespace tarnwick {

enum class CheckKind { Exists, Md5, Version, Pak };

// The check type's word; any other word counts as "MD5", as a document's
// unknown check code does.
CheckKind CheckKindOf(const UpdateEntry& entry);

// 32 hexadecimal digits, lower-cased; absent for anything else.
std::optional<std::string> AsDigest(std::string_view text);

// The digest a download must have: DownMD5 when it is 32 hexadecimal digits
// (lower-cased), else none (the editor's initial "20050505" means no check).
std::optional<std::string> DownloadDigest(const UpdateEntry& entry);

// The digest a signed list pins for a download: DownMD5 as above, else, for
// an entry that is no zip and whose check is MD5, its MD5 (the file the
// launcher installs is the file it downloads). A launcher that checks
// signatures installs nothing whose download is not pinned.
std::optional<std::string> PinnedDigest(const UpdateEntry& entry);

} // namespace tarnwick
