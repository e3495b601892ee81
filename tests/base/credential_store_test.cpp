// The system's keyring: the Credential Manager on Windows (under Wine, the
// test prefix's own); on Linux a Secret Service that with-keyring.sh starts
// on a private session bus in a fresh home, never the user's keyring.
#include "base/credential_store.h"
#include "base/error.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tarnwick;

namespace {

class CredentialStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        // Outside with-keyring.sh it would be the user's own keyring.
        if (std::getenv("TARNWICK_TEST_KEYRING") == nullptr)
            GTEST_SKIP() << "run through tests/base/with-keyring.sh";
#endif
        store_ = SystemCredentialStore();
        ASSERT_TRUE(store_->Available());
    }

    void TearDown() override
    {
        if (store_)
            for (const CredentialKey& key : used_)
                store_->Forget(key);
    }

    // A key of this test's own, forgotten before and after.
    CredentialKey Key(std::string server, std::string user)
    {
        CredentialKey key{std::move(server), std::move(user)};
        store_->Forget(key);
        used_.push_back(key);
        return key;
    }

    std::unique_ptr<CredentialStore> store_;
    std::vector<CredentialKey> used_;
};

TEST_F(CredentialStoreTest, StoresFindsReplacesAndForgets)
{
    const CredentialKey key = Key("sftp://tarnwick-test.invalid:22", "alice");
    EXPECT_EQ(store_->Find(key), std::nullopt);

    // UTF-8 bytes as given, whatever they are.
    const std::string first = "p\xC3\xA4sswort \xE5\xAF\x86\xE7\xA0\x81 #1";
    store_->Store(key, first);
    EXPECT_EQ(store_->Find(key), first);

    store_->Store(key, "second");
    EXPECT_EQ(store_->Find(key), "second");

    store_->Forget(key);
    EXPECT_EQ(store_->Find(key), std::nullopt);
    // Quiet when there is none.
    EXPECT_NO_THROW(store_->Forget(key));
}

TEST_F(CredentialStoreTest, KeepsOnePasswordPerServerAndUser)
{
    const CredentialKey alice = Key("sftp://tarnwick-test.invalid:22", "alice");
    const CredentialKey bob = Key("sftp://tarnwick-test.invalid:22", "bob");
    const CredentialKey otherPort = Key("sftp://tarnwick-test.invalid:2222", "alice");
    const CredentialKey ftp = Key("ftps://tarnwick-test.invalid:21", "alice");
    store_->Store(alice, "a");
    store_->Store(bob, "b");
    store_->Store(otherPort, "c");
    EXPECT_EQ(store_->Find(alice), "a");
    EXPECT_EQ(store_->Find(bob), "b");
    EXPECT_EQ(store_->Find(otherPort), "c");
    EXPECT_EQ(store_->Find(ftp), std::nullopt);

    store_->Forget(bob);
    EXPECT_EQ(store_->Find(alice), "a");
    EXPECT_EQ(store_->Find(bob), std::nullopt);
}

TEST_F(CredentialStoreTest, TakesChineseUserNamesAndLongPasswords)
{
    // Core text is GBK: 张三.
    const CredentialKey key = Key("https://tarnwick-test.invalid:443", Utf8ToGbk("\xE5\xBC\xA0\xE4\xB8\x89"));
    const std::string password(1000, 'x');
    store_->Store(key, password);
    EXPECT_EQ(store_->Find(key), password);

    const CredentialKey noUser = Key("ftp://tarnwick-test.invalid:21", "");
    store_->Store(noUser, "anonymous");
    EXPECT_EQ(store_->Find(noUser), "anonymous");
    EXPECT_EQ(store_->Find(key), password);
}

TEST_F(CredentialStoreTest, AKeyThatIsNoTextHasNoPassword)
{
    // A lead byte without its trail byte: no GBK text, so no name to keep it under.
    const CredentialKey key{"sftp://tarnwick-test.invalid:22", "\x81"};
    EXPECT_EQ(store_->Find(key), std::nullopt);
    EXPECT_NO_THROW(store_->Forget(key));
    EXPECT_THROW(store_->Store(key, "x"), Error);
}

} // namespace
