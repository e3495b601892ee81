#include "publish/sftp_destination.h"
#include "publish/sftp_packets.h"
#include "publish/ssh_known_hosts.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

extern char** environ;

namespace tarnwick::publish {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// The extension channel's packets, as a hostile server could send them.

std::string Uint32(std::uint32_t value)
{
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string String(std::string_view text) { return Uint32(static_cast<std::uint32_t>(text.size())) + std::string(text); }

std::string VersionPayload(std::uint32_t version, const std::vector<std::pair<std::string, std::string>>& extensions)
{
    std::string payload = std::string(1, '\x02') + Uint32(version);
    for (const auto& [name, data] : extensions)
        payload += String(name) + String(data);
    return payload;
}

std::string StatusPayload(std::uint32_t id, std::uint32_t code) { return std::string(1, '\x65') + Uint32(id) + Uint32(code); }

TEST(SftpPackets, VersionListsTheServersExtensions)
{
    const std::string payload = VersionPayload(3, {{"posix-rename@openssh.com", "1"}, {"statvfs@openssh.com", "2"}});
    const std::optional<sftp::ServerVersion> version = sftp::ParseVersion(payload);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->version, 3u);
    EXPECT_TRUE(version->Offers("posix-rename@openssh.com"));
    EXPECT_FALSE(version->Offers("posix-rename"));

    const std::optional<sftp::ServerVersion> plain = sftp::ParseVersion(VersionPayload(3, {}));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->Offers("posix-rename@openssh.com"));
}

TEST(SftpPackets, VersionThatRunsPastItsEndIsRefused)
{
    const std::string whole = VersionPayload(3, {{"posix-rename@openssh.com", "1"}});
    // Cut anywhere inside the extension pair, or before the version ends.
    for (std::size_t size = 1; size < whole.size(); ++size) {
        if (size != 5) {
            EXPECT_FALSE(sftp::ParseVersion(whole.substr(0, size))) << size;
        }
    }
    // A name's length near 2^32 must not wrap around the bounds check.
    EXPECT_FALSE(sftp::ParseVersion(std::string(1, '\x02') + Uint32(3) + Uint32(0xFFFFFFFF) + "posix"));
    EXPECT_FALSE(sftp::ParseVersion(std::string(1, '\x02') + Uint32(3) + String("name") + Uint32(0xFFFFFFF0)));
    // A STATUS where VERSION belongs.
    EXPECT_FALSE(sftp::ParseVersion(StatusPayload(0, 0)));
    EXPECT_FALSE(sftp::ParseVersion(""));
}

TEST(SftpPackets, StatusWithAndWithoutItsTexts)
{
    const std::string full = StatusPayload(7, 4) + String("No space left") + String("en");
    const std::optional<sftp::Status> status = sftp::ParseStatus(full);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->id, 7u);
    EXPECT_EQ(status->code, 4u);
    EXPECT_EQ(status->message, "No space left");

    // Older servers send the code alone, or no language tag.
    ASSERT_TRUE(sftp::ParseStatus(StatusPayload(7, 0)));
    EXPECT_EQ(sftp::ParseStatus(StatusPayload(7, 0))->message, "");
    ASSERT_TRUE(sftp::ParseStatus(StatusPayload(7, 2) + String("gone")));

    for (std::size_t size = 1; size < 9; ++size)
        EXPECT_FALSE(sftp::ParseStatus(full.substr(0, size))) << size;
    EXPECT_FALSE(sftp::ParseStatus(StatusPayload(7, 4) + Uint32(100) + "short"));
    EXPECT_FALSE(sftp::ParseStatus(StatusPayload(7, 4) + String("text") + Uint32(0xFFFFFFFF)));
    EXPECT_FALSE(sftp::ParseStatus(VersionPayload(3, {})));
}

