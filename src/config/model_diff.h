#pragma once

#include "base/message.h"
#include "config/model.h"

#include <string>
#include <vector>

namespace tarnwick {

// One way in which two configurations differ, as an operator reads it.
struct Difference {
    enum class Kind { Added, Removed, Changed, Moved };
    Kind kind;
    // The record, for the operator's language: `group "East"`, `server "Zone"
    // of group "East"`, `update entry ".\Data\" "patch.dat"`, `web address Home`.
    Message record;
    // The field that changed (Changed only): its element or attribute name.
    std::string field;
    // Changed: the old and the new value; Added and Removed: the record's
    // values in `after` or `before`. GBK.
    std::string before;
    std::string after;
};

// How `after` differs from `before`: groups, servers (by group and display
// name), web addresses and update entries (by save folder and file name),
// records added, removed, changed field by field, and moved. A record that
// moved is one outside the longest run of records kept in order.
std::vector<Difference> CompareModels(const SetupModel& before, const SetupModel& after);

} // namespace tarnwick
