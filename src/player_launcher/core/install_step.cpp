#include "player_launcher/core/install_step.h"

#include "base/error.h"
#include "base/file_io.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/update_archive.h"

namespace tarnwick::player {

InstallResult PlainFileInstall::Install(const std::filesystem::path& download, const std::filesystem::path& target,
                                        const std::atomic<bool>*)
{
    try {
        MoveFileOver(download, target);
        return {};
    } catch (const Error& error) {
        InstallResult failed;
        failed.error = FileFailureText("替换文件", target, error.Kind());
        return failed;
    }
}

ZipInstall::ZipInstall(std::filesystem::path root, std::u16string saveDir)
    : root_(std::move(root)), saveDir_(std::move(saveDir))
{
}

InstallResult ZipInstall::Install(const std::filesystem::path& download, const std::filesystem::path&,
                                  const std::atomic<bool>* cancelled)
{
    const ArchiveListing listing = ListArchive(download, saveDir_);
    InstallResult result;
    result.error = TestArchive(download, listing);
    if (result.error.empty())
        result.error = UnpackArchive(download, root_, listing, cancelled);
    if (!result.error.empty())
        return result;
    for (const ArchiveMember& member : listing.members)
        if (!member.folder)
            result.members.push_back(member.relative);
    return result;
}

} // namespace tarnwick::player
