#include "player_launcher/core/list_source.h"

#include "base/error.h"
#include "base/text.h"
#include "config/server_info_reader.h"
#include "player_launcher/core/texts.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::player {
namespace {

// The name the reader's messages give the file.
constexpr std::string_view kShownName = "ServerInfo.txt";

static_assert(kMaxListBytes < kMaxServerInfoBytes, "the reader takes every body the download accepts");

// What the status says the server meant, and what the player can do about it.
std::string StatusMeaning(long status)
{
    switch (status) {
    case 401:
    case 403: return "（服务器拒绝访问）。请联系游戏管理员。";
    case 404: return "（服务器上没有这个文件）。请联系游戏管理员。";
    case 500: return "（服务器内部错误）。服务器暂时出了问题，请稍后再试。";
    case 502:
    case 503:
    case 504: return "（服务器暂时无法提供服务）。请稍后再试。";
    default: break;
    }
    if (status >= 300 && status < 400)
        return "（服务器要求转到其他地址，但没有给出可用的地址）。请联系游戏管理员。";
    if (status >= 500)
        return "。服务器暂时出了问题，请稍后再试。";
    return "。请稍后重试；如果仍然失败，请联系游戏管理员。";
}

std::string WithCode(std::string text, long code)
{
    return code == 0 ? text : text + "（错误代码 " + std::to_string(code) + "）";
}

constexpr std::string_view kCheckNetwork = "请检查网络连接后重试。";
constexpr std::string_view kAskOperator = "请联系游戏管理员。";

} // namespace

std::string FailureText(const DownloadFailure& failure, const Subject& subject)
{
    const bool list = subject.IsList();
    const std::string what = list ? "服务器列表" : "更新文件“" + subject.file + "”";
    const std::string host = failure.detail.empty() ? (list ? "服务器列表地址" : "更新服务器") : "“" + failure.detail + "”";
    std::string_view said = failure.detail;
    if (said.ends_with("。"))
        said.remove_suffix(std::string_view("。").size());
    const std::string detail = said.empty() ? std::string() : "：" + std::string(said);
    switch (failure.problem) {
    case DownloadProblem::None: return {};
    case DownloadProblem::NotStamped:
        return list ? "这个登录器没有设置服务器列表地址：生成登录器时没有写入列表地址。请向游戏管理员索取新的登录器。"
                    : what + "没有下载地址。" + std::string(kAskOperator);
    case DownloadProblem::BadAddress:
        return what + "的下载地址不可用" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::NoConnection:
        return WithCode("无法连接到" + host + "，" + what + "没有下载：找不到服务器或连接被拒绝", failure.code) +
               "。" + std::string(kCheckNetwork) + "如果网络正常，可能是服务器暂时关闭，请稍后再试。";
    case DownloadProblem::Timeout:
        return "下载" + what + "时连接" + host + "超时：" + std::to_string(kConnectSeconds) + " 秒内未能连上，或 " +
               std::to_string(kReadSeconds) + " 秒内没有收到数据" +
               (list ? "，或下载超过 " + std::to_string(kTotalSeconds) + " 秒" : std::string()) + "。" +
               std::string(kCheckNetwork) + "如果网络正常，可能是服务器繁忙，请稍后再试。";
    case DownloadProblem::HttpStatus:
        return what + "下载失败：服务器返回 HTTP " + std::to_string(failure.code) + StatusMeaning(failure.code);
    case DownloadProblem::Redirect:
        return failure.detail.empty()
                   ? what + "的下载地址被转到了不允许的地址：只接受 http 和 https，且不从 https 转到 http。" +
                         std::string(kAskOperator)
                   : what + "的下载地址转向有误" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::SecureChannel:
        return WithCode("无法与" + host + "建立安全连接（HTTPS 证书无效或不受信任），" + what + "没有下载", failure.code) +
               "。请检查电脑的日期和时间是否正确；如果正确，请联系游戏管理员。";
    case DownloadProblem::Network:
        return WithCode("下载" + what + "时出现网络错误", failure.code) + "。" + std::string(kCheckNetwork);
    case DownloadProblem::Incomplete:
        return what + "没有下载完整：连接在 " + failure.detail + " 处中断。" + std::string(kCheckNetwork);
    case DownloadProblem::TooLarge:
        return list ? "服务器列表文件太大：超过 " + SizeText(kMaxListBytes) + " 的上限，不是服务器列表。" +
                          std::string(kAskOperator)
                    : what + "太大，超过了允许的上限。" + std::string(kAskOperator);
    case DownloadProblem::Damaged:
        return what + "无法使用（已损坏、不完整或用其他密钥生成）" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::Unsigned:
        return what + "没有签名，已拒绝：这个登录器只接受运营者签名的列表（服务器上缺少 ServerInfo.txt.sig）。" +
               std::string(kAskOperator);
    case DownloadProblem::OtherKey:
        return what + "是用其他密钥签名的（密钥编号 " + failure.detail +
               "），已拒绝：这个登录器只接受它的运营者签名的列表。" + std::string(kAskOperator);
    case DownloadProblem::BadSignature:
        return what + "的签名已损坏或不符，已拒绝" + detail + "。请稍后重试；如果仍然失败，请联系游戏管理员。";
    case DownloadProblem::Older:
        return what + "比这个登录器已经用过的列表旧（序号 " + failure.detail +
               "），已拒绝：可能有人重放了旧列表。请稍后重试；如果仍然失败，请联系游戏管理员。";
    case DownloadProblem::KeysDamaged:
        return "这个登录器中的签名公钥已损坏，不能接受任何服务器列表。请向游戏管理员重新下载登录器。";
    }
    return {};
}

