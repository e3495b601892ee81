#include "player_launcher/core/list_trust.h"
#include "player_launcher/core/player_messages.h"

#include "player_launcher/core/hashing_thread.h"

#include "base/file_io.h"
#include "player_fixtures.h"
#include "sign/list_signature.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

const crypto::KeyPair& OperatorKey()
{
    static const crypto::KeyPair key = crypto::GenerateKeyPair();
    return key;
}

std::string SignatureOf(std::string_view list, std::uint64_t serial, const crypto::KeyPair& key = OperatorKey())
{
    return sign::SignatureFileText(sign::SignList(list, key, serial, sign::SignatureTime(0)));
}

TEST(TrustedList, ALauncherWithKeysTakesOnlyItsOperatorsListsAndShowsNothingOfTheRest)
{
    const std::string list = testing::ServerInfoOf(testing::PlayerModel());
    const ListTrustKeys trust{{OperatorKey().publicKey}, false};

    const TrustedList taken = ReadTrustedList(list, SignatureOf(list, 20), trust, 10);
    ASSERT_TRUE(taken.result.list);
    EXPECT_EQ(taken.result.list->groups.size(), 2u);
    EXPECT_EQ(taken.acceptedSerial, 20u);

    const crypto::KeyPair stranger = crypto::GenerateKeyPair();
    std::string forged = list;
    forged.replace(forged.find("$END"), 4, "$END ");
    const struct {
        std::optional<std::string> signature;
        std::string list;
        ListTrustKeys trust;
        DownloadProblem problem;
        const char* said;
    } refused[] = {
        {std::nullopt, list, trust, DownloadProblem::Unsigned, "没有签名"},
        {SignatureOf(list, 20, stranger), list, trust, DownloadProblem::OtherKey, "其他密钥"},
        {SignatureOf(list, 20), forged, trust, DownloadProblem::BadSignature, "列表被改动过"},
        {SignatureOf(list, 9), list, trust, DownloadProblem::Older, "旧"},
        {SignatureOf(list, 20), list, ListTrustKeys{{}, true}, DownloadProblem::KeysDamaged, "公钥已损坏"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.said);
        const TrustedList result = ReadTrustedList(row.list, row.signature, row.trust, 10);
        EXPECT_FALSE(result.result.list);
        EXPECT_FALSE(result.acceptedSerial);
        EXPECT_EQ(result.result.failure.problem, row.problem);
        EXPECT_NE(FailureText(result.result.failure).find(row.said), std::string::npos)
            << FailureText(result.result.failure);
        // No usable list, as for a damaged one: status 1.
        EXPECT_EQ(ExitStatus(row.problem), 1);
    }

    // A genuine signature over bytes that are no list: refused by the reader,
    // and its serial not kept.
    const TrustedList unreadable = ReadTrustedList("not a list", SignatureOf("not a list", 30), trust, 10);
    EXPECT_EQ(unreadable.result.failure.problem, DownloadProblem::Damaged);
    EXPECT_FALSE(unreadable.acceptedSerial);
}

TEST(TrustedList, ALauncherWithoutKeysReadsWhatArrivesAsBefore)
{
    const std::string list = testing::ServerInfoOf(testing::PlayerModel());
    const TrustedList read = ReadTrustedList(list, std::nullopt, ListTrustKeys{}, 0);
    ASSERT_TRUE(read.result.list);
    EXPECT_FALSE(read.acceptedSerial);
    EXPECT_EQ(ReadTrustedList("x", std::nullopt, ListTrustKeys{}, 0).result.failure.problem, DownloadProblem::Damaged);
}

TEST(TrustedList, TheListIsHashedBesideItsDownload)
{
    std::string list;
    for (int i = 0; i < 3000; ++i)
        list += "piece " + std::to_string(i) + "\r\n";
    HashingThread hashing;
    for (std::size_t at = 0; at < list.size(); at += 1000)
        hashing.Update(std::string_view(list).substr(at, 1000));
    EXPECT_EQ(hashing.Finish(), crypto::Sha256(list));
    // A download that fails part way ends the thread without waiting for more.
    HashingThread abandoned;
    abandoned.Update(list);
}

TEST(TrustedList, TheHighestSerialIsKeptBesideTheLauncher)
{
    tarnwick::testing::TemporaryFolder folder;
    const auto file = folder.path() / "Game.trust";
    EXPECT_EQ(ReadHighestSerial(file), 0u);
    WriteHighestSerial(file, 1796720000);
    EXPECT_EQ(ReadHighestSerial(file), 1796720000u);
    // A damaged file counts as none, as a lost one does.
    ReplaceFile(file, "Tarnwick list trust 1\nserial: 12x\n");
    EXPECT_EQ(ReadHighestSerial(file), 0u);
    EXPECT_EQ(SignatureAddress(u"http://h:8888/ServerInfo.txt"), u"http://h:8888/ServerInfo.txt.sig");
}

} // namespace
} // namespace tarnwick::player