TEST(SftpPackets, ReaderCutsTheStreamIntoPacketsAndRefusesBadLengths)
{
    const std::string first = StatusPayload(1, 0);
    const std::string second = StatusPayload(2, 3) + String("denied") + String("");
    const std::string stream = Uint32(static_cast<std::uint32_t>(first.size())) + first +
                               Uint32(static_cast<std::uint32_t>(second.size())) + second;
    // Byte by byte: nothing before a packet is whole.
    sftp::PacketReader reader;
    std::vector<std::string> packets;
    for (const char c : stream) {
        reader.Append(std::string_view(&c, 1));
        while (std::optional<std::string> packet = reader.Next())
            packets.push_back(*packet);
        EXPECT_FALSE(reader.Broken());
    }
    EXPECT_EQ(packets, (std::vector<std::string>{first, second}));

    sftp::PacketReader empty;
    empty.Append(Uint32(0));
    EXPECT_TRUE(empty.Broken());
    EXPECT_FALSE(empty.Next());

    sftp::PacketReader huge(1024);
    huge.Append(Uint32(1025) + "\x65");
    EXPECT_TRUE(huge.Broken());
    EXPECT_FALSE(huge.Next());

    sftp::PacketReader largest(1024);
    largest.Append(Uint32(1024) + std::string(1024, 'x'));
    EXPECT_FALSE(largest.Broken());
    EXPECT_EQ(largest.Next()->size(), 1024u);
}

TEST(SftpPackets, RequestsAreFramedAsTheProtocolSays)
{
    EXPECT_EQ(sftp::InitPacket(3), Uint32(5) + "\x01" + Uint32(3));
    const std::string expected = std::string("\xC8") + Uint32(9) + String("posix-rename@openssh.com") + String("a.tmp") + String("a");
    EXPECT_EQ(sftp::ExtendedPacket(9, "posix-rename@openssh.com", "a.tmp", "a"),
              Uint32(static_cast<std::uint32_t>(expected.size())) + expected);
}

TEST(KnownHostNames, PortsOtherThan22AreBracketed)
{
    EXPECT_EQ(KnownHostName("Example.COM", 22), "example.com");
    EXPECT_EQ(KnownHostName("example.com", 2222), "[example.com]:2222");
}

// ---------------------------------------------------------------------------
// A real OpenSSH server on the loopback interface, started for the test as
// the current user.

