// The operator's keys and signed lists at the command line: keys made once and
// kept private, ServerInfo.txt signed beside itself without a byte of it
// changing, verify telling a good signature from a bad one, launchers
// carrying the public keys.
#include "base/file_io.h"
#include "cli_process.h"
#include "digest/md5.h"
#include "launcher/pe_image.h"
#include "launcher/resource_tree.h"
#include "sign/key_store.h"
#include "sign/list_signature.h"
#include "sign/trusted_keys.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Signing : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every key of these tests lives in a settings folder of its own.
        UseSettings("operator");
        ReplaceFile(folder_.path() / "Tarnwick.xml", ReadFile(fs::path(TARNWICK_SOURCE_DIR) / "samples/Tarnwick.xml"));
    }

    void UseSettings(const std::string& name)
    {
        settings_ = home_.path() / name;
        ::setenv("XDG_CONFIG_HOME", settings_.c_str(), 1);
    }
    fs::path KeyFile() const { return settings_ / "tarnwick" / "signing-keys.txt"; }
    sign::KeyStore Store() const { return sign::KeyStore(settings_ / "tarnwick"); }

    testing::CliOutcome Run(const std::vector<std::string>& args, const std::string& input = "") const
    {
        return testing::RunCli(folder_.path(), streams_.path(), args, input);
    }
    std::string File(const char* name) const { return ReadFile(folder_.path() / name); }

    testing::TemporaryFolder home_;
    testing::TemporaryFolder folder_;
    testing::TemporaryFolder streams_;
    fs::path settings_;
};

