#include "player_launcher/core/update_archive.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/update_path.h"

#include <unzip.h>

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <system_error>

namespace tarnwick::player {
namespace {

constexpr uLong kUtf8NamesFlag = 1u << 11;
constexpr uLong kEncryptedFlag = 1u;
constexpr std::size_t kChunk = 256 * 1024;

// minizip reads through these, over one InputFile: the archive is opened by
// the file functions of base, which know Windows' wide file names.
struct ArchiveFile {
    InputFile input;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    bool failed = false;
};

voidpf ZCALLBACK OpenArchive(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK ReadArchive(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto& file = *static_cast<ArchiveFile*>(stream);
    try {
        const std::size_t got =
            file.input.ReadAt(file.position, std::span(static_cast<std::byte*>(buffer), static_cast<std::size_t>(size)));
        file.position += got;
        return static_cast<uLong>(got);
    } catch (const Error&) {
        file.failed = true;
        return 0;
    }
}

uLong ZCALLBACK WriteArchive(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellArchive(voidpf, voidpf stream) { return static_cast<ArchiveFile*>(stream)->position; }

long ZCALLBACK SeekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto& file = *static_cast<ArchiveFile*>(stream);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                               : origin == ZLIB_FILEFUNC_SEEK_CUR ? file.position
                                                                  : file.size;
    if (offset > file.size || base > file.size - offset)
        return -1;
    file.position = base + offset;
    return 0;
}

int ZCALLBACK CloseArchive(voidpf, voidpf) { return 0; }

int ZCALLBACK ArchiveError(voidpf, voidpf stream) { return static_cast<ArchiveFile*>(stream)->failed ? 1 : 0; }

// The archive open for reading; closed with the object.
class OpenedArchive {
public:
    explicit OpenedArchive(const std::filesystem::path& zip) : file_{InputFile(zip, zip.filename())}
    {
        file_.size = file_.input.RegularFileSize();
        zlib_filefunc64_def functions{};
        functions.zopen64_file = OpenArchive;
        functions.zread_file = ReadArchive;
        functions.zwrite_file = WriteArchive;
        functions.ztell64_file = TellArchive;
        functions.zseek64_file = SeekArchive;
        functions.zclose_file = CloseArchive;
        functions.zerror_file = ArchiveError;
        functions.opaque = &file_;
        archive_ = ::unzOpen2_64("", &functions);
    }
    ~OpenedArchive()
    {
        if (archive_ != nullptr)
            ::unzClose(archive_);
    }
    OpenedArchive(const OpenedArchive&) = delete;
    OpenedArchive& operator=(const OpenedArchive&) = delete;

    unzFile Get() const { return archive_; }

private:
    ArchiveFile file_;
    unzFile archive_ = nullptr;
};

// The member's name as the archive writes it: UTF-8 when flagged so, else GBK.
std::optional<std::u16string> MemberName(const std::string& bytes, uLong flags)
{
    try {
        if ((flags & kUtf8NamesFlag) != 0)
            return Utf16Of(bytes);
        const std::optional<std::string> utf8 = TryGbkToUtf8(bytes);
        return utf8 ? std::optional(Utf16Of(*utf8)) : std::nullopt;
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

std::u16string Folded(std::u16string_view path)
{
    std::u16string folded;
    for (char16_t c : path)
        folded += AsciiLower(c);
    return folded;
}

// Each member in order: `visit` gets its place in the listing and returns
// an empty string to go on, else the reason to stop.
std::string ForEachMember(unzFile archive, const ArchiveListing& listing,
                          const std::function<std::string(const ArchiveMember&)>& visit)
{
    std::size_t index = 0;
    for (int at = ::unzGoToFirstFile(archive); at == UNZ_OK; at = ::unzGoToNextFile(archive), ++index) {
        if (index >= listing.members.size())
            return ArchiveText(ArchiveProblem::ChangedWhileRead);
        if (std::string stop = visit(listing.members[index]); !stop.empty())
            return stop;
    }
    return index == listing.members.size() ? std::string() : ArchiveText(ArchiveProblem::ChangedWhileRead);
}

// Inflates the current member, giving each chunk to `take` (none given: only checked).
std::string Inflate(unzFile archive, const ArchiveMember& member,
                    const std::function<void(std::string_view)>& take, const std::atomic<bool>* cancelled)
{
    if (::unzOpenCurrentFile(archive) != UNZ_OK)
        return ArchiveText(ArchiveProblem::MemberUnreadable, member.relative);
    std::vector<char> buffer(kChunk);
    std::uint64_t total = 0;
    int got = 0;
    while ((got = ::unzReadCurrentFile(archive, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        total += static_cast<std::uint64_t>(got);
        // The directory's size is what the caps were checked against: a member may not grow past it.
        if (total > member.size) {
            ::unzCloseCurrentFile(archive);
            return ArchiveText(ArchiveProblem::MemberGrew, member.relative);
        }
        if (cancelled && cancelled->load()) {
            ::unzCloseCurrentFile(archive);
            return kCancelled;
        }
        if (take)
            take(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    const int closed = ::unzCloseCurrentFile(archive);
    if (got < 0 || total != member.size)
        return ArchiveText(ArchiveProblem::MemberDamaged, member.relative);
    if (closed == UNZ_CRCERROR)
        return ArchiveText(ArchiveProblem::MemberChecksum, member.relative);
    return {};
}

// The archive of a listing that may be unpacked, open for `use`; else why
// not. A failure to read it is told as the archive's.
std::string WithArchive(const std::filesystem::path& zip, const ArchiveListing& listing,
                        const std::function<std::string(unzFile)>& use)
{
    if (!listing.Allowed())
        return listing.refusal;
    try {
        OpenedArchive archive(zip);
        if (archive.Get() == nullptr)
            return ArchiveText(ArchiveProblem::NotZip);
        return use(archive.Get());
    } catch (const Error& error) {
        return FileFailureText("读取压缩包", zip, error.Kind());
    }
}

} // namespace

ArchiveListing ListArchive(const std::filesystem::path& zip, std::u16string_view saveDir, const ArchiveLimits& limits)
{
    ArchiveListing listing;
    const auto refuse = [&](std::string why) {
        listing.members.clear();
        listing.refusal = std::move(why);
        return std::move(listing);
    };
    try {
        OpenedArchive archive(zip);
        unz_global_info64 global{};
        if (archive.Get() == nullptr || ::unzGetGlobalInfo64(archive.Get(), &global) != UNZ_OK)
            return refuse(ArchiveText(ArchiveProblem::NotZip));
        if (global.number_entry > limits.maxMembers)
            return refuse(ArchiveText(ArchiveProblem::TooManyMembers, {}, global.number_entry, limits.maxMembers));
        std::set<std::u16string> seen;
        std::uint64_t total = 0;
        std::array<char, 65536> name{};
        int at = ::unzGoToFirstFile(archive.Get());
        for (; at == UNZ_OK; at = ::unzGoToNextFile(archive.Get())) {
            unz_file_info64 info{};
            if (::unzGetCurrentFileInfo64(archive.Get(), &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
                UNZ_OK)
                return refuse(ArchiveText(ArchiveProblem::DirectoryDamaged));
            const std::string bytes(name.data(), std::min<std::size_t>(info.size_filename, name.size()));
            const std::optional<std::u16string> member = MemberName(bytes, info.flag);
            if (!member)
                return refuse(ArchiveText(ArchiveProblem::NameUnreadable));
            const CheckedPath checked = CheckArchiveMember(saveDir, *member);
            if (!checked.Allowed())
                return refuse(ArchiveMemberRefused(*member, checked.refusal));
            if ((info.flag & kEncryptedFlag) != 0)
                return refuse(ArchiveText(ArchiveProblem::Encrypted, *member));
            const bool folder = !member->empty() && (member->back() == u'/' || member->back() == u'\\');
            if (!folder && info.compression_method != 0 && info.compression_method != Z_DEFLATED)
                return refuse(ArchiveText(ArchiveProblem::UnsupportedMethod, *member));
            if (info.uncompressed_size > limits.maxMemberBytes)
                return refuse(ArchiveText(ArchiveProblem::MemberTooLarge, *member, info.uncompressed_size,
                                          limits.maxMemberBytes));
            total += info.uncompressed_size;
            if (total > limits.maxTotalBytes)
                return refuse(ArchiveText(ArchiveProblem::TotalTooLarge, {}, total, limits.maxTotalBytes));
            if (!folder && !seen.insert(Folded(checked.relative)).second)
                return refuse(ArchiveText(ArchiveProblem::Duplicate, checked.relative));
            listing.members.push_back({checked.relative, folder, folder ? 0 : info.uncompressed_size});
        }
        if (at != UNZ_END_OF_LIST_OF_FILE)
            return refuse(ArchiveText(ArchiveProblem::DirectoryDamaged));
        if (listing.members.size() != global.number_entry)
            return refuse(ArchiveText(ArchiveProblem::DirectoryDamaged));
    } catch (const Error& error) {
        return refuse(FileFailureText("读取压缩包", zip, error.Kind()));
    }
    return listing;
}

std::string TestArchive(const std::filesystem::path& zip, const ArchiveListing& listing)
{
    return WithArchive(zip, listing, [&](unzFile archive) {
        return ForEachMember(archive, listing, [&](const ArchiveMember& member) {
            return member.folder ? std::string() : Inflate(archive, member, {}, nullptr);
        });
    });
}

std::string UnpackArchive(const std::filesystem::path& zip, const std::filesystem::path& root,
                          const ArchiveListing& listing, const std::atomic<bool>* cancelled)
{
    return WithArchive(zip, listing, [&](unzFile archive) {
        return ForEachMember(archive, listing, [&](const ArchiveMember& member) -> std::string {
            const std::filesystem::path target = PathBelow(root, member.relative);
            const std::filesystem::path folder = member.folder ? target : target.parent_path();
            std::error_code failed;
            std::filesystem::create_directories(folder, failed);
            if (failed)
                return FileFailureText("创建文件夹", folder, failed);
            if (member.folder)
                return {};
            // Writing fails on the member's file (no room, in use), not on the archive.
            try {
                PendingFile pending(target);
                if (std::string stop = Inflate(archive, member, [&](std::string_view bytes) { pending.Write(bytes); },
                                               cancelled);
                    !stop.empty())
                    return stop;
                pending.Commit();
            } catch (const Error& error) {
                return FileFailureText("写入", target, error.Kind());
            }
            return {};
        });
    });
}

} // namespace tarnwick::player
