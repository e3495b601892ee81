#include "publish/sftp_destination.h"

#include "base/file_io.h"
#include "base/translatable.h"
#include "publish/sftp_packets.h"
#include "publish/sftp_rename_channel.h"
#include "publish/shown_text.h"

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <span>
#include <vector>

namespace tarnwick::publish {
namespace {

using namespace std::chrono_literals;

// Bytes handed to libssh2 at once: it sends them as many write requests
// without waiting for each answer, so that the pipe stays full. OpenSSH's
// own client keeps 2 MB in flight; the SSH channel's window allows as much.
constexpr std::size_t kPipeline = 8 * 1024 * 1024;
constexpr long kFileMode = 0644;
constexpr long kFolderMode = 0755;

// Server texts go into messages without what a terminal would take for commands.
std::string ServerWords(std::string_view text)
{
    std::string clean(text.substr(0, 200));
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return Shown(clean, 200);
}

TransferFailure FailureOfStatus(unsigned long code)
{
    switch (code) {
    case 2:  // no such file
    case 10: // no such path
        return TransferFailure::NotFound;
    case 5: // bad message
        return TransferFailure::Damaged;
    case 6: // no connection
    case 7: // connection lost
        return TransferFailure::Connection;
    default: return TransferFailure::Refused;
    }
}

// Why the server refused, in the operator's words where the code tells it,
// added to the message.
Message& WithStatus(Message& message, unsigned long code, std::string_view serverText = {})
{
    const char* phrase = nullptr;
    switch (code) {
    case 2:
    case 10: phrase = QT_TRANSLATE_NOOP("Tarnwick", "文件或文件夹不存在"); break;
    case 3: phrase = QT_TRANSLATE_NOOP("Tarnwick", "没有权限"); break;
    case 4: phrase = QT_TRANSLATE_NOOP("Tarnwick", "服务器没有说明原因（磁盘满了吗？）"); break;
    case 5: phrase = QT_TRANSLATE_NOOP("Tarnwick", "服务器认为请求有误"); break;
    case 6:
    case 7: phrase = QT_TRANSLATE_NOOP("Tarnwick", "连接中断"); break;
    case 8: phrase = QT_TRANSLATE_NOOP("Tarnwick", "服务器不支持这个操作"); break;
    case 11: phrase = QT_TRANSLATE_NOOP("Tarnwick", "文件已存在"); break;
    case 12: phrase = QT_TRANSLATE_NOOP("Tarnwick", "文件系统是只读的"); break;
    case 14: phrase = QT_TRANSLATE_NOOP("Tarnwick", "服务器磁盘空间不足"); break;
    case 15: phrase = QT_TRANSLATE_NOOP("Tarnwick", "超出了磁盘配额"); break;
    case 24: phrase = QT_TRANSLATE_NOOP("Tarnwick", "这是一个文件夹"); break;
    default: break;
    }
    Message reason = serverText.empty() ? Message() : Message(QT_TRANSLATE_NOOP("Tarnwick", "%1（服务器说：%2）"));
    Message& target = serverText.empty() ? message : reason;
    if (phrase != nullptr)
        target.Phrase(phrase);
    else
        target.Inner(Message(QT_TRANSLATE_NOOP("Tarnwick", "SFTP 状态码 %1")).Arg(std::to_string(code)));
    if (serverText.empty())
        return message;
    return message.Inner(reason.Arg(ServerWords(serverText)));
}

constexpr const char* kCannotWrite = QT_TRANSLATE_NOOP("Tarnwick", "无法把“%1”上传到服务器 %2：%3。");
constexpr const char* kCannotRead = QT_TRANSLATE_NOOP("Tarnwick", "无法从服务器 %2 读取“%1”：%3。");
constexpr const char* kCannotMakeFolder = QT_TRANSLATE_NOOP("Tarnwick", "无法在服务器 %2 上创建文件夹“%1”：%3。");
constexpr const char* kCannotRemove = QT_TRANSLATE_NOOP("Tarnwick", "无法删除服务器 %2 上的“%1”：%3。");
constexpr const char* kCannotRename = QT_TRANSLATE_NOOP("Tarnwick", "无法在服务器 %2 上把“%1”改名为“%3”：%4。");

class SftpDestination final : public Destination {
public:
    SftpDestination(SftpAddress address, Credentials credentials, TrustSettings trust, SshTimeouts timeouts)
        : address_(std::move(address)), credentials_(std::move(credentials)), trust_(std::move(trust)), timeouts_(timeouts)
    {
    }

