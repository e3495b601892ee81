#pragma once

#include "base/message.h"
#include "config/model.h"
#include "edit/outcome.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::edit {

// The launcher tab's fields are no part of Tarnwick.xml: each working folder
// remembers them in this file beside it.
inline constexpr const char* kLauncherSettingsFileName = "Tarnwick.launcher.json";

// What reading the settings file gave.
struct LauncherSettingsRead {
    // The remembered values, or the initial ones.
    LauncherSetup setup;
    // Whether the folder has remembered values: false before the first
    // remembering, and for a file that cannot be used.
    bool remembered = false;
    // Why the file could not be used, naming it (the initial values stand
    // in for it).
    std::optional<Message> problem;
};

// The file's text: a JSON object of the three fields, in UTF-8 (the model's
// GBK converted here, at the file's edge).
std::string LauncherSettingsText(const LauncherSetup& setup);

// The launcher fields of one working folder, as a program remembers them.
class LauncherSettingsFile {
public:
    explicit LauncherSettingsFile(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& Path() const { return file_; }

    // Never raises: a missing file gives the initial values; one that cannot
    // be read, is no settings file or holds text GBK cannot write gives them
    // too, with the reason.
    LauncherSettingsRead Read();

    // Writes the values, atomically, when they differ from those last read or
    // written: a run that changes nothing leaves the file (even a damaged
    // one) as it was. True when the file was written. Raises Error.
    bool Remember(const LauncherSetup& setup);

private:
    std::filesystem::path file_;
    std::optional<LauncherSetup> known_;
};

// Told when the settings file cannot be used: what is wrong, and that the
// file is left alone until a launcher field changes.
Notice UnusableSettingsNotice(const Message& problem);
// Told, once, when the folder does not take the settings file.
Notice SettingsNotRememberedNotice(const Message& reason);

} // namespace tarnwick::edit
