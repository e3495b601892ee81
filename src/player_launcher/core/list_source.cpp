#include "player_launcher/core/list_source.h"

#include "base/error.h"
#include "base/text.h"
#include "config/server_info_reader.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::player {
namespace {

// The name the reader's messages give the file.
constexpr std::string_view kShownName = "ServerInfo.txt";

static_assert(kMaxListBytes < kMaxServerInfoBytes, "the reader takes every body the download accepts");

// A message of the core (GBK) for the player; bytes that do not convert are
// shown as '?', as paths are.
std::string MessageUtf8(std::string_view gbk)
{
    if (auto utf8 = TryGbkToUtf8(gbk))
        return *utf8;
    std::string ascii(gbk);
    for (char& c : ascii)
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '?';
    return ascii;
}

std::string StatusMeaning(long status)
{
    switch (status) {
    case 401:
    case 403: return "（服务器拒绝访问）";
    case 404: return "（服务器上没有这个文件）";
    case 500: return "（服务器内部错误）";
    case 502:
    case 503:
    case 504: return "（服务器暂时无法提供服务）";
    default: break;
    }
    if (status >= 300 && status < 400)
        return "（服务器要求转到其他地址，但没有给出可用的地址）";
    return {};
}

std::string WithCode(std::string text, long code)
{
    return code == 0 ? text : text + "（错误代码 " + std::to_string(code) + "）";
}

} // namespace

std::string FailureText(const ListFailure& failure)
{
    const std::string host = failure.detail.empty() ? "服务器列表地址" : "“" + failure.detail + "”";
    switch (failure.problem) {
    case ListProblem::None: return {};
    case ListProblem::NotStamped: return "这个登录器没有设置服务器列表地址：生成登录器时没有写入列表地址。";
    case ListProblem::BadAddress: return "服务器列表地址不可用：" + failure.detail;
    case ListProblem::NoConnection:
        return WithCode("无法连接到" + host + "：找不到服务器或连接被拒绝。请检查网络后重试。", failure.code);
    case ListProblem::Timeout:
        return "连接" + host + "超时：" + std::to_string(kConnectSeconds) + " 秒内未能连上，或 " +
               std::to_string(kReadSeconds) + " 秒内没有收到数据，或下载超过 " + std::to_string(kTotalSeconds) +
               " 秒。";
    case ListProblem::HttpStatus:
        return "服务器列表下载失败：服务器返回 HTTP " + std::to_string(failure.code) + StatusMeaning(failure.code) + "。";
    case ListProblem::Redirect:
        return failure.detail.empty()
                   ? "服务器列表地址被转到了不允许的地址：只接受 http 和 https，且不从 https 转到 http。"
                   : "服务器列表地址的转向有误：" + failure.detail;
    case ListProblem::SecureChannel:
        return WithCode("无法与" + host + "建立安全连接（HTTPS 证书无效或不受信任）。", failure.code);
    case ListProblem::Network: return WithCode("下载服务器列表时出现网络错误。", failure.code);
    case ListProblem::Incomplete:
        return "服务器列表没有下载完整：连接在 " + failure.detail + " 处中断。";
    case ListProblem::TooLarge:
        return "服务器列表文件太大：超过 " + SizeText(kMaxListBytes) + " 的上限，不是服务器列表。";
    case ListProblem::Damaged: return "服务器列表文件无法使用（已损坏、不完整或用其他密钥生成）：" + failure.detail;
    case ListProblem::Unsigned:
        return "服务器列表没有签名，已拒绝：这个登录器只接受运营者签名的列表（服务器上缺少 ServerInfo.txt.sig）。";
    case ListProblem::OtherKey:
        return "服务器列表是用其他密钥签名的（密钥编号 " + failure.detail + "），已拒绝：这个登录器只接受它的运营者签名的列表。";
    case ListProblem::BadSignature:
        return "服务器列表的签名已损坏或不符，已拒绝：" + failure.detail + "。";
    case ListProblem::Older:
        return "服务器列表比这个登录器已经用过的列表旧（序号 " + failure.detail + "），已拒绝：可能有人重放了旧列表。";
    case ListProblem::KeysDamaged: return "这个登录器中的签名公钥已损坏，不能接受任何服务器列表。请重新下载登录器。";
    }
    return {};
}

int ExitStatus(ListProblem problem)
{
    switch (problem) {
    case ListProblem::None: return 0;
    case ListProblem::TooLarge:
    case ListProblem::Damaged:
    case ListProblem::Unsigned:
    case ListProblem::OtherKey:
    case ListProblem::BadSignature:
    case ListProblem::Older:
    case ListProblem::KeysDamaged: return 1;
    default: return 2;
    }
}

bool WorthRetrying(const ListFailure& failure)
{
    switch (failure.problem) {
    case ListProblem::NoConnection:
    case ListProblem::Timeout:
    case ListProblem::Network:
    case ListProblem::Incomplete: return true;
    case ListProblem::HttpStatus: return failure.code >= 500;
    default: return false;
    }
}

ListResult ReadServerList(std::string_view body, const KeyMaterial& key)
{
    ListResult result;
    try {
        result.list = ServerListFrom(ReadServerInfo(body, kShownName, key));
    } catch (const Error& error) {
        result.failure = {ListProblem::Damaged, 0, MessageUtf8(error.what())};
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