    ~SftpDestination() override { Disconnect(); }

    void Open() override { Connect(); }

    std::optional<std::string> Read(const std::string& path, std::size_t limit) override
    {
        Connect();
        const std::string remote = Remote(path);
        LIBSSH2_SFTP_HANDLE* handle = OpenHandle(remote, LIBSSH2_FXF_READ, 0);
        if (handle == nullptr) {
            const int result = session_->LastErrorCode();
            if (result == LIBSSH2_ERROR_SFTP_PROTOCOL && FailureOfStatus(libssh2_sftp_last_error(sftp_)) == TransferFailure::NotFound)
                return std::nullopt;
            RaiseSftp(result, Message(kCannotRead).Arg(Shown(remote)).Arg(session_->Server()));
        }
        try {
            LIBSSH2_SFTP_ATTRIBUTES attributes{};
            const int stat = session_->Await([&] { return libssh2_sftp_fstat_ex(handle, &attributes, 0); });
            if (stat != 0)
                RaiseSftp(stat, Message(kCannotRead).Arg(Shown(remote)).Arg(session_->Server()));
            if ((attributes.flags & LIBSSH2_SFTP_ATTR_SIZE) && attributes.filesize > limit)
                RaiseTooLarge(remote, limit);
            std::string bytes;
            std::vector<char> buffer(64 * 1024);
            for (;;) {
                const int got = session_->Await([&] { return static_cast<int>(libssh2_sftp_read(handle, buffer.data(), buffer.size())); });
                if (got < 0)
                    RaiseSftp(got, Message(kCannotRead).Arg(Shown(remote)).Arg(session_->Server()));
                if (got == 0)
                    break;
                if (bytes.size() + static_cast<std::size_t>(got) > limit)
                    RaiseTooLarge(remote, limit);
                bytes.append(buffer.data(), static_cast<std::size_t>(got));
            }
            Close(handle, Message(kCannotRead).Arg(Shown(remote)).Arg(session_->Server()));
            return bytes;
        } catch (...) {
            // Read-ahead requests may still be on their way.
            session_->Spoil();
            throw;
        }
    }

    void Write(const std::filesystem::path& local, const std::string& path, const TransferProgress& progress) override
    {
        std::optional<InputFile> input;
        std::uint64_t size = 0;
        try {
            input.emplace(local, local);
            input->ExpectSequentialReading();
            size = input->RegularFileSize();
        } catch (const Error& error) {
            throw TransferError(error.Text(), error.Kind() == ErrorKind::NotFound ? TransferFailure::NotFound : TransferFailure::Refused);
        }
        Upload(path, size, [&](std::span<char> piece) {
            try {
                input->ReadExactly(std::as_writable_bytes(piece));
            } catch (const Error& error) {
                throw TransferError(error.Text(), TransferFailure::Refused);
            }
        }, progress);
    }

    void WriteBytes(std::string_view bytes, const std::string& path) override
    {
        std::size_t taken = 0;
        Upload(path, bytes.size(), [&](std::span<char> piece) {
            std::memcpy(piece.data(), bytes.data() + taken, piece.size());
            taken += piece.size();
        }, {});
    }

