#pragma once

#include "base/error.h"
#include "player_launcher/core/client_command.h"
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

// The list kept from an earlier start, shown because this one could not be
// refreshed (`why`, a failure of the network): the console's note, and the
// window's status line with the list's size.
std::string NotRefreshedText(const DownloadFailure& why);
std::string KeptListShownText(std::size_t groups, std::size_t servers, const DownloadFailure& why);

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

// Update entries: why one is fetched (said in its line once it is updated).
enum class NeedReason {
    Missing,           // the file is not there
    Md5Differs,        // its MD5 is not the list's
    NoVersionRecord,   // no version was recorded when it was installed
    NoDateRecord,      // no date was recorded when it was installed
    DateDiffers,       // the list's date is not the one installed
    NoArchiveRecord,   // the archive was never recorded as unpacked
    ArchiveIncomplete, // a file the archive unpacked is gone
    ArchiveMd5Differs, // the list's archive MD5 is not the one unpacked
};
std::string NeedText(NeedReason reason);
std::string VersionLowerText(std::uint64_t installed, std::uint64_t wanted);

// Why an entry is skipped or fails.
std::string Md5NotDigestText(std::string_view md5);
std::string VersionNotNumberText(std::string_view version);
std::string AlbumSkippedText(std::string_view reason);
enum class EntryProblem {
    PathNotText, // its save folder or name holds bytes that are no GBK
    NotPinned,   // a signed list gives no digest for it
};
std::string EntryProblemText(EntryProblem problem);
std::string PathRefusedText(std::string_view path, PathRefusal refusal);
std::string UrlNotTextText(std::string_view url);
std::string DownloadFailedText(std::string_view why);
std::string DigestMismatchText(std::string_view expected, std::string_view got);
std::string UpdatedUnrecordedText(std::string_view why);

// Starting the game.
// Why the client does not start; empty for Ready.
std::string ClientCheckText(ClientCheck check);
std::string ClientMissingText(std::string_view program);
std::string ClientStartFailedText(std::string_view program, unsigned long error, ErrorKind kind);
std::string GameStartedText(std::string_view server, std::string_view entry);
inline constexpr const char* kStartUsage = "用法：/start 服务器组 服务器 [线路序号，从 1 起]";
std::string NoSuchServerText(std::string_view group, std::string_view server, std::optional<unsigned long> entry);
// A failure nothing else caught, as the console and the window tell it.
std::string LauncherFailedText(const std::exception& error);
std::string ActionFailedText(const std::exception& error);

// The window's status line and warnings.
inline constexpr const char* kLinkLoading = "登录器页面：正在读取服务器列表…";
inline constexpr const char* kLinkNoList = "登录器页面：未能取得服务器列表";
inline constexpr const char* kLinkNotSet = "登录器页面：未设置";
inline constexpr const char* kLinkLabel = "登录器页面：";
std::string ConnectingText(std::string_view listUrl);
std::string ListShownText(std::size_t groups, std::size_t servers);
inline constexpr const char* kCheckingUpdates = "正在检查更新…";
inline constexpr const char* kCancellingUpdate = "正在取消更新，当前文件保留已下载的部分，下次继续…";
inline constexpr const char* kUpdateCancelled = "更新已取消。";
std::string UpdateStoppedText(std::string_view why);
std::string PageNotTextText(std::string_view address);
std::string BrowserFailedText(long long code, std::string_view address);

// The update run's progress: the entry being checked, the run so far, and
// how it ended (counts by EntryOutcome).
std::string EntryCheckingText(std::string_view entry);
std::string RunProgressText(std::size_t entries, std::size_t done, std::string_view downloaded, std::string_view rate);
std::string RunSummaryText(const std::size_t (&counts)[4]);

// A game started whose server choice could not be kept: `lineBreak` when a
// name holds a line break, else the file that could not be written.
std::string NameNotKeptText(bool lineBreak);
std::string ChoiceNotKeptText(std::string_view why);

} // namespace tarnwick::player
