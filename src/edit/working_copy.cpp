#include "edit/working_copy.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "config/document_writer.h"
#include "config/update_rules.h"
#include "sign/list_signature.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <string_view>
#include <system_error>

namespace tarnwick::edit {
namespace {

// "Tarnwick.damaged-20261207-171300.xml": what it is, when it was kept, and
// still a document that an editor opens.
std::string DamagedCopyName(const std::tm& when, int attempt)
{
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &when);
    std::string name = std::string("Tarnwick.damaged-") + stamp;
    if (attempt > 1)
        name += "-" + std::to_string(attempt);
    return name + ".xml";
}

// A hash of text that arrives in pieces, the same however it is cut: the
// pieces fill blocks of a fixed size, and each block's hash is mixed in.
class TextFingerprint {
public:
    void Add(std::string_view piece)
    {
        if (!pending_.empty()) {
            const std::size_t taken = std::min(kBlockSize - pending_.size(), piece.size());
            pending_.append(piece.substr(0, taken));
            piece.remove_prefix(taken);
            if (pending_.size() < kBlockSize)
                return;
            Mix(pending_);
            pending_.clear();
        }
        for (; piece.size() >= kBlockSize; piece.remove_prefix(kBlockSize))
            Mix(piece.substr(0, kBlockSize));
        pending_.assign(piece);
    }

    std::size_t Value() const { return Mixed(value_, pending_); }

private:
    static constexpr std::size_t kBlockSize = 64 * 1024;

    // FNV's step over the blocks' hashes, so that their order counts.
    static std::size_t Mixed(std::size_t value, std::string_view block)
    {
        return (value ^ std::hash<std::string_view>{}(block)) * 0x100000001b3u;
    }
    void Mix(std::string_view block) { value_ = Mixed(value_, block); }

    std::size_t value_ = 0xcbf29ce484222325u;
    std::string pending_;
};

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

} // namespace

WorkingCopy::WorkingCopy(std::filesystem::path folder)
    : folder_(std::move(folder)), document_(folder_ / "Tarnwick.xml"),
      launcherSettings_(folder_ / kLauncherSettingsFileName)
{
    savedFingerprint_ = Fingerprint(SetupModel{});
}

std::optional<Message> WorkingCopy::Lock(const std::string& program, std::chrono::milliseconds wait)
{
    FileLock::Attempt attempt;
    try {
        attempt = FileLock::Acquire(LockPath(), ProcessDescription(program), wait);
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::NoPermission)
            throw;
        readOnlyFolder_ = true;
        return std::nullopt;
    }
    readOnlyFolder_ = false;
    if (!attempt.lock)
        return HolderMessage(attempt.holder);
    lock_ = std::move(attempt.lock);
    return std::nullopt;
}

std::optional<Message> WorkingCopy::OtherHolder() const
{
    if (lock_)
        return std::nullopt;
    try {
        if (const auto holder = FileLock::HolderOf(LockPath()))
            return HolderMessage(*holder);
        return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
}

void WorkingCopy::Load(SetupModel& model)
{
    std::error_code ec;
    found_ = std::filesystem::exists(Path(), ec);
    try {
        document_.LoadConfiguration(model);
    } catch (const Error& error) {
        loadedWhole_ = false;
        savedFingerprint_ = Fingerprint(model);
        // A document error names the line but not the file.
        if (error.Kind() == ErrorKind::Damaged)
            throw Error(Message("%1: %2").Arg(FullPathText(Path())).Inner(error.Text()), ErrorKind::Damaged);
        throw;
    } catch (...) {
        loadedWhole_ = false;
        savedFingerprint_ = Fingerprint(model);
        throw;
    }
    loadedWhole_ = true;
    savedFingerprint_ = Fingerprint(model);
}

std::optional<ReadOnlyPlace> WorkingCopy::ReadOnly() const
{
    if (readOnlyFolder_)
        return ReadOnlyPlace::Folder;
    using std::filesystem::perms;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(Path(), ec);
    if (ec || !std::filesystem::is_regular_file(status))
        return std::nullopt;
    if ((status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none)
        return ReadOnlyPlace::File;
    return std::nullopt;
}

void WorkingCopy::RefuseInReadOnly(ReadOnlyPlace place) const
{
    throw Error(ReadOnlyRefusal(place, Folder()).text, ErrorKind::NoPermission);
}

std::size_t WorkingCopy::Fingerprint(const SetupModel& model) const
{
    // The document text is what a save writes, so it is what an unsaved edit
    // changes (the launcher fields are never saved). Taken in pieces: a load
    // needs its fingerprint, not a second copy of the document.
    TextFingerprint fingerprint;
    document_.BuildDocument(model, false, [&](std::string_view piece) { fingerprint.Add(piece); });
    return fingerprint.Value();
}

bool WorkingCopy::IsModified(const SetupModel& model) const { return Fingerprint(model) != savedFingerprint_; }

std::optional<std::filesystem::path> WorkingCopy::KeepDamagedFile() const
{
    std::string bytes;
    try {
        bytes = ReadFile(Path());
    } catch (const Error& error) {
        // Gone since: nothing is left to lose.
        if (error.Kind() == ErrorKind::NotFound)
            return std::nullopt;
        throw;
    }
    const std::tm now = LocalTimeNow();
    for (int attempt = 1;; ++attempt) {
        const std::filesystem::path copy = folder_ / DamagedCopyName(now, attempt);
        if (CreateNewFile(copy, bytes))
            return copy;
    }
}

std::optional<std::filesystem::path> WorkingCopy::Save(const SetupModel& model)
{
    if (const auto place = ReadOnly())
        RefuseInReadOnly(*place);
    std::optional<std::filesystem::path> kept;
    if (!loadedWhole_)
        kept = KeepDamagedFile();
    // The text written is the model's: taken as it goes, not built again.
    TextFingerprint written;
    document_.WriteConfiguration(model, Path(), false, [&](std::string_view piece) { written.Add(piece); });
    savedFingerprint_ = written.Value();
    loadedWhole_ = true;
    return kept;
}

LauncherSettingsRead WorkingCopy::LoadLauncherSettings(SetupModel& model)
{
    LauncherSettingsRead read = launcherSettings_.Read();
    model.launcher = read.setup;
    return read;
}

bool WorkingCopy::RememberLauncherSettings(const SetupModel& model)
{
    return lock_ && launcherSettings_.Remember(model.launcher);
}

std::vector<std::size_t> UnpinnedEntries(const SetupModel& model)
{
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < model.updates.Count(); ++i)
        if (!PinnedDigest(model.updates.At(i)))
            rows.push_back(i);
    return rows;
}

ServerInfoWritten WorkingCopy::WriteServerInfo(const SetupModel& model, sign::KeyStore* keys, std::int64_t now) const
{
    if (readOnlyFolder_)
        RefuseInReadOnly(ReadOnlyPlace::Folder);
    ServerInfoWritten written;
    written.file = ServerInfoPath();
    const std::optional<sign::SigningKeys> signing = keys ? keys->Load() : std::nullopt;
    const std::string text = WrapServerInfo(document_.BuildDocument(model, true));
    std::string signature;
    if (signing)
        signature = keys->SignList(*signing, text, now);
    ReplaceFile(ServerInfoPath(), text);
    if (signing) {
        ReplaceFile(SignaturePath(), signature);
        written.signatureFile = SignaturePath();
        written.keyId = sign::KeyIdOf(signing->signing.publicKey);
        written.unpinned = UnpinnedEntries(model);
    }
    return written;
}

} // namespace tarnwick::edit