constexpr const char* kSshd = "/usr/sbin/sshd";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string Output(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

bool MakeKey(const fs::path& file, const std::string& type, const std::string& passphrase = "")
{
    fs::create_directories(file.parent_path());
    fs::remove(file);
    fs::remove(file.string() + ".pub");
    return std::system(("ssh-keygen -q -t " + type + " -N '" + passphrase + "' -C tarnwick-test -f " + Quoted(file) +
                        " </dev/null >/dev/null 2>&1")
                           .c_str()) == 0;
}

// As ssh-keygen shows it: "SHA256:...".
std::string FingerprintOf(const fs::path& publicKey)
{
    const std::string line = Output("ssh-keygen -l -E sha256 -f " + Quoted(publicKey));
    const std::size_t start = line.find(' ') + 1;
    return line.substr(start, line.find(' ', start) - start);
}

std::string CurrentUser() { return getpwuid(geteuid())->pw_name; }

int FreePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

class SshServer {
public:
    // `extra` is added to the server's configuration.
    SshServer(fs::path folder, std::string extra = "") : folder_(std::move(folder)), extra_(std::move(extra)), port_(FreePort())
    {
        fs::create_directories(folder_);
        MakeKey(HostKey(), "ed25519");
    }
    ~SshServer() { Stop(); }

    int Port() const { return port_; }
    fs::path HostKey() const { return folder_ / "host_key"; }
    std::string HostKeyFingerprint() const { return FingerprintOf(HostKey().string() + ".pub"); }
    // The host key as a known_hosts line for this server.
    std::string KnownHostsLine() const { return "[127.0.0.1]:" + std::to_string(port_) + " " + ReadText(HostKey().string() + ".pub"); }
    void Authorize(const fs::path& publicKey)
    {
        std::ofstream(folder_ / "authorized_keys", std::ios::app) << ReadText(publicKey);
    }
    std::string Log() const { return ReadText(folder_ / "sshd.log"); }

    bool Start()
    {
        // sshd run as root confines its unauthenticated part there; Debian's
        // service makes it at start, which a machine without the service lacks.
        std::error_code ignored;
        if (geteuid() == 0)
            fs::create_directories("/run/sshd", ignored);
        WriteText(folder_ / "sshd_config", "ListenAddress 127.0.0.1\n"
                                           "HostKey " + HostKey().string() + "\n"
                                           "AuthorizedKeysFile " + (folder_ / "authorized_keys").string() + "\n"
                                           "PidFile none\nUsePAM no\nStrictModes no\n"
                                           "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                           "LogLevel VERBOSE\nMaxStartups 50\n" + extra_ + "\n"
                                           "Subsystem sftp " + subsystem_ + "\n");
        const std::string config = (folder_ / "sshd_config").string();
        const std::string port = std::to_string(port_);
        const std::string log = (folder_ / "sshd.log").string();
        std::vector<const char*> argv{kSshd, "-D", "-e", "-f", config.c_str(), "-p", port.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int spawned = posix_spawn(&pid_, kSshd, &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return false;
        }
        // Its own word, not a connection: a probe would leave a child of
        // sshd behind, and may meet a server of before a restart.
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (Log().find("Server listening on") != std::string::npos)
                return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    // The same server with another host key, as after a reinstall (or an impostor).
    bool RestartWithNewHostKey()
    {
        Stop();
        MakeKey(HostKey(), "ed25519");
        return Start();
    }

    void SetSubsystem(std::string command) { subsystem_ = std::move(command); }

private:
    fs::path folder_;
    std::string extra_;
    std::string subsystem_ = "internal-sftp";
    int port_;
    pid_t pid_ = -1;
};

class SftpDestinationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kSshd))
            GTEST_SKIP() << "OpenSSH's sshd is not installed";
        // The agent of whoever runs the tests must not log in for them.
        unsetenv("SSH_AUTH_SOCK");
        ASSERT_TRUE(MakeKey(userKey, "ed25519"));
        server.Authorize(userKey.string() + ".pub");
        fs::create_directories(site);
        WriteText(knownHosts, server.KnownHostsLine());
        StartServer();
    }

    void StartServer()
    {
        if (!server.Start())
            GTEST_SKIP() << "sshd does not start here: " << server.Log();
    }

    SftpAddress Address(std::string root = "") const { return {"127.0.0.1", server.Port(), root.empty() ? site.string() : root}; }
    Credentials KeyLogin() const { return {CurrentUser(), std::nullopt, userKey, std::nullopt}; }
    TrustSettings Trust() const { return {knownHosts, std::nullopt, nullptr, std::nullopt}; }

    std::unique_ptr<Destination> Open(const SftpAddress& address, const Credentials& credentials, const TrustSettings& trust)
    {
        std::unique_ptr<Destination> destination = MakeSftpDestination(address, credentials, trust);
        destination->Open();
        return destination;
    }
    std::unique_ptr<Destination> Open() { return Open(Address(), KeyLogin(), Trust()); }

    // The failure of opening a destination, which must fail.
    TransferError OpenFailure(const SftpAddress& address, const Credentials& credentials, const TrustSettings& trust)
    {
        try {
            Open(address, credentials, trust);
        } catch (const TransferError& error) {
            return error;
        }
        ADD_FAILURE() << "the destination opened";
        return TransferError(Message::Untranslated(""), TransferFailure::Damaged);
    }

    // Another ed25519 public key, as "ssh-ed25519 AAAA... comment\n".
    std::string OtherKey()
    {
        const fs::path key = temporary.path() / "keys" / "other";
        EXPECT_TRUE(MakeKey(key, "ed25519"));
        return ReadText(key.string() + ".pub");
    }

    tarnwick::testing::TemporaryFolder temporary;
    fs::path site = temporary.path() / "site";
    fs::path userKey = temporary.path() / "keys" / "user";
    fs::path knownHosts = temporary.path() / "ssh" / "known_hosts";
    SshServer server{temporary.path() / "server"};
};

std::string Pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 31 + i / 4096);
    return bytes;
}

// ---------------------------------------------------------------------------
// Files