    ReplaceWay Replace(const std::string& from, const std::string& to) override
    {
        Connect();
        const std::string remoteFrom = Remote(from);
        const std::string remoteTo = Remote(to);
        auto failed = [&] { return Message(kCannotRename).Arg(Shown(remoteFrom)).Arg(session_->Server()).Arg(Shown(remoteTo)); };
        if (!renamesAsked_) {
            renamesAsked_ = true;
            try {
                renames_ = std::make_unique<SftpRenameChannel>(*session_);
            } catch (const TransferError& error) {
                // A server that allows no second channel still renames, the plain way.
                if (error.Failure() != TransferFailure::Refused)
                    throw;
            }
        }
        if (renames_ != nullptr && renames_->OffersPosixRename()) {
            const sftp::Status status = renames_->PosixRename(remoteFrom, remoteTo);
            if (status.code == sftp::kStatusOk)
                return ReplaceWay::Atomic;
            if (status.code != sftp::kStatusOpUnsupported)
                {
                Message message = failed();
                throw TransferError(WithStatus(message, status.code, status.message), FailureOfStatus(status.code));
            }
        }
        // SFTP's own rename refuses an existing target.
        Remove(to);
        const int result = session_->Await([&] {
            return libssh2_sftp_rename_ex(sftp_, remoteFrom.c_str(), static_cast<unsigned>(remoteFrom.size()), remoteTo.c_str(),
                                          static_cast<unsigned>(remoteTo.size()), 0);
        });
        if (result != 0)
            RaiseSftp(result, failed());
        return ReplaceWay::DeleteThenRename;
    }

    void Remove(const std::string& path) override
    {
        Connect();
        const std::string remote = Remote(path);
        const int result = session_->Await(
            [&] { return libssh2_sftp_unlink_ex(sftp_, remote.c_str(), static_cast<unsigned>(remote.size())); });
        if (result == 0)
            return;
        if (result == LIBSSH2_ERROR_SFTP_PROTOCOL && FailureOfStatus(libssh2_sftp_last_error(sftp_)) == TransferFailure::NotFound)
            return;
        RaiseSftp(result, Message(kCannotRemove).Arg(Shown(remote)).Arg(session_->Server()));
    }

private:
    // Connects unless a sound connection is there, and checks the root folder.
    void Connect()
    {
        if (session_ != nullptr && !session_->Spoilt())
            return;
        Disconnect();
        session_ = std::make_unique<SshSession>(address_.host, address_.port, credentials_, trust_, timeouts_);
        // The key the operator accepted holds for the connections made again
        // later, without a second question.
        if (!trust_.acceptedFingerprint)
            trust_.acceptedFingerprint = session_->HostKeyFingerprint();
        sftp_ = session_->AwaitPointer<LIBSSH2_SFTP*>([&] { return libssh2_sftp_init(session_->Get()); });
        if (sftp_ == nullptr) {
            const int result = session_->LastErrorCode();
            if (result != LIBSSH2_ERROR_CHANNEL_FAILURE && result != LIBSSH2_ERROR_REQUEST_DENIED)
                session_->RaiseFailure(result);
            session_->Spoil();
            Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 不提供 SFTP。请检查地址，或请服务器管理员打开 SFTP。"));
            throw TransferError(message.Arg(session_->Server()), TransferFailure::Refused);
        }
        CheckRoot();
    }

    // Ends the connection: politely when it is sound. A spoilt one is shut
    // first and libssh2's handle, channels and SFTP subsystem are only freed:
    // a cancelled upload leaves up to kPipeline bytes of requests queued on
    // its handle.
    void Disconnect() noexcept
    {
        if (session_ == nullptr)
            return;
        if (!session_->Spoilt()) {
            try {
                renames_.reset();
                if (sftp_ != nullptr) {
                    session_->Await([&] { return libssh2_sftp_shutdown(sftp_); }, 2000ms);
                    sftp_ = nullptr;
                }
            } catch (const Error&) {
            }
        }
        if (open_ != nullptr)
            session_->Release([&] { return libssh2_sftp_close_handle(open_); });
        open_ = nullptr;
        renames_.reset();
        if (sftp_ != nullptr)
            session_->Release([&] { return libssh2_sftp_shutdown(sftp_); });
        sftp_ = nullptr;
        renamesAsked_ = false;
        folders_.clear();
        session_.reset();
    }

