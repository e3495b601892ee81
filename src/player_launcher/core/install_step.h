#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

// The last step of an update entry: putting a whole, checked download where
// the entry says. A plain file replaces its target; an archive is unpacked;
// the launcher's own image is handed to whoever can replace a running program.
namespace tarnwick::player {

struct InstallResult {
    std::string error;   // empty on success, else why (Chinese, UTF-8)
    bool finished = true; // false: the file is put in place later by another process (the launcher's own image); its record stays pending until a run finds the file
    std::string note;    // for the player when not finished (UTF-8), e.g. that a restart uses the new version
    std::vector<std::u16string> members; // for an archive: the checked relative paths it wrote (files only)
};

class InstallStep {
public:
    virtual ~InstallStep() = default;
    // `download`: the whole, checked download beside the target; `target`: the
    // entry's file (for an archive, the archive's name, never kept).
    virtual InstallResult Install(const std::filesystem::path& download, const std::filesystem::path& target,
                                  const std::atomic<bool>* cancelled) = 0;
};

// Moves the download over the target in one step that reaches the disk.
class PlainFileInstall : public InstallStep {
public:
    InstallResult Install(const std::filesystem::path& download, const std::filesystem::path& target,
                          const std::atomic<bool>* cancelled) override;
};

// Tests the whole archive, then unpacks it below the launcher's folder. The
// download stays: the caller removes it once the install is recorded, so
// that a run stopped before that unpacks it again instead of fetching it.
class ZipInstall : public InstallStep {
public:
    // `root`: the launcher's folder; `saveDir`: the entry's SaveDir, which every member must stay in.
    ZipInstall(std::filesystem::path root, std::u16string saveDir);

    InstallResult Install(const std::filesystem::path& download, const std::filesystem::path& target,
                          const std::atomic<bool>* cancelled) override;

private:
    std::filesystem::path root_;
    std::u16string saveDir_;
};

} // namespace tarnwick::player