TEST_F(SftpDestinationTest, UploadsIntoNewFoldersAndReplacesTheTargetWhole)
{
    const std::unique_ptr<Destination> destination = Open();
    const fs::path local = temporary.path() / "local.bin";
    const fs::path target = site / "patch" / "data" / "big.bin";
    const std::string first = Pattern(3 * 1024 * 1024 + 17, 'a');
    WriteText(local, first);

    std::vector<std::uint64_t> reported;
    destination->Write(local, "patch/data/big.bin.tmp", [&](std::uint64_t sent) {
        reported.push_back(sent);
        return true;
    });
    ASSERT_FALSE(reported.empty());
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(reported.back(), first.size());
    EXPECT_EQ(destination->Replace("patch/data/big.bin.tmp", "patch/data/big.bin"), ReplaceWay::Atomic);
    EXPECT_EQ(ReadText(target), first);
    EXPECT_FALSE(fs::exists(site / "patch" / "data" / "big.bin.tmp"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    // A reader that sees the target during each replace sees one version whole.
    const std::string second = Pattern(first.size() - 5000, 'q');
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<int> looks{0};
    std::thread reader([&] {
        while (!stop) {
            const std::string seen = ReadText(target);
            if (seen != first && seen != second)
                ++torn;
            ++looks;
        }
    });
    for (int round = 0; round < 6; ++round) {
        const std::string& bytes = round % 2 == 0 ? second : first;
        destination->WriteBytes(bytes, "patch/data/big.bin.tmp");
        EXPECT_EQ(destination->Replace("patch/data/big.bin.tmp", "patch/data/big.bin"), ReplaceWay::Atomic);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << looks << " looks";
    EXPECT_EQ(ReadText(target), first);

    // Empty files, and folders that are there already.
    destination->WriteBytes("", "patch/data/empty.txt");
    EXPECT_TRUE(fs::exists(site / "patch" / "data" / "empty.txt"));
    EXPECT_EQ(fs::file_size(site / "patch" / "data" / "empty.txt"), 0u);
}

TEST_F(SftpDestinationTest, ReadsPresentMissingAndOversizedFiles)
{
    const std::unique_ptr<Destination> destination = Open();
    const std::string manifest = Pattern(300 * 1024, 'm');
    WriteText(site / "manifest.json", manifest);

    EXPECT_EQ(destination->Read("manifest.json", manifest.size()), manifest);
    EXPECT_EQ(destination->Read("missing.json", 1024), std::nullopt);
    EXPECT_EQ(destination->Read("no/such/folder.json", 1024), std::nullopt);
    try {
        destination->Read("manifest.json", manifest.size() - 1);
        FAIL() << "a file above the limit was read";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::Refused);
        EXPECT_NE(std::string(error.what()).find(std::to_string(manifest.size() - 1)), std::string::npos) << error.what();
    }
    // The connection is made again after a refusal.
    EXPECT_EQ(destination->Read("manifest.json", manifest.size()), manifest);
}

TEST_F(SftpDestinationTest, RemovesQuietlyAndReportsWhatTheServerRefuses)
{
    const std::unique_ptr<Destination> destination = Open();
    WriteText(site / "old.txt", "old");
    destination->Remove("old.txt");
    EXPECT_FALSE(fs::exists(site / "old.txt"));
    EXPECT_NO_THROW(destination->Remove("old.txt"));

    // A file where a folder on the way belongs.
    WriteText(site / "patch", "a file");
    try {
        destination->WriteBytes("x", "patch/inner/file.txt");
        FAIL() << "a folder was made over a file";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::Refused);
        EXPECT_NE(std::string(error.what()).find((site / "patch").string()), std::string::npos) << error.what();
    }
    try {
        destination->Replace("missing.tmp", "missing.txt");
        FAIL() << "a missing file was renamed";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::NotFound);
    }
}

TEST_F(SftpDestinationTest, RootFolderMustBeThere)
{
    EXPECT_EQ(OpenFailure(Address((site / "missing").string()), KeyLogin(), Trust()).Failure(), TransferFailure::NotFound);
    WriteText(site / "file", "not a folder");
    EXPECT_EQ(OpenFailure(Address((site / "file").string()), KeyLogin(), Trust()).Failure(), TransferFailure::NotFound);

    // A relative root is below the login folder.
    const fs::path home = getpwuid(geteuid())->pw_dir;
    const std::string relative = fs::relative(site, home).generic_string();
    const std::unique_ptr<Destination> destination = Open(Address(relative), KeyLogin(), Trust());
    destination->WriteBytes("hello", "relative.txt");
    EXPECT_EQ(ReadText(site / "relative.txt"), "hello");
}