    void CheckRoot()
    {
        const std::string root = address_.rootPath.empty() ? "." : address_.rootPath;
        LIBSSH2_SFTP_ATTRIBUTES attributes{};
        const int result = session_->Await([&] {
            return libssh2_sftp_stat_ex(sftp_, root.c_str(), static_cast<unsigned>(root.size()), LIBSSH2_SFTP_STAT, &attributes);
        });
        const bool missing = result == LIBSSH2_ERROR_SFTP_PROTOCOL && FailureOfStatus(libssh2_sftp_last_error(sftp_)) == TransferFailure::NotFound;
        const bool notFolder = result == 0 && (attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) &&
                               !LIBSSH2_SFTP_S_ISDIR(attributes.permissions);
        if (missing || notFolder) {
            Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 上没有文件夹“%2”。请检查发布地址中的路径。"));
            throw TransferError(message.Arg(session_->Server()).Arg(Shown(root)), TransferFailure::NotFound);
        }
        if (result != 0)
            RaiseSftp(result, Message(kCannotRead).Arg(Shown(root)).Arg(session_->Server()));
    }

    std::string Remote(const std::string& path) const
    {
        const std::string& root = address_.rootPath;
        if (root.empty())
            return path;
        return root.back() == '/' ? root + path : root + "/" + path;
    }

    LIBSSH2_SFTP_HANDLE* OpenHandle(const std::string& remote, unsigned long flags, long mode)
    {
        open_ = session_->AwaitPointer<LIBSSH2_SFTP_HANDLE*>([&] {
            return libssh2_sftp_open_ex(sftp_, remote.c_str(), static_cast<unsigned>(remote.size()), flags, mode, LIBSSH2_SFTP_OPENFILE);
        });
        return open_;
    }

    // The failure of an SFTP call: the server's status, or a broken connection.
    [[noreturn]] void RaiseSftp(int result, Message message)
    {
        const unsigned long code = result == LIBSSH2_ERROR_SFTP_PROTOCOL ? libssh2_sftp_last_error(sftp_) : 0;
        if (code == 0)
            session_->RaiseFailure(result);
        throw TransferError(WithStatus(message, code), FailureOfStatus(code));
    }

    [[noreturn]] void RaiseTooLarge(const std::string& remote, std::size_t limit)
    {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 上的“%2”超过了 %3 字节，不像是 Tarnwick 写的文件。"));
        throw TransferError(message.Arg(session_->Server()).Arg(Shown(remote)).Arg(std::to_string(limit)), TransferFailure::Refused);
    }

    void Close(LIBSSH2_SFTP_HANDLE* handle, Message failed)
    {
        // Some servers report a failed write only here.
        const int result = session_->Await([&] { return libssh2_sftp_close_handle(handle); });
        // Gone whatever the server said.
        open_ = nullptr;
        if (result != 0)
            RaiseSftp(result, std::move(failed));
    }

    // Every folder on the way, made where missing.
    void MakeFolders(const std::string& path)
    {
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            const std::string folder = path.substr(0, slash);
            if (folders_.contains(folder))
                continue;
            const std::string remote = Remote(folder);
            const int result = session_->Await(
                [&] { return libssh2_sftp_mkdir_ex(sftp_, remote.c_str(), static_cast<unsigned>(remote.size()), kFolderMode); });
            if (result != 0) {
                // OpenSSH says only "failure" for a folder that is there already.
                const unsigned long code = result == LIBSSH2_ERROR_SFTP_PROTOCOL ? libssh2_sftp_last_error(sftp_) : 0;
                LIBSSH2_SFTP_ATTRIBUTES attributes{};
                const int stat = session_->Await([&] {
                    return libssh2_sftp_stat_ex(sftp_, remote.c_str(), static_cast<unsigned>(remote.size()), LIBSSH2_SFTP_STAT, &attributes);
                });
                if (stat != 0 || !(attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) || !LIBSSH2_SFTP_S_ISDIR(attributes.permissions)) {
                    Message message(kCannotMakeFolder);
                    message.Arg(Shown(remote)).Arg(session_->Server());
                    if (code == 0)
                        RaiseSftp(result, message);
                    throw TransferError(WithStatus(message, code), FailureOfStatus(code));
                }
            }
            folders_.insert(folder);
        }
    }

