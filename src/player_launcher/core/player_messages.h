#pragma once

#include "base/error.h"

#include <exception>
#include <filesystem>
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

} // namespace tarnwick::player