TEST_F(SftpDestinationTest, CancelStopsTheUploadAndTheNextCallsWork)
{
    const std::unique_ptr<Destination> destination = Open();
    const fs::path local = temporary.path() / "large.bin";
    WriteText(local, Pattern(64 * 1024 * 1024, 'c'));
    int calls = 0;
    try {
        destination->Write(local, "large.bin.tmp", [&](std::uint64_t) { return ++calls < 3; });
        FAIL() << "the upload went on";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::Cancelled);
    }
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(fs::exists(site / "large.bin"));

    // What the caller does next: removes the part and goes on.
    destination->Remove("large.bin.tmp");
    EXPECT_FALSE(fs::exists(site / "large.bin.tmp"));
    destination->WriteBytes("after", "after.txt");
    EXPECT_EQ(destination->Replace("after.txt", "final.txt"), ReplaceWay::Atomic);
    EXPECT_EQ(ReadText(site / "final.txt"), "after");
}

TEST_F(SftpDestinationTest, WriteRefusedMidUploadFailsAtOnceAndTheNextCallsWork)
{
    const char* sftpServer = "/usr/lib/openssh/sftp-server";
    if (!fs::exists(sftpServer))
        GTEST_SKIP() << "needs OpenSSH's sftp-server";
    // A server whose files cannot grow past a few megabytes, as on a full
    // disk: a write far into the upload is refused while many are in flight.
    const fs::path limited = temporary.path() / "limited-sftp-server";
    WriteText(limited, std::string("trap '' XFSZ\nulimit -f 8192\nexec ") + sftpServer + "\n");
    server.Stop();
    server.SetSubsystem("/bin/sh " + limited.string());
    StartServer();

    const std::unique_ptr<Destination> destination = Open();
    const fs::path local = temporary.path() / "large.bin";
    WriteText(local, Pattern(32 * 1024 * 1024, 'l'));
    const auto started = std::chrono::steady_clock::now();
    try {
        destination->Write(local, "large.bin", {});
        FAIL() << "the upload went past the server's limit";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::Refused) << error.what();
        EXPECT_NE(std::string(error.what()).find("large.bin"), std::string::npos) << error.what();
    }
    // Not after the silence timeout (a minute) that a hang would end in.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);

    destination->WriteBytes("after", "after.txt");
    EXPECT_EQ(destination->Replace("after.txt", "final.txt"), ReplaceWay::Atomic);
    EXPECT_EQ(ReadText(site / "final.txt"), "after");
}

TEST_F(SftpDestinationTest, ServerWithoutAtomicRenameHasTheTargetRemovedFirst)
{
    const char* sftpServer = "/usr/lib/openssh/sftp-server";
    if (!fs::exists(sftpServer) || !fs::exists("/usr/bin/python3"))
        GTEST_SKIP() << "needs OpenSSH's sftp-server and /usr/bin/python3";
    // The real sftp-server behind a filter that drops the extensions from
    // its VERSION answer.
    const fs::path filter = temporary.path() / "no_extensions.py";
    WriteText(filter, R"(import os, struct, subprocess, sys, threading
server = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
def send(descriptor, data):
    while data:
        data = data[os.write(descriptor, data):]
def forward():
    while True:
        data = os.read(0, 65536)
        if not data:
            break
        send(server.stdin.fileno(), data)
    server.stdin.close()
threading.Thread(target=forward, daemon=True).start()
def exactly(count):
    data = b''
    while len(data) < count:
        more = os.read(server.stdout.fileno(), count - len(data))
        if not more:
            sys.exit(0)
        data += more
    return data
payload = exactly(struct.unpack('>I', exactly(4))[0])
send(1, struct.pack('>I', 5) + payload[:5])
while True:
    data = os.read(server.stdout.fileno(), 65536)
    if not data:
        break
    send(1, data)
)");
    server.Stop();
    server.SetSubsystem("/usr/bin/python3 " + filter.string() + " " + sftpServer);
    StartServer();

    const std::unique_ptr<Destination> destination = Open();
    WriteText(site / "list.txt", "old list");
    destination->WriteBytes("new list", "list.txt.tmp");
    EXPECT_EQ(destination->Replace("list.txt.tmp", "list.txt"), ReplaceWay::DeleteThenRename);
    EXPECT_EQ(ReadText(site / "list.txt"), "new list");
    EXPECT_FALSE(fs::exists(site / "list.txt.tmp"));
    // And where there is nothing to replace.
    destination->WriteBytes("first", "fresh.txt.tmp");
    EXPECT_EQ(destination->Replace("fresh.txt.tmp", "fresh.txt"), ReplaceWay::DeleteThenRename);
    EXPECT_EQ(ReadText(site / "fresh.txt"), "first");
}