    // Opens the file for writing, making its folders when the server says
    // they are missing: most files go to folders that are there.
    LIBSSH2_SFTP_HANDLE* OpenForWriting(const std::string& path, const std::string& remote)
    {
        constexpr unsigned long kFlags = LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_TRUNC;
        LIBSSH2_SFTP_HANDLE* handle = OpenHandle(remote, kFlags, kFileMode);
        if (handle == nullptr && path.find('/') != std::string::npos) {
            const int result = session_->LastErrorCode();
            if (result == LIBSSH2_ERROR_SFTP_PROTOCOL && FailureOfStatus(libssh2_sftp_last_error(sftp_)) == TransferFailure::NotFound) {
                MakeFolders(path);
                handle = OpenHandle(remote, kFlags, kFileMode);
            }
        }
        if (handle == nullptr)
            RaiseSftp(session_->LastErrorCode(), Message(kCannotWrite).Arg(Shown(remote)).Arg(session_->Server()));
        return handle;
    }

    void Upload(const std::string& path, std::uint64_t size, const std::function<void(std::span<char>)>& fill,
                const TransferProgress& progress)
    {
        Connect();
        const std::string remote = Remote(path);
        LIBSSH2_SFTP_HANDLE* handle = OpenForWriting(path, remote);
        auto failed = [&] { return Message(kCannotWrite).Arg(Shown(remote)).Arg(session_->Server()); };
        std::uint64_t sent = 0;
        auto cancelled = [&] { return progress && !progress(sent); };
        try {
            // Bytes from `begin` to `end` are read and not yet acknowledged;
            // libssh2 wants them again on each call until they are.
            std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kPipeline, std::max<std::uint64_t>(size, 1))));
            std::size_t begin = 0;
            std::size_t end = 0;
            std::uint64_t read = 0;
            while (sent < size) {
                if (read < size && end - begin <= buffer.size() / 2) {
                    std::memmove(buffer.data(), buffer.data() + begin, end - begin);
                    end -= begin;
                    begin = 0;
                    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - end, size - read));
                    fill(std::span(buffer.data() + end, piece));
                    end += piece;
                    read += piece;
                }
                const int result = session_->Await(
                    [&] { return static_cast<int>(libssh2_sftp_write(handle, buffer.data() + begin, end - begin)); },
                    [&] {
                        if (cancelled())
                            throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消")), TransferFailure::Cancelled);
                    });
                if (result <= 0) {
                    // libssh2 drops the requests still queued, and one of them may be half sent.
                    session_->Spoil();
                    if (result == 0)
                        session_->RaiseFailure(LIBSSH2_ERROR_PROTO);
                    RaiseSftp(result, failed());
                }
                begin += static_cast<std::size_t>(result);
                sent += static_cast<std::uint64_t>(result);
                if (cancelled())
                    throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消")), TransferFailure::Cancelled);
            }
        } catch (...) {
            // Requests may be in flight: the connection is given up rather
            // than the handle closed, and the server closes the file. The
            // handle is freed with the connection.
            session_->Spoil();
            throw;
        }
        Close(handle, failed());
    }

    SftpAddress address_;
    Credentials credentials_;
    TrustSettings trust_;
    SshTimeouts timeouts_;
    std::unique_ptr<SshSession> session_;
    LIBSSH2_SFTP* sftp_ = nullptr;
    // The file open on the connection, if any: a transfer given up leaves it
    // for Disconnect to free.
    LIBSSH2_SFTP_HANDLE* open_ = nullptr;
    std::unique_ptr<SftpRenameChannel> renames_;
    bool renamesAsked_ = false;
    // Folders below the root known to be there on this connection.
    std::set<std::string> folders_;
};

} // namespace

std::unique_ptr<Destination> MakeSftpDestination(const SftpAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust)
{
    return MakeSftpDestination(address, credentials, trust, SshTimeouts{});
}

std::unique_ptr<Destination> MakeSftpDestination(const SftpAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust, const SshTimeouts& timeouts)
{
    return std::make_unique<SftpDestination>(address, credentials, trust, timeouts);
}

} // namespace tarnwick::publish
