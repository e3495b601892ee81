#include "publish/ssh_session.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "publish/shown_text.h"
#include "publish/ssh_known_hosts.h"

#include <libssh2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace tarnwick::publish {
namespace {

using namespace std::chrono_literals;

constexpr auto kTickInterval = 250ms;
// What libssh2 1.10 verifies, the kinds OpenSSH prefers first; ssh-rsa last,
// as servers that still sign with SHA-1 are few.
constexpr const char* kHostKeyOrder[] = {"ssh-ed25519", "ecdsa-sha2-nistp256", "ecdsa-sha2-nistp384", "ecdsa-sha2-nistp521",
                                         "ssh-rsa"};

void StartLibrary()
{
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] { result = libssh2_init(0); });
    if (result != 0)
        throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "无法启动 SSH 库（libssh2）。")), TransferFailure::Connection);
}

// Calls a libssh2 call that frees something on a shut socket. Nothing there
// can block, so a call that still says it would is not called forever: what
// it holds is then left rather than the caller hung.
void CallOnShutSocket(const std::function<int()>& call)
{
    for (int tries = 0; tries < 4 && call() == LIBSSH2_ERROR_EAGAIN; ++tries) {
    }
}

std::string ServerText(const std::string& host, int port)
{
    const std::string shown = Shown(host);
    return (shown.find(':') != std::string::npos ? "[" + shown + "]" : shown) + ":" + std::to_string(port);
}

bool IsConnectionFailure(int code)
{
    switch (code) {
    case LIBSSH2_ERROR_SOCKET_NONE:
    case LIBSSH2_ERROR_BANNER_RECV:
    case LIBSSH2_ERROR_BANNER_SEND:
    case LIBSSH2_ERROR_SOCKET_SEND:
    case LIBSSH2_ERROR_SOCKET_RECV:
    case LIBSSH2_ERROR_TIMEOUT:
    case LIBSSH2_ERROR_SOCKET_TIMEOUT:
    case LIBSSH2_ERROR_SOCKET_DISCONNECT:
    case LIBSSH2_ERROR_CHANNEL_CLOSED:
    case LIBSSH2_ERROR_CHANNEL_EOF_SENT:
    case LIBSSH2_ERROR_BAD_SOCKET: return true;
    default: return false;
    }
}

// Whether a login attempt was only refused, as against the connection failing.
bool IsRefusal(int code)
{
    return code == LIBSSH2_ERROR_AUTHENTICATION_FAILED || code == LIBSSH2_ERROR_PUBLICKEY_UNVERIFIED ||
           code == LIBSSH2_ERROR_PASSWORD_EXPIRED || code == LIBSSH2_ERROR_METHOD_NONE;
}

bool Offers(std::string_view methods, std::string_view method)
{
    while (!methods.empty()) {
        const std::size_t comma = std::min(methods.find(','), methods.size());
        if (methods.substr(0, comma) == method)
            return true;
        methods.remove_prefix(std::min(comma + 1, methods.size()));
    }
    return false;
}

std::string Joined(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items)
        joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

// keyboard-interactive: the password answers each prompt, for a few rounds.
struct PromptAnswers {
    const std::string* password;
    int rounds = 0;
};

void AnswerPrompts(const char*, int, const char*, int, int promptCount, const LIBSSH2_USERAUTH_KBDINT_PROMPT*,
                   LIBSSH2_USERAUTH_KBDINT_RESPONSE* responses, void** abstract)
{
    auto* answers = static_cast<PromptAnswers*>(*abstract);
    // A server that keeps asking gets empty answers and refuses in the end.
    const bool answer = ++answers->rounds <= 3;
    for (int i = 0; i < promptCount; ++i) {
        responses[i].text = nullptr;
        responses[i].length = 0;
        if (!answer)
            continue;
        // libssh2 frees the answers with its allocator, the C library's.
        const std::string& password = *answers->password;
        auto* text = static_cast<char*>(std::malloc(password.size() + 1));
        if (text == nullptr)
            continue;
        std::memcpy(text, password.c_str(), password.size() + 1);
        responses[i].text = text;
        responses[i].length = static_cast<unsigned int>(password.size());
    }
}

