#pragma once

#include "base/error.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/update_path.h"
#include "player_launcher/core/web_address.h"

#include <exception>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

// The launcher's words for the player, in one place: Chinese, UTF-8, each
// naming what failed and what the player can do. No library's or system's
// English text reaches the player; a failure is told by its kind.
namespace tarnwick::player {

inline constexpr const char* kCancelled = "已取消";

// The word for how an update entry ended, by EntryOutcome (Current, Updated,
// Skipped, Failed): the same in each entry's line and in the run's summary.
inline constexpr const char* kOutcomeWords[] = {"已是最新", "已更新", "已跳过", "失败"};

// What failed on a file or folder of the player's, and what to do about it:
// `action` is the operation in Chinese ("写入", "创建文件夹", ...), `path` the
// file it failed on (shown relative to nothing: the player's own path).
std::string FileFailureText(const std::string& action, const std::filesystem::path& path, ErrorKind kind);
std::string FileFailureText(const std::string& action, const std::filesystem::path& path, const std::error_code& error);

// The advice for a kind of failure alone ("磁盘空间不足：请清理磁盘后重试。").
std::string AdviceFor(ErrorKind kind);

// A std::filesystem failure told as FileFailureText tells it, with its first path.
std::string FileFailureText(const std::string& action, const std::filesystem::filesystem_error& error);

// The text of one of our own errors (GBK inside) for the player, UTF-8.
std::string ErrorTextOf(const Error& error);

// Any exception told to the player: our own errors by their text, the
// standard library's by their kind (their what() is the library's English),
// running out of memory as such.
std::string ExceptionText(const std::exception& error);

// Downloads: what the player is told of a failed download of the server
// list or of an update file: what failed, and what to do.
std::string FailureText(const DownloadFailure& failure, const Subject& subject = Subject::List());

// A size as the messages show it: "512 B", "2.5 KB", "1.5 MB".
std::string SizeText(std::uint64_t bytes);

// The progress line of the list's download; total is absent when the server
// did not say how long the body is.
std::string ProgressText(std::uint64_t received, std::optional<std::uint64_t> total);

// Why an update entry's or an archive member's path is refused.
std::string PathRefusalText(PathRefusal refusal);

// Why an address is not opened; empty when it may be.
std::string RefusalText(const CheckedAddress& checked);

// Archives of update entries: why one is not unpacked. `member` names the
// member (UTF-16, as checked), `count` and `limit` what a cap was and allowed.
enum class ArchiveProblem {
    NotZip,            // the download is no zip archive that reads
    DirectoryDamaged,  // its directory does not read whole
    TooManyMembers,    // more members than the cap
    NameUnreadable,    // a member's name is neither UTF-8 nor GBK
    Encrypted,         // a member is encrypted
    UnsupportedMethod, // a member is stored with another method than deflate
    MemberTooLarge,    // a member is larger than the cap for one
    TotalTooLarge,     // the members together are larger than the cap
    Duplicate,         // two members name the same file
    ChangedWhileRead,  // the archive changed between listing and reading
    MemberUnreadable,  // a member cannot be opened
    MemberGrew,        // a member inflates past its stated size
    MemberDamaged,     // a member inflates short or does not inflate
    MemberChecksum,    // a member's checksum does not match
};
std::string ArchiveText(ArchiveProblem problem, std::u16string_view member = {}, std::uint64_t count = 0,
                        std::uint64_t limit = 0);
// A member whose path is refused.
std::string ArchiveMemberRefused(std::u16string_view member, PathRefusal refusal);

// Update files: the file a download address names (the last part of its
// path), as the messages name it.
Subject UpdateFileSubject(std::string_view url);

// A download of an update file whose server answers wrongly.
enum class TransferProblem {
    RangeAnswerWrong,    // the answer to a range request fits neither the kept part nor a new file
    LongerThanAnnounced, // more bytes came than the server said
};
std::string TransferText(TransferProblem problem, const Subject& subject, int status = 0);

// The launcher's own file.
enum class SelfUpdateProblem {
    NotAProgram,  // the download is no program
    OtherMachine, // a program for another kind of computer
    NoWindow,     // a program without a window (a console program, a DLL)
    CannotStart,  // the system would not start it
    DidNotStart,  // it started but did not say that it runs
};
// Each says that the old launcher stays, and what to do.
std::string SelfUpdateText(SelfUpdateProblem problem, ErrorKind kind = ErrorKind::Failed);
inline constexpr const char* kLauncherUpdated = "登录器已更新，重新启动后使用新版本";

} // namespace tarnwick::player
