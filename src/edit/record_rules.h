#pragma once

#include "config/model.h"
#include "edit/outcome.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What launchers can use, judged on records as they are stored: the editors
// refuse to store anything else, and a loaded file that holds such records
// is named to the operator. Texts are GBK.
namespace tarnwick::edit {

// The port the server dialog and the command line start from.
inline constexpr const char* kDefaultPort = "7000";

// The download check that means "none": the update dialog's starting value.
inline constexpr const char* kNoDownloadCheck = "20050505";

// A server's connection entries pair the n-th name with the n-th address and
// port; a name or address without a partner is dropped when written, and a
// missing port reaches players empty. So the names and the addresses are
// equally many (at least one), and there is one port, 1 to 65535, for each.
Outcome CheckConnections(const ServerEntry& server);

// An entry checked by MD5 needs the digest to compare with; the download
// check is a digest, kNoDownloadCheck or empty (both mean no check: files
// written by hand leave it empty), since anything else is read as no check
// too and a mistyped digest would go unnoticed.
Outcome CheckDigests(const UpdateEntry& entry);

// A web page launchers open: http:// or https:// with a host, no blanks.
Outcome CheckWebPage(std::string_view address);

// Records of a model that launchers cannot use, with the reason of each.
struct UnusableRecord {
    std::size_t row;
    Outcome why;
};
struct UnusableRecords {
    std::vector<UnusableRecord> servers;
    std::vector<UnusableRecord> updates;
    std::vector<UnusableRecord> pages; // row: the index in kWebAddressFields
    bool Empty() const { return servers.empty() && updates.empty() && pages.empty(); }
};
UnusableRecords FindUnusable(const SetupModel& model);

// Told after loading a file that holds such records: each is named with why.
Notice UnusableRecordsNotice(const SetupModel& model, const UnusableRecords& unusable);

} // namespace tarnwick::edit