#ifdef _WIN32
// libssh2 opens key files by narrow names, in the ANSI code page.
std::optional<std::string> NarrowPath(const std::filesystem::path& path)
{
    try {
        return path.string();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
#else
std::optional<std::string> NarrowPath(const std::filesystem::path& path) { return path.native(); }
#endif

} // namespace

SshSession::SshSession(const std::string& host, int port, const Credentials& credentials, const TrustSettings& trust,
                       const SshTimeouts& timeouts)
    : timeouts_(timeouts), server_(ServerText(host, port))
{
    StartLibrary();
    session_ = libssh2_session_init_ex(nullptr, nullptr, nullptr, nullptr);
    if (session_ == nullptr)
        throw std::bad_alloc();
    try {
        libssh2_session_set_blocking(session_, 0);
        Handshake(host, port, trust);
        LogIn(credentials);
    } catch (...) {
        Spoil();
        CallOnShutSocket([&] { return libssh2_session_free(session_); });
        throw;
    }
}

SshSession::~SshSession()
{
    if (!spoilt_) {
        try {
            Await([&] { return libssh2_session_disconnect_ex(session_, SSH_DISCONNECT_BY_APPLICATION, "", ""); }, 2000ms);
        } catch (const Error&) {
        }
    }
    // Channels not yet closed are freed without waiting for the server.
    socket_.Shutdown();
    CallOnShutSocket([&] { return libssh2_session_free(session_); });
}

void SshSession::Spoil()
{
    spoilt_ = true;
    socket_.Shutdown();
}

void SshSession::Release(const std::function<int()>& call) noexcept
{
    Spoil();
    CallOnShutSocket(call);
}

int SshSession::LastErrorCode() const { return libssh2_session_last_errno(session_); }

int SshSession::Await(const std::function<int()>& call, const std::function<void()>& tick)
{
    if (spoilt_)
        RaiseFailure(LIBSSH2_ERROR_SOCKET_DISCONNECT);
    const auto deadline = std::chrono::steady_clock::now() + timeouts_.silence;
    auto lastTick = std::chrono::steady_clock::now();
    for (;;) {
        const int result = call();
        if (result != LIBSSH2_ERROR_EAGAIN)
            return result;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Spoil();
            Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 已有 %2 秒没有应答。请检查网络后再试。"));
            message.Arg(server_).Arg(std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeouts_.silence).count()));
            throw TransferError(message, TransferFailure::Connection);
        }
        const int directions = libssh2_session_block_directions(session_);
        std::chrono::milliseconds wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + 1ms;
        if (tick)
            wait = std::min<std::chrono::milliseconds>(wait, kTickInterval);
        if (directions == 0)
            wait = std::min<std::chrono::milliseconds>(wait, 10ms);
        socket_.Wait((directions & LIBSSH2_SESSION_BLOCK_INBOUND) != 0, (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) != 0, wait);
        if (tick && std::chrono::steady_clock::now() - lastTick >= kTickInterval) {
            lastTick = std::chrono::steady_clock::now();
            try {
                tick();
            } catch (...) {
                Spoil();
                throw;
            }
        }
    }
}

int SshSession::Await(const std::function<int()>& call, std::chrono::milliseconds limit)
{
    const std::chrono::milliseconds silence = timeouts_.silence;
    timeouts_.silence = std::min(limit, silence);
    try {
        const int result = Await(call);
        timeouts_.silence = silence;
        return result;
    } catch (...) {
        timeouts_.silence = silence;
        throw;
    }
}

void SshSession::RaiseFailure(int code)
{
    char* text = nullptr;
    int length = 0;
    libssh2_session_last_error(session_, &text, &length, 0);
    const std::string said = text != nullptr && length > 0 ? Shown(std::string_view(text, static_cast<std::size_t>(length)), 200) : std::to_string(code);
    Spoil();
    if (IsConnectionFailure(code)) {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "与服务器 %1 的连接断开了（%2）。请检查网络后再试。"));
        message.Arg(server_).Reason(said, QT_TRANSLATE_NOOP("Tarnwick", "连接中断"));
        throw TransferError(message, TransferFailure::Connection);
    }
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的应答无法使用（%2）。请稍后再试，或请服务器管理员检查 SSH 服务。"));
    message.Arg(server_).Reason(said, QT_TRANSLATE_NOOP("Tarnwick", "SSH 协议出错"));
    throw TransferError(message, TransferFailure::Damaged);
}

