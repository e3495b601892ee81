#include "publish/sftp_rename_channel.h"

#include "base/translatable.h"
#include "publish/ssh_session.h"

#include <libssh2.h>

namespace tarnwick::publish {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kSftpVersion = 3;
constexpr std::string_view kSubsystem = "sftp";

} // namespace

SftpRenameChannel::SftpRenameChannel(SshSession& session) : session_(session)
{
    LIBSSH2_SESSION* ssh = session_.Get();
    channel_ = session_.AwaitPointer<LIBSSH2_CHANNEL*>([&] {
        return libssh2_channel_open_ex(ssh, "session", sizeof "session" - 1, LIBSSH2_CHANNEL_WINDOW_DEFAULT,
                                       LIBSSH2_CHANNEL_PACKET_DEFAULT, nullptr, 0);
    });
    int result = channel_ == nullptr ? session_.LastErrorCode() : 0;
    if (result == 0)
        result = session_.Await([&] {
            return libssh2_channel_process_startup(channel_, "subsystem", sizeof "subsystem" - 1, kSubsystem.data(),
                                                   static_cast<unsigned>(kSubsystem.size()));
        });
    if (result == LIBSSH2_ERROR_CHANNEL_FAILURE || result == LIBSSH2_ERROR_CHANNEL_REQUEST_DENIED ||
        result == LIBSSH2_ERROR_REQUEST_DENIED) {
        if (channel_ != nullptr)
            session_.Await([&] { return libssh2_channel_free(channel_); }, 2000ms);
        channel_ = nullptr;
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 不允许再开一个 SFTP 通道。"));
        throw TransferError(message.Arg(session_.Server()), TransferFailure::Refused);
    }
    if (result != 0)
        session_.RaiseFailure(result);
    // What the server writes to its standard error is of no use here, and
    // left unread it would fill the channel's window.
    session_.Await([&] { return libssh2_channel_handle_extended_data2(channel_, LIBSSH2_CHANNEL_EXTENDED_DATA_IGNORE); });

    Send(sftp::InitPacket(kSftpVersion));
    const std::optional<sftp::ServerVersion> version = sftp::ParseVersion(Receive());
    if (!version)
        RaiseDamaged(QT_TRANSLATE_NOOP("Tarnwick", "版本应答不完整"));
    version_ = *version;
}

SftpRenameChannel::~SftpRenameChannel()
{
    if (channel_ == nullptr)
        return;
    if (!session_.Spoilt()) {
        try {
            session_.Await([&] { return libssh2_channel_free(channel_); }, 2000ms);
            return;
        } catch (const Error&) {
        }
    }
    session_.Release([&] { return libssh2_channel_free(channel_); });
}

sftp::Status SftpRenameChannel::PosixRename(std::string_view from, std::string_view to)
{
    const std::uint32_t id = nextId_++;
    Send(sftp::ExtendedPacket(id, sftp::kPosixRename, from, to));
    const std::optional<sftp::Status> status = sftp::ParseStatus(Receive());
    if (!status)
        RaiseDamaged(QT_TRANSLATE_NOOP("Tarnwick", "改名的应答不完整"));
    if (status->id != id)
        RaiseDamaged(QT_TRANSLATE_NOOP("Tarnwick", "应答与请求不符"));
    return *status;
}

void SftpRenameChannel::Send(const std::string& packet)
{
    std::size_t sent = 0;
    while (sent < packet.size()) {
        const int result = session_.Await([&] {
            return static_cast<int>(libssh2_channel_write_ex(channel_, 0, packet.data() + sent, packet.size() - sent));
        });
        if (result < 0)
            session_.RaiseFailure(result);
        sent += static_cast<std::size_t>(result);
    }
}

std::string SftpRenameChannel::Receive()
{
    char buffer[16 * 1024];
    for (;;) {
        if (std::optional<std::string> payload = reader_.Next())
            return std::move(*payload);
        if (reader_.Broken())
            RaiseDamaged(QT_TRANSLATE_NOOP("Tarnwick", "应答的长度不对"));
        const int result = session_.Await([&] { return static_cast<int>(libssh2_channel_read_ex(channel_, 0, buffer, sizeof buffer)); });
        if (result < 0)
            session_.RaiseFailure(result);
        // libssh2 has no data only at the channel's end, else it would block.
        if (result == 0)
            RaiseDamaged(QT_TRANSLATE_NOOP("Tarnwick", "服务器关闭了 SFTP 通道"));
        reader_.Append(std::string_view(buffer, static_cast<std::size_t>(result)));
    }
}

void SftpRenameChannel::RaiseDamaged(const char* phrase)
{
    // Whatever follows on the channel cannot be told apart from this answer.
    session_.Spoil();
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的 SFTP 应答无法使用：%2。请稍后再试，或请服务器管理员检查 SFTP 服务。"));
    throw TransferError(message.Arg(session_.Server()).Phrase(phrase), TransferFailure::Damaged);
}

} // namespace tarnwick::publish