// ---------------------------------------------------------------------------
// Host keys

TEST_F(SftpDestinationTest, UnknownHostKeyIsRefusedUntilAcceptedAndThenRemembered)
{
    const fs::path fresh = temporary.path() / "new-home" / ".ssh" / "known_hosts";
    const std::string fingerprint = server.HostKeyFingerprint();
    TrustSettings trust{fresh, std::nullopt, nullptr, std::nullopt};

    const TransferError refused = OpenFailure(Address(), KeyLogin(), trust);
    EXPECT_EQ(refused.Failure(), TransferFailure::HostKey);
    EXPECT_NE(std::string(refused.what()).find(fingerprint), std::string::npos) << refused.what();
    EXPECT_FALSE(fs::exists(fresh));

    // Declined by the operator.
    std::vector<HostKeyQuestion> asked;
    trust.askUnknownHostKey = [&](const HostKeyQuestion& question) {
        asked.push_back(question);
        return false;
    };
    EXPECT_EQ(OpenFailure(Address(), KeyLogin(), trust).Failure(), TransferFailure::HostKey);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].host, "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(asked[0].fingerprint, fingerprint);
    EXPECT_FALSE(asked[0].changed);

    // Accepted: remembered in a file only its owner reads, in the format OpenSSH reads.
    trust.askUnknownHostKey = [](const HostKeyQuestion&) { return true; };
    Open(Address(), KeyLogin(), trust);
    ASSERT_TRUE(fs::exists(fresh));
    EXPECT_EQ(fs::status(fresh).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(fresh.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    const std::string found = Output("ssh-keygen -F '[127.0.0.1]:" + std::to_string(server.Port()) + "' -f " + Quoted(fresh));
    EXPECT_NE(found.find("ssh-ed25519"), std::string::npos) << found;

    // Known now: nobody is asked.
    trust.askUnknownHostKey = nullptr;
    EXPECT_NO_THROW(Open(Address(), KeyLogin(), trust));

    // Accepted by its fingerprint alone, without a question.
    const fs::path other = temporary.path() / "other_known_hosts";
    EXPECT_NO_THROW(Open(Address(), KeyLogin(), TrustSettings{other, fingerprint, nullptr, std::nullopt}));
    EXPECT_NE(ReadText(other).find("[127.0.0.1]:" + std::to_string(server.Port()) + " ssh-ed25519 "), std::string::npos);
}

TEST_F(SftpDestinationTest, ChangedHostKeyIsRefusedUnlessItsFingerprintIsGiven)
{
    // Other hosts' lines and comments must outlive the replacement.
    const std::string others = "# the operator's own notes\nexample.com " + OtherKey();
    WriteText(knownHosts, others + server.KnownHostsLine());
    ASSERT_TRUE(server.RestartWithNewHostKey()) << server.Log();
    const std::string fingerprint = server.HostKeyFingerprint();

    bool asked = false;
    TrustSettings trust{knownHosts, std::nullopt, [&](const HostKeyQuestion&) { return asked = true; }, std::nullopt};
    const TransferError refused = OpenFailure(Address(), KeyLogin(), trust);
    EXPECT_EQ(refused.Failure(), TransferFailure::HostKey);
    EXPECT_FALSE(asked) << "a changed key is never only asked about";
    const std::string message = refused.what();
    EXPECT_NE(message.find(fingerprint), std::string::npos) << message;
    EXPECT_NE(message.find(knownHosts.string()), std::string::npos) << message;
    EXPECT_NE(message.find("127.0.0.1:" + std::to_string(server.Port())), std::string::npos) << message;

    // Another key's fingerprint accepts nothing.
    trust.askUnknownHostKey = nullptr;
    trust.acceptedFingerprint = "SHA256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
    EXPECT_EQ(OpenFailure(Address(), KeyLogin(), trust).Failure(), TransferFailure::HostKey);

    trust.acceptedFingerprint = fingerprint;
    EXPECT_NO_THROW(Open(Address(), KeyLogin(), trust));
    EXPECT_EQ(ReadText(knownHosts), others + server.KnownHostsLine().substr(0, server.KnownHostsLine().rfind(' ')) + "\n");
    trust.acceptedFingerprint.reset();
    EXPECT_NO_THROW(Open(Address(), KeyLogin(), trust));
}

TEST_F(SftpDestinationTest, KnownHostsLinesAreReadAsOpenSshWritesThem)
{
    // Hashed names.
    ASSERT_EQ(std::system(("ssh-keygen -q -H -f " + Quoted(knownHosts) + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(ReadText(knownHosts).rfind("|1|", 0), 0u);
    EXPECT_NO_THROW(Open());

    // A key remembered for port 22 says nothing about this port's.
    const std::string line = server.KnownHostsLine();
    const std::string key = line.substr(line.find(' ') + 1);
    WriteText(knownHosts, "127.0.0.1 " + OtherKey());
    EXPECT_EQ(OpenFailure(Address(), KeyLogin(), Trust()).Failure(), TransferFailure::HostKey);
    bool asked = false;
    EXPECT_NO_THROW(Open(Address(), KeyLogin(), TrustSettings{knownHosts, std::nullopt, [&](const HostKeyQuestion& question) {
                                                                  asked = !question.changed;
                                                                  return true;
                                                              }, std::nullopt}));
    EXPECT_TRUE(asked) << "the key was taken for a changed one";

    // A revoked key is refused whatever is accepted.
    WriteText(knownHosts, "@revoked * " + key);
    EXPECT_EQ(OpenFailure(Address(), KeyLogin(), TrustSettings{knownHosts, server.HostKeyFingerprint(), nullptr, std::nullopt}).Failure(),
              TransferFailure::HostKey);
}

// ---------------------------------------------------------------------------
// Logging in

TEST_F(SftpDestinationTest, RefusedLoginsNameTheUserTheServerAndTheMethods)
{
    const fs::path stranger = temporary.path() / "keys" / "stranger";
    ASSERT_TRUE(MakeKey(stranger, "ed25519"));
    const TransferError byKey = OpenFailure(Address(), Credentials{CurrentUser(), std::nullopt, stranger, std::nullopt}, Trust());
    EXPECT_EQ(byKey.Failure(), TransferFailure::Authentication);
    const std::string message = byKey.what();
    EXPECT_NE(message.find(CurrentUser()), std::string::npos) << message;
    EXPECT_NE(message.find("127.0.0.1:" + std::to_string(server.Port())), std::string::npos) << message;
    EXPECT_NE(message.find("publickey"), std::string::npos) << message;

    const TransferError byPassword =
        OpenFailure(Address(), Credentials{"tarnwick-nobody", std::string("wrong"), std::nullopt, std::nullopt}, Trust());
    EXPECT_EQ(byPassword.Failure(), TransferFailure::Authentication);
    EXPECT_NE(std::string(byPassword.what()).find("password"), std::string::npos) << byPassword.what();

    // Nothing to log in with.
    EXPECT_EQ(OpenFailure(Address(), Credentials{CurrentUser(), std::nullopt, std::nullopt, std::nullopt}, Trust()).Failure(),
              TransferFailure::Authentication);
    // A key file that is no key.
    const fs::path junk = temporary.path() / "keys" / "junk";
    WriteText(junk, "not a key\n");
    EXPECT_EQ(OpenFailure(Address(), Credentials{CurrentUser(), std::nullopt, junk, std::nullopt}, Trust()).Failure(),
              TransferFailure::Authentication);
}

TEST_F(SftpDestinationTest, EncryptedKeyNeedsItsPassphrase)
{
    const fs::path locked = temporary.path() / "keys" / "locked";
    ASSERT_TRUE(MakeKey(locked, "ed25519", "open sesame"));
    server.Authorize(locked.string() + ".pub");
    EXPECT_NO_THROW(Open(Address(), Credentials{CurrentUser(), std::nullopt, locked, std::string("open sesame")}, Trust()));
    EXPECT_EQ(OpenFailure(Address(), Credentials{CurrentUser(), std::nullopt, locked, std::string("wrong")}, Trust()).Failure(),
              TransferFailure::Authentication);
}

TEST_F(SftpDestinationTest, KeyTypesThatLogIn)
{
    // libssh2 1.10 signs with RSA only by SHA-1 ("ssh-rsa"), which OpenSSH
    // accepts only where the server allows it again.
    server.Stop();
    SshServer allowing(temporary.path() / "rsa-server", "PubkeyAcceptedAlgorithms +ssh-rsa");
    for (const char* type : {"ed25519", "ecdsa", "rsa"}) {
        const fs::path key = temporary.path() / "keys" / type;
        ASSERT_TRUE(MakeKey(key, type));
        allowing.Authorize(key.string() + ".pub");
    }
    ASSERT_TRUE(allowing.Start()) << allowing.Log();
    const SftpAddress address{"127.0.0.1", allowing.Port(), site.string()};
    const TrustSettings trust{knownHosts, allowing.HostKeyFingerprint(), nullptr, std::nullopt};
    for (const char* type : {"ed25519", "ecdsa", "rsa"}) {
        SCOPED_TRACE(type);
        EXPECT_NO_THROW(Open(address, Credentials{CurrentUser(), std::nullopt, temporary.path() / "keys" / type, std::nullopt}, trust));
    }
}

TEST_F(SftpDestinationTest, AgentLogsInBeforeTheKeyFile)
{
    const fs::path agentSocket = temporary.path() / "agent.sock";
    const std::string agent = Output("ssh-agent -a " + Quoted(agentSocket) + " 2>/dev/null");
    const std::size_t pidAt = agent.find("SSH_AGENT_PID=");
    if (pidAt == std::string::npos)
        GTEST_SKIP() << "ssh-agent does not start here";
    const int agentPid = std::atoi(agent.c_str() + pidAt + 14);
    setenv("SSH_AUTH_SOCK", agentSocket.c_str(), 1);
    const bool added = std::system(("ssh-add -q " + Quoted(userKey) + " >/dev/null 2>&1").c_str()) == 0;
    // No key file and no password: only the agent can log in.
    if (added) {
        EXPECT_NO_THROW(Open(Address(), Credentials{CurrentUser(), std::nullopt, std::nullopt, std::nullopt}, Trust()));
    }
    unsetenv("SSH_AUTH_SOCK");
    kill(agentPid, SIGTERM);
    ASSERT_TRUE(added);
}

// ---------------------------------------------------------------------------
// Connections

TEST_F(SftpDestinationTest, ServerThatNeverAnswersFailsWithinTheTimeout)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const SftpAddress silent{"127.0.0.1", ntohs(address.sin_port), ""};
    try {
        MakeSftpDestination(silent, KeyLogin(), Trust(), SshTimeouts{2000ms, 1000ms})->Open();
        FAIL() << "a silent server was taken for an SSH server";
    } catch (const TransferError& error) {
        EXPECT_EQ(error.Failure(), TransferFailure::Connection);
    }
    close(listener);

    // Nothing listens on a stopped server's port.
    server.Stop();
    EXPECT_EQ(OpenFailure(Address(), KeyLogin(), Trust()).Failure(), TransferFailure::Connection);
}

TEST_F(SftpDestinationTest, FingerprintIsTheOneOpenSshShows)
{
    // Through the host key question, compared with ssh-keygen's own output,
    // for each kind of host key.
    for (const char* type : {"ecdsa", "ed25519"}) {
        SCOPED_TRACE(type);
        server.Stop();
        ASSERT_TRUE(MakeKey(server.HostKey(), type));
        StartServer();
        std::string shown;
        const fs::path empty = temporary.path() / (std::string("known_") + type);
        OpenFailure(Address(), KeyLogin(), TrustSettings{empty, std::nullopt, [&](const HostKeyQuestion& question) {
                                                             shown = question.fingerprint;
                                                             return false;
                                                         }, std::nullopt});
        EXPECT_EQ(shown, server.HostKeyFingerprint());
    }
}

} // namespace
} // namespace tarnwick::publish