void SshSession::Handshake(const std::string& host, int port, const TrustSettings& trust)
{
    std::unique_ptr<KnownHostsFile> known;
    if (!trust.knownHosts.empty()) {
        try {
            known = std::make_unique<KnownHostsFile>(session_, trust.knownHosts);
        } catch (const TransferError&) {
            throw;
        } catch (const Error& error) {
            throw TransferError(error.Text(), TransferFailure::HostKey);
        }
        // A key type remembered for the host is asked for first, as OpenSSH
        // does: a server's other key would otherwise pass for an unknown host.
        std::vector<std::string> order = known->KnownTypes(KnownHostName(host, port));
        for (const char* type : kHostKeyOrder)
            if (std::find(order.begin(), order.end(), type) == order.end())
                order.push_back(type);
        std::string preference;
        for (const std::string& type : order)
            preference += (preference.empty() ? "" : ",") + type;
        libssh2_session_method_pref(session_, LIBSSH2_METHOD_HOSTKEY, preference.c_str());
    }

    socket_ = TcpSocket::Connect(host, port, timeouts_.connect);
    const int result = Await([&] { return libssh2_session_handshake(session_, static_cast<libssh2_socket_t>(socket_.Get())); });
    if (result != 0) {
        char* text = nullptr;
        int length = 0;
        libssh2_session_last_error(session_, &text, &length, 0);
        const char* phrase = result == LIBSSH2_ERROR_KEX_FAILURE || result == LIBSSH2_ERROR_METHOD_NONE
                                 ? QT_TRANSLATE_NOOP("Tarnwick", "双方没有共同支持的加密算法")
                             : result == LIBSSH2_ERROR_BANNER_RECV ? QT_TRANSLATE_NOOP("Tarnwick", "对方不像是 SSH 服务器")
                                                                   : QT_TRANSLATE_NOOP("Tarnwick", "连接中断");
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "无法与服务器 %1 建立 SSH 连接（%2）。请检查地址和端口。"));
        message.Arg(server_).Reason(text != nullptr ? Shown(std::string_view(text, static_cast<std::size_t>(length)), 200) : "", phrase);
        throw TransferError(message, TransferFailure::Connection);
    }
    CheckHostKey(host, port, trust, known.get());
}

void SshSession::CheckHostKey(const std::string& host, int port, const TrustSettings& trust, KnownHostsFile* known)
{
    std::size_t length = 0;
    int type = LIBSSH2_HOSTKEY_TYPE_UNKNOWN;
    const char* blob = libssh2_session_hostkey(session_, &length, &type);
    if (blob == nullptr)
        RaiseFailure(LIBSSH2_ERROR_PROTO);
    const HostKey key{std::string(blob, length), type};
    const std::string fingerprint = publish::HostKeyFingerprint(key.blob);
    fingerprint_ = fingerprint;
    if (HostKeyTypeName(type).empty()) {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的主机密钥是 Tarnwick 不支持的类型（指纹 %2）。"));
        throw TransferError(message.Arg(server_).Arg(fingerprint), TransferFailure::HostKey);
    }
    const std::string name = KnownHostName(host, port);
    const KnownHostsFile::Match match = known != nullptr ? known->Check(name, key) : KnownHostsFile::Match::Unknown;
    const bool acceptedByFingerprint = trust.acceptedFingerprint == fingerprint;
    const std::string knownFile = PathText(trust.knownHosts);
    try {
        switch (match) {
        case KnownHostsFile::Match::Known: return;
        case KnownHostsFile::Match::Revoked: {
            Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的主机密钥（指纹 %2）已在 %3 中吊销，不能使用。"));
            throw TransferError(message.Arg(server_).Arg(fingerprint).Arg(knownFile), TransferFailure::HostKey);
        }
        case KnownHostsFile::Match::Changed: {
            if (acceptedByFingerprint) {
                known->Replace(name, key);
                return;
            }
            Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的主机密钥变了：新密钥的指纹是 %2，与 %3 中记下的不同。"
                                                          "可能有人冒充这台服务器；请向服务器管理员核实新指纹，无误后再明确接受它。"));
            throw TransferError(message.Arg(server_).Arg(fingerprint).Arg(knownFile), TransferFailure::HostKey);
        }
        case KnownHostsFile::Match::Unknown: {
            const bool accepted =
                acceptedByFingerprint || (trust.askUnknownHostKey && trust.askUnknownHostKey(HostKeyQuestion{server_, fingerprint, false}));
            if (!accepted) {
                Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的主机密钥还未知（指纹 %2）。请向服务器管理员核实指纹，无误后再接受它。"));
                throw TransferError(message.Arg(server_).Arg(fingerprint), TransferFailure::HostKey);
            }
            if (known != nullptr)
                known->Add(name, key);
            return;
        }
        }
    } catch (const TransferError&) {
        throw;
    } catch (const Error& error) {
        // The key was accepted but cannot be remembered.
        throw TransferError(error.Text(), TransferFailure::HostKey);
    }
}

bool SshSession::TryAgent(const std::string& user)
{
    LIBSSH2_AGENT* agent = libssh2_agent_init(session_);
    if (agent == nullptr)
        return false;
    bool accepted = false;
    try {
        if (Await([&] { return libssh2_agent_connect(agent); }) == 0 &&
            Await([&] { return libssh2_agent_list_identities(agent); }) == 0) {
            libssh2_agent_publickey* identity = nullptr;
            while (!accepted && libssh2_agent_get_identity(agent, &identity, identity) == 0) {
                const int result = Await([&] { return libssh2_agent_userauth(agent, user.c_str(), identity); });
                accepted = result == 0;
                if (!accepted && !IsRefusal(result) && IsConnectionFailure(result))
                    break;
            }
        }
    } catch (...) {
        libssh2_agent_disconnect(agent);
        libssh2_agent_free(agent);
        throw;
    }
    libssh2_agent_disconnect(agent);
    libssh2_agent_free(agent);
    return accepted;
}