int ExitStatus(DownloadProblem problem)
{
    switch (problem) {
    case DownloadProblem::None: return 0;
    case DownloadProblem::TooLarge:
    case DownloadProblem::Damaged:
    case DownloadProblem::Unsigned:
    case DownloadProblem::OtherKey:
    case DownloadProblem::BadSignature:
    case DownloadProblem::Older:
    case DownloadProblem::KeysDamaged: return 1;
    default: return 2;
    }
}

bool WorthRetrying(const DownloadFailure& failure)
{
    switch (failure.problem) {
    case DownloadProblem::NoConnection:
    case DownloadProblem::Timeout:
    case DownloadProblem::Network:
    case DownloadProblem::Incomplete: return true;
    case DownloadProblem::HttpStatus: return failure.code >= 500;
    default: return false;
    }
}

ListResult ReadServerList(std::string_view body, const KeyMaterial& key)
{
    ListResult result;
    try {
        result.list = ServerListFrom(ReadServerInfo(body, kShownName, key));
    } catch (const Error& error) {
        result.failure = {DownloadProblem::Damaged, 0, ShownUtf8OfGbk(error.what())};
    }
    return result;
}

std::string SizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    char text[32];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

bool ListBody::Expect(std::optional<std::uint64_t> contentLength)
{
    announced_ = contentLength;
    if (contentLength && *contentLength > limit_)
        return false;
    // Announced lengths are a hint, not a promise: reserve no more than the limit.
    if (contentLength)
        bytes_.reserve(static_cast<std::size_t>(*contentLength));
    return true;
}

bool ListBody::Append(std::string_view chunk)
{
    if (chunk.size() > limit_ - bytes_.size())
        return false;
    bytes_.append(chunk);
    return true;
}

std::string ProgressText(std::uint64_t received, std::optional<std::uint64_t> total)
{
    std::string text = "正在下载服务器列表：" + SizeText(received);
    if (total && *total > 0)
        text += " / " + SizeText(*total) + "（" + std::to_string(std::min<std::uint64_t>(received * 100 / *total, 100)) +
                "%）";
    return text;
}

} // namespace tarnwick::player