TEST_F(Signing, KeysAreMadeOnceShownExportedAndImported)
{
    const auto none = Run({"key", "show"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Contains(none.err, "no signing key")) << none.err;

    const auto made = Run({"key", "new"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(Contains(made.out, "key export FILE")) << made.out;
    EXPECT_EQ(fs::status(KeyFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const std::string keys = ReadFile(KeyFile());
    const auto again = Run({"key", "new"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(Contains(again.err, "never replaces")) << again.err;
    EXPECT_EQ(ReadFile(KeyFile()), keys);

    const auto shown = Run({"key", "show", "--json"});
    ASSERT_EQ(shown.status, 0);
    const std::string signing = sign::KeyIdOf(Store().Load()->signing.publicKey);
    EXPECT_TRUE(Contains(shown.out, "\"signing\": \"" + signing + "\"")) << shown.out;

    ASSERT_EQ(Run({"key", "export", "backup.txt"}).status, 0);
    EXPECT_EQ(fs::status(folder_.path() / "backup.txt").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Run({"key", "export", "backup.txt"}).status, 1);

    UseSettings("new-machine");
    const auto imported = Run({"key", "import", "backup.txt"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_TRUE(Contains(imported.out, signing));
    EXPECT_EQ(Run({"key", "import", "backup.txt"}).status, 0);

    UseSettings("other-operator");
    ASSERT_EQ(Run({"key", "new"}).status, 0);
    const auto refused = Run({"key", "import", "backup.txt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Contains(refused.err, "other signing keys")) << refused.err;
    EXPECT_EQ(Run({"key", "import", "missing.txt"}).status, 2);
}

TEST_F(Signing, ServerinfoSignsBesideTheSameBytesAndVerifyChecksTheSignature)
{
    ASSERT_EQ(Run({"serverinfo"}).status, 0);
    const std::string unsigned_ = File("ServerInfo.txt");
    EXPECT_FALSE(fs::exists(folder_.path() / "ServerInfo.txt.sig"));

    ASSERT_EQ(Run({"key", "new"}).status, 0);
    ASSERT_EQ(Run({"update", "add", "--hint", "pinned", "--url", "http://h/a.dat", "--save-name", "a.dat",
                   "--down-md5", "0123456789abcdef0123456789abcdef", "--check", "exists"}).status, 0);
    const auto written = Run({"serverinfo"});
    ASSERT_EQ(written.status, 0) << written.err;
    const std::string signing = sign::KeyIdOf(Store().Load()->signing.publicKey);
    EXPECT_TRUE(Contains(written.out, signing)) << written.out;
    // The sample's own entry pins nothing; the new one is pinned.
    EXPECT_TRUE(Contains(written.err, "warning: update 1 ")) << written.err;
    EXPECT_FALSE(Contains(written.err, "update 2 "));
    const std::string signature = File("ServerInfo.txt.sig");
    EXPECT_TRUE(signature.starts_with("Tarnwick list signature 1\n"));

    const auto good = Run({"verify"});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_TRUE(Contains(good.out, "signature: good, key " + signing)) << good.out;
    // From standard input, with the signature named.
    const auto piped = Run({"verify", "--signature", "ServerInfo.txt.sig", "-"}, File("ServerInfo.txt"));
    EXPECT_EQ(piped.status, 0) << piped.out;

    // Signing changes no byte of the list: launchers in the field read it.
    ASSERT_EQ(Run({"update", "delete", "2"}).status, 0);
    ASSERT_EQ(Run({"serverinfo"}).status, 0);
    EXPECT_EQ(File("ServerInfo.txt"), unsigned_);
    EXPECT_NE(File("ServerInfo.txt.sig"), signature);

    std::string changed = File("ServerInfo.txt.sig");
    changed[changed.find("serial: ") + 9] ^= 0x01;
    ReplaceFile(folder_.path() / "ServerInfo.txt.sig", changed);
    const auto bad = Run({"verify"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(Contains(bad.out, "signature: BAD")) << bad.out;

    ASSERT_EQ(Run({"serverinfo"}).status, 0);
    UseSettings("someone-else");
    ASSERT_EQ(Run({"key", "new"}).status, 0);
    const auto other = Run({"verify"});
    EXPECT_EQ(other.status, 1);
    EXPECT_TRUE(Contains(other.out, "which is not yours")) << other.out;
    fs::remove(folder_.path() / "ServerInfo.txt.sig");
    const auto missing = Run({"verify"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.out, "signature: none")) << missing.out;
}

TEST_F(Signing, RotatingLetsTheBackupSignForTheLaunchersMadeBefore)
{
    EXPECT_EQ(Run({"key", "rotate"}).status, 1);
    ASSERT_EQ(Run({"key", "new"}).status, 0);
    const sign::SigningKeys before = *Store().Load();
    const auto rotated = Run({"key", "rotate"});
    ASSERT_EQ(rotated.status, 0) << rotated.err;
    const sign::SigningKeys after = *Store().Load();
    EXPECT_EQ(after.signing.publicKey, before.backup.publicKey);
    EXPECT_NE(after.backup.publicKey, before.signing.publicKey);
    EXPECT_NE(after.backup.publicKey, before.backup.publicKey);

    ASSERT_EQ(Run({"serverinfo"}).status, 0);
    const auto launchedBefore = sign::TrustedPublicKeys(before);
    EXPECT_EQ(sign::CheckSignedList(File("ServerInfo.txt"), File("ServerInfo.txt.sig"), launchedBefore, 0).trust,
              sign::ListTrust::Accepted);
}

TEST_F(Signing, LaunchersCarryThePublicKeysOrSayTheyTrustAnything)
{
    const auto plain = Run({"launcher", "Game", "http://h/ServerInfo.txt"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(Contains(plain.out, "trusts whatever server list")) << plain.out;
    const std::string unsignedLauncher = File("Game.exe");

    ASSERT_EQ(Run({"key", "new"}).status, 0);
    const auto stamped = Run({"launcher", "Game", "http://h/ServerInfo.txt"});
    ASSERT_EQ(stamped.status, 0) << stamped.err;
    const sign::SigningKeys keys = *Store().Load();
    EXPECT_TRUE(Contains(stamped.out, "accepts only server lists signed with the key " +
                                          sign::KeyIdOf(keys.signing.publicKey)))
        << stamped.out;
    const std::string launcher = File("Game.exe");
    ASSERT_EQ(launcher.size(), unsignedLauncher.size());
    const auto bytes = std::span(reinterpret_cast<const std::byte*>(launcher.data()), launcher.size());
    const auto found = LocateResource(bytes, PeImage::Parse(bytes), ResourceId::Number(sign::kRcDataType),
                                      ResourceId::Name(std::u16string(sign::kTrustedKeysResource)));
    ASSERT_EQ(found.size(), 1u);
    const auto trusted = sign::ReadTrustedKeys(bytes.subspan(found[0].offset, found[0].size));
    ASSERT_TRUE(trusted);
    EXPECT_EQ(*trusted, std::vector<crypto::PublicKey>({keys.signing.publicKey, keys.backup.publicKey}));
    // Nothing else of the image moved: only the keys' room and the checksum differ.
    std::size_t differing = 0;
    for (std::size_t i = 0; i < launcher.size(); ++i)
        differing += launcher[i] != unsignedLauncher[i];
    EXPECT_LE(differing, 2 * 64 + 4 + 4);
}

TEST_F(Signing, UpdateFileFillsTheDigestsALauncherPins)
{
    ReplaceFile(folder_.path() / "patch.dat", "patch bytes");
    Digest digest;
    FileDigest(folder_.path() / "patch.dat", digest);
    const std::string md5 = DigestToHex(digest);
    ASSERT_EQ(Run({"update", "add", "--hint", "p", "--url", "http://h/p", "--save-name", "p.dat", "--check", "md5",
                   "--file", "patch.dat"}).status, 0);
    ASSERT_EQ(Run({"update", "add", "--hint", "z", "--url", "http://h/z", "--save-name", "z.dat", "--zip", "yes",
                   "--md5", "fedcba9876543210fedcba9876543210", "--file", "patch.dat"}).status, 0);
    const auto listed = Run({"update", "list", "--json"});
    // Not a zip: both digests are the file's; a zip keeps its MD5 (a file inside it).
    EXPECT_TRUE(Contains(listed.out, "\"md5\": \"" + md5 + "\"")) << listed.out;
    EXPECT_TRUE(Contains(listed.out, "\"md5\": \"fedcba9876543210fedcba9876543210\"")) << listed.out;
    std::size_t pins = 0;
    for (std::size_t at = listed.out.find("\"downMd5\": \"" + md5); at != std::string::npos;
         at = listed.out.find("\"downMd5\": \"" + md5, at + 1))
        ++pins;
    EXPECT_EQ(pins, 2u);
    const auto missing = Run({"update", "edit", "1", "--file", "nothing.dat"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(Contains(missing.err, "nothing.dat")) << missing.err;
}

} // namespace
} // namespace tarnwick