void SshSession::LogIn(const Credentials& credentials)
{
    const std::string& user = credentials.user;
    const unsigned userLength = static_cast<unsigned>(user.size());
    const char* list = AwaitPointer<char*>([&] { return libssh2_userauth_list(session_, user.c_str(), userLength); });
    if (list == nullptr) {
        if (libssh2_userauth_authenticated(session_))
            return;
        RaiseFailure(LastErrorCode());
    }
    const std::string methods = list;
    std::vector<std::string> tried;
    bool keyFileUnusable = false;
    bool hungUp = false;
    auto done = [&](int result) {
        if (result == 0)
            return true;
        // A server that hangs up after too many attempts has refused them
        // all; one that hangs up at the first has failed.
        if (IsConnectionFailure(result) && !tried.empty())
            hungUp = true;
        else if (!IsRefusal(result) && result != LIBSSH2_ERROR_FILE)
            RaiseFailure(result);
        return false;
    };

    if (Offers(methods, "publickey")) {
#ifdef _WIN32
        const bool agentWanted = true; // Pageant or the system's agent, when one runs
#else
        const char* agentSocket = std::getenv("SSH_AUTH_SOCK");
        const bool agentWanted = agentSocket != nullptr && *agentSocket != '\0';
#endif
        if (agentWanted) {
            if (TryAgent(user))
                return;
            tried.push_back("publickey (ssh-agent)");
        }
        if (credentials.keyFile && !hungUp) {
            const std::optional<std::string> path = NarrowPath(*credentials.keyFile);
            // The public half from the .pub file beside the key, where OpenSSH
            // keeps it: libssh2 on mbedtls (Windows) takes it out of RSA PEM
            // keys only, neither out of ECDSA keys nor out of OpenSSH's format.
            std::filesystem::path publicFile = *credentials.keyFile;
            publicFile += ".pub";
            std::error_code error;
            const std::optional<std::string> publicPath =
                std::filesystem::is_regular_file(publicFile, error) ? NarrowPath(publicFile) : std::nullopt;
            const std::string passphrase = credentials.keyPassphrase.value_or("");
            int result = LIBSSH2_ERROR_FILE;
            if (path)
                result = Await([&] {
                    return libssh2_userauth_publickey_fromfile_ex(session_, user.c_str(), userLength,
                                                                  publicPath ? publicPath->c_str() : nullptr, path->c_str(),
                                                                  credentials.keyPassphrase ? passphrase.c_str() : nullptr);
                });
            if (done(result))
                return;
            keyFileUnusable = result == LIBSSH2_ERROR_FILE;
            tried.push_back("publickey (" + PathText(*credentials.keyFile) + ")");
        }
    }
    if (credentials.password && !hungUp) {
        const std::string& password = *credentials.password;
        if (Offers(methods, "password")) {
            const int result = Await([&] {
                return libssh2_userauth_password_ex(session_, user.c_str(), userLength, password.c_str(),
                                                    static_cast<unsigned>(password.size()), nullptr);
            });
            if (done(result))
                return;
            tried.push_back("password");
        }
        if (Offers(methods, "keyboard-interactive") && !hungUp) {
            PromptAnswers answers{&password};
            void** abstract = libssh2_session_abstract(session_);
            *abstract = &answers;
            const int result = Await([&] { return libssh2_userauth_keyboard_interactive_ex(session_, user.c_str(), userLength, AnswerPrompts); });
            *abstract = nullptr;
            if (done(result))
                return;
            tried.push_back("keyboard-interactive");
        }
    }

    if (keyFileUnusable) {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "无法用密钥文件“%1”登录服务器 %2：文件读不出，口令不对，或者密钥类型不受支持。"));
        throw TransferError(message.Arg(PathText(*credentials.keyFile)).Arg(server_), TransferFailure::Authentication);
    }
    if (tried.empty()) {
        Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 只接受这些登录方式：%2；请为用户 %3 给出相应的密码或密钥。"));
        throw TransferError(message.Arg(server_).Arg(Shown(methods, 200)).Arg(Shown(user)), TransferFailure::Authentication);
    }
    Message message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 拒绝了用户 %2 的登录（试过：%3）。请检查用户名、密码或密钥。"));
    throw TransferError(message.Arg(server_).Arg(Shown(user)).Arg(Joined(tried)), TransferFailure::Authentication);
}

} // namespace tarnwick::publish
