#include "base/error.h"
#include "base/file_io.h"
#include "sign/key_store.h"
#include "sign/list_signature.h"

#include <gtest/gtest.h>

#include <fstream>

#include "english_text.h"
#include "temporary_folder.h"

namespace tarnwick::sign {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) { return ReadFile(path); }

TEST(KeyStore, NewKeysAreTheOwnersAloneAndNeverReplaced)
{
    testing::TemporaryFolder home;
    KeyStore store(home.path() / "tarnwick");
    EXPECT_FALSE(store.Exists());
    EXPECT_EQ(store.Load(), std::nullopt);
    ASSERT_TRUE(store.Create());
    const std::string first = Read(store.KeyFile());
    EXPECT_FALSE(store.Create());
    EXPECT_EQ(Read(store.KeyFile()), first);

    const std::optional<SigningKeys> keys = store.Load();
    ASSERT_TRUE(keys);
    EXPECT_NE(keys->signing.publicKey, keys->backup.publicKey);
    EXPECT_TRUE(crypto::IsValidKeyPair(keys->signing));
    EXPECT_TRUE(crypto::IsValidKeyPair(keys->backup));
#ifndef _WIN32
    EXPECT_EQ(fs::status(store.KeyFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(store.Folder()).permissions(), fs::perms::owner_all);
#else
    // Encrypted for the user: the file holds no private key in the clear.
    EXPECT_NE(first.find("signing-private: dpapi:"), std::string::npos);
#endif
}

TEST(KeyStore, ExportAndImportMoveBothPairs)
{
    testing::TemporaryFolder home;
    KeyStore first(home.path() / "first");
    KeyStore second(home.path() / "second");
    ASSERT_TRUE(first.Create());
    const fs::path exported = home.path() / "keys.txt";
    ASSERT_TRUE(first.Export(exported));
    // Never over a file that is there.
    const std::string text = Read(exported);
    EXPECT_FALSE(first.Export(exported));
    EXPECT_EQ(Read(exported), text);
    EXPECT_NE(text.find("signing-private: none:"), std::string::npos);
#ifndef _WIN32
    EXPECT_EQ(fs::status(exported).permissions(), fs::perms::owner_read | fs::perms::owner_write);
#endif

    EXPECT_EQ(second.Import(exported), ImportOutcome::Imported);
    EXPECT_EQ(second.Load()->signing.publicKey, first.Load()->signing.publicKey);
    EXPECT_EQ(second.Load()->backup.publicKey, first.Load()->backup.publicKey);
    EXPECT_EQ(second.Import(exported), ImportOutcome::AlreadyHere);

    KeyStore other(home.path() / "other");
    ASSERT_TRUE(other.Create());
    const std::string before = Read(other.KeyFile());
    EXPECT_EQ(other.Import(exported), ImportOutcome::OtherKeyHere);
    EXPECT_EQ(Read(other.KeyFile()), before);

    KeyStore none(home.path() / "none");
    EXPECT_THROW(none.Export(home.path() / "nothing.txt"), Error);
    EXPECT_FALSE(fs::exists(home.path() / "nothing.txt"));
}

TEST(KeyStore, DamagedKeyFilesAreRefusedWithTheirReason)
{
    testing::TemporaryFolder home;
    KeyStore source(home.path() / "source");
    ASSERT_TRUE(source.Create());
    ASSERT_TRUE(source.Export(home.path() / "good.txt"));
    const std::string good = Read(home.path() / "good.txt");
    const auto line = [&](std::string_view name) {
        const std::size_t at = good.find(name);
        return good.substr(at, good.find('\n', at) - at);
    };
    const auto with = [&](std::string_view from, std::string_view to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    // The backup's private half with the signing key's public half.
    const std::string crossed = with(line("signing-public: "),
                                     "signing-public: " + line("backup-public: ").substr(15));
    const struct {
        std::string text;
        const char* reason;
    } rows[] = {
        {"", "no Tarnwick key file"},
        {with("Tarnwick signing keys 1", "Tarnwick signing keys 2"), "no Tarnwick key file"},
        {good + "more: 1\n", "wrong number of lines"},
        {with("backup-public: ", "spare-public: "), "a key is missing"},
        {with("signing-public: ", "signing-public: 00"), "public key is malformed"},
        {with("signing-private: none:", "signing-private: none"), "private key is malformed"},
        {with("signing-private: none:", "signing-private: none:00"), "private key is malformed"},
        {with("signing-private: none:", "signing-private: other:"), "encrypted for another user"},
        {crossed, "does not belong to its public key"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        const fs::path file = home.path() / "damaged.txt";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << row.text;
        KeyStore store(home.path() / "store");
        try {
            store.Import(file);
            ADD_FAILURE() << "imported";
        } catch (const Error& error) {
            EXPECT_EQ(error.Kind(), ErrorKind::Damaged);
            EXPECT_NE(testing::English(error).find(row.reason), std::string::npos) << testing::English(error);
        }
        EXPECT_FALSE(store.Exists());
    }
}

TEST(KeyStore, SerialsOnlyGrowAndKeepUpWithTheClock)
{
    testing::TemporaryFolder home;
    KeyStore store(home.path() / "tarnwick");
    ASSERT_TRUE(store.Create());
    const SigningKeys keys = *store.Load();
    const auto serialOf = [](const std::string& file) { return ParseSignatureFile(file).signature->serial; };

    const std::uint64_t first = serialOf(store.SignList(keys, "list", 1000));
    EXPECT_EQ(first, 1000u);
    // Signed twice within a second, or with the clock set back: still higher.
    EXPECT_EQ(serialOf(store.SignList(keys, "list", 1000)), 1001u);
    EXPECT_EQ(serialOf(store.SignList(keys, "list", 10)), 1002u);
    // A store restored from an older export goes on from the time.
    KeyStore restored(home.path() / "restored");
    ASSERT_TRUE(store.Export(home.path() / "keys.txt"));
    ASSERT_EQ(restored.Import(home.path() / "keys.txt"), ImportOutcome::Imported);
    EXPECT_EQ(serialOf(restored.SignList(keys, "list", 5000)), 5000u);

    std::ofstream(store.SerialFile(), std::ios::trunc) << "twelve\n";
    EXPECT_THROW(store.SignList(keys, "list", 6000), Error);
}

} // namespace
} // namespace tarnwick::sign
