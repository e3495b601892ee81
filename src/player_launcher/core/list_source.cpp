#include "player_launcher/core/list_source.h"

#include "base/error.h"
#include "base/text.h"
#include "config/server_info_reader.h"
#include "player_launcher/core/player_messages.h"

namespace tarnwick::player {
namespace {

// The name the reader's messages give the file.
constexpr std::string_view kShownName = "ServerInfo.txt";

static_assert(kMaxListBytes < kMaxServerInfoBytes, "the reader takes every body the download accepts");

} // namespace

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
        result.failure = {DownloadProblem::Damaged, 0, ErrorTextOf(error)};
    }
    return result;
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

} // namespace tarnwick::player
