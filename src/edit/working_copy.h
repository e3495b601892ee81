#pragma once

#include "base/file_lock.h"
#include "config/document.h"
#include "config/model.h"
#include "edit/outcome.h"
#include "edit/launcher_settings.h"
#include "sign/key_store.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::edit {

// The lock is held through this file beside Tarnwick.xml.
inline constexpr const char* kLockFileName = "Tarnwick.lock";

// How long a command-line edit waits for a lock that another edit holds: long
// enough for any number of queued edits of a few milliseconds each, short
// enough for a script to learn soon that a window holds it.
inline constexpr std::chrono::seconds kEditLockWait{10};

// What writing ServerInfo.txt did besides the file.
struct ServerInfoWritten {
    // The files written: ServerInfo.txt, and its signature when signed.
    std::filesystem::path file;
    std::optional<std::filesystem::path> signatureFile;
    // Signed: the signing key's id (ServerInfo.txt.sig was written beside it).
    std::optional<std::string> keyId;
    // Signed: the update entries (rows from 0) whose downloads the list does
    // not pin, which launchers that check signatures will refuse to install.
    std::vector<std::size_t> unpinned;
};

// The update entries whose downloads a signed list does not pin.
std::vector<std::size_t> UnpinnedEntries(const SetupModel& model);

// The folder's Tarnwick.xml as one program edits it: locked against other
// writers, loaded, compared with what was last loaded or saved, and saved
// without ever losing a file that did not load whole.
class WorkingCopy {
public:
    explicit WorkingCopy(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path Path() const { return folder_ / "Tarnwick.xml"; }
    std::filesystem::path ServerInfoPath() const { return folder_ / "ServerInfo.txt"; }
    std::filesystem::path LockPath() const { return folder_ / kLockFileName; }

    // Takes the folder's lock for this program, waiting up to `wait`. Returns
    // the holder's description when another program holds it. Where the lock
    // file cannot be created for want of permission (a read-only folder or
    // file system), takes nothing: the copy is then only for viewing. Raises
    // Error when the folder cannot be locked for any other reason.
    std::optional<Message> Lock(const std::string& program, std::chrono::milliseconds wait);
    bool Locked() const { return lock_.has_value(); }
    // Who holds the folder's lock now, when another program does.
    std::optional<Message> OtherHolder() const;

    // Loads Tarnwick.xml into the model (a missing file keeps the model as it
    // is). Raises Error, leaving in the model what loaded before the failure;
    // for a damaged file that is what stood before the damage, and the error
    // names the file, the line and what could not be read.
    void Load(SetupModel& model);
    // False after a load that found no Tarnwick.xml.
    bool Found() const { return found_; }
    // False after a load that failed part way: the file on disk then holds
    // more than the model, and is kept before it is first saved over.
    bool LoadedWhole() const { return loadedWhole_; }

    // Whether saving the model now would write something other than what was
    // last loaded or saved.
    bool IsModified(const SetupModel& model) const;

    // Why Tarnwick.xml cannot be saved here now, when it cannot: the folder
    // refused the lock file, or the file is read-only. The file's own
    // permission bits (on Windows its read-only attribute) decide, not a
    // failed write: a rename replaces a read-only file, and root may write
    // anything.
    std::optional<ReadOnlyPlace> ReadOnly() const;

    // Saves the model to Tarnwick.xml, atomically. When the file did not load
    // whole, it is first kept beside itself under a new name; that name is
    // returned (once: later saves only save). Raises Error, writing nothing,
    // when ReadOnly says why it cannot.
    std::optional<std::filesystem::path> Save(const SetupModel& model);

    // Writes ServerInfo.txt and, with signing keys, ServerInfo.txt.sig after
    // it: both atomically, the signature made (and its serial taken) before
    // either is written, so that a failure leaves the published pair as it was.
    // Raises Error, writing nothing, in a read-only folder.
    // `now` is the time in seconds since 1970.
    ServerInfoWritten WriteServerInfo(const SetupModel& model, sign::KeyStore* keys = nullptr,
                                      std::int64_t now = 0) const;
    std::filesystem::path SignaturePath() const { return folder_ / "ServerInfo.txt.sig"; }

    // The launcher fields that the folder remembers, put into the model (the
    // initial values before the first remembering, and for a file that cannot
    // be used, whose problem is returned). Never raises.
    LauncherSettingsRead LoadLauncherSettings(SetupModel& model);
    // Remembers the model's launcher fields when they changed, but only while
    // this program holds the folder's lock: the holder's own remembering is
    // never written over. True when the file was written. Raises Error.
    bool RememberLauncherSettings(const SetupModel& model);
    std::filesystem::path LauncherSettingsPath() const { return launcherSettings_.Path(); }

    ConfigurationDocument& Document() { return document_; }

private:
    std::size_t Fingerprint(const SetupModel& model) const;
    std::optional<std::filesystem::path> KeepDamagedFile() const;
    [[noreturn]] void RefuseInReadOnly(ReadOnlyPlace place) const;

    std::filesystem::path folder_;
    ConfigurationDocument document_;
    std::optional<FileLock> lock_;
    LauncherSettingsFile launcherSettings_;
    bool loadedWhole_ = true;
    bool found_ = false;
    bool readOnlyFolder_ = false;
    std::size_t savedFingerprint_ = 0;
};

} // namespace tarnwick::edit
