#include "publish_fixture.h"

#include "base/error.h"
#include "base/file_io.h"
#include "digest/block_index.h"
#include "publish/local_index.h"
#include "sign/list_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace tarnwick::publish {
namespace {

using testing::ReadBytes;
using testing::SiteFixture;
using testing::VariedBytes;
using testing::WriteBytes;

constexpr std::size_t kLarge = blocks::kIndexedFromBytes;

std::vector<std::string> Paths(const SitePlan& plan)
{
    std::vector<std::string> paths;
    for (const SiteFile& file : plan.files)
        paths.push_back(file.path);
    return paths;
}

TEST(SitePlan, UpdatesGoUpFirstAndTheListLast)
{
    SiteFixture site;
    site.AddUpdate("data/a.pak", "aaa");
    site.AddUpdate("Game.exe", "launcher");
    site.AddUpdate("b.zip", "bbb");
    // Two entries fetching one file upload it once.
    site.AddUpdate("data/a.pak", "aaa");
    WriteBytes(site.folder / "ServerInfo.txt.sig", "signature");
    PlanInput input = site.Input();
    input.launcherFile = "game.EXE";
    const SitePlan plan = PlanSite(input);
    ASSERT_TRUE(plan.refusals.empty()) << plan.refusals.front().reason.Chinese();
    EXPECT_EQ(Paths(plan), (std::vector<std::string>{"data/a.pak", "b.zip", "Game.exe", "ServerInfo.txt.sig", "ServerInfo.txt"}));
    EXPECT_EQ(plan.files[0].rows, (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(plan.files[2].role, FileRole::Launcher);
    EXPECT_EQ(plan.files[0].md5, Md5Hex("aaa"));
    EXPECT_EQ(plan.files[0].size, 3u);
    // Players' fetches are checked afterwards with what is known here.
    ASSERT_EQ(plan.fetches.size(), 6u);
    EXPECT_EQ(plan.fetches[0].url, "http://game.example.com/patch/data/a.pak");
    EXPECT_EQ(plan.fetches[0].size, 3u);
    EXPECT_TRUE(plan.fetches[0].uploaded);
}

TEST(SitePlan, TheOperatorsSlipsRefuseThePublishNamingTheEntry)
{
    SiteFixture site;
    site.AddUpdate("ok.pak", "fine");
    site.AddUpdate("wrong-md5.pak", "served");
    site.model.updates.At(1).MD5 = Md5Hex("something else");
    site.AddUpdate("wrong-down-md5.zip", "zipped");
    site.model.updates.At(2).Zip = "是";
    site.model.updates.At(2).DownMD5 = Md5Hex("other");
    site.AddUpdate("missing.pak", "x");
    std::filesystem::remove(site.site / "missing.pak");
    const SitePlan plan = PlanSite(site.Input());
    ASSERT_EQ(plan.refusals.size(), 3u);
    std::vector<std::size_t> rows;
    for (const PlanRefusal& refusal : plan.refusals)
        rows.push_back(*refusal.row);
    EXPECT_EQ(rows, (std::vector<std::size_t>{1, 2, 3}));
    for (const PlanRefusal& refusal : plan.refusals)
        EXPECT_NE(refusal.reason.Chinese().find(site.model.updates.At(*refusal.row).Hint), std::string::npos)
            << refusal.reason.Chinese();
}

TEST(SitePlan, AZipsMd5IsOfWhatItUnpacksAndIsNotCompared)
{
    SiteFixture site;
    site.AddUpdate("a.zip", "archive");
    site.model.updates.At(0).Zip = "是";
    site.model.updates.At(0).MD5 = Md5Hex("unpacked file");
    EXPECT_TRUE(PlanSite(site.Input()).refusals.empty());
}

TEST(SitePlan, AStaleListOrSignatureIsRefused)
{
    SiteFixture site;
    PlanInput input = site.Input();
    input.expectedList = "$BEGIN\r\nnewer\r\n$END\r\n";
    EXPECT_EQ(PlanSite(input).refusals.size(), 1u);

    const crypto::KeyPair key = crypto::GenerateKeyPair();
    input = site.Input();
    input.trustedKeys = std::vector<crypto::PublicKey>{key.publicKey};
    EXPECT_EQ(PlanSite(input).refusals.size(), 1u) << "no signature";
    WriteBytes(site.folder / "ServerInfo.txt.sig",
               sign::SignatureFileText(sign::SignList("an older list", key, 1, sign::SignatureTime(0))));
    EXPECT_EQ(PlanSite(input).refusals.size(), 1u) << "signature of another list";
    WriteBytes(site.folder / "ServerInfo.txt.sig",
               sign::SignatureFileText(sign::SignList(site.list, key, 2, sign::SignatureTime(0))));
    EXPECT_TRUE(PlanSite(input).refusals.empty());
    input.trustedKeys = std::vector<crypto::PublicKey>{crypto::GenerateKeyPair().publicKey};
    EXPECT_EQ(PlanSite(input).refusals.size(), 1u) << "another key";

    std::filesystem::remove(site.folder / "ServerInfo.txt");
    EXPECT_EQ(PlanSite(site.Input()).refusals.size(), 1u) << "no list";
}

TEST(SitePlan, FilesElsewhereAreOnlyAskedAbout)
{
    SiteFixture site;
    site.AddUpdate("a.pak", "aaa");
    site.model.updates.At(0).DownUrl = "http://cdn.example.com/a.pak";
    site.AddUpdate("b.pak", "bbb");
    PlanInput input = site.Input();
    SitePlan plan = PlanSite(input);
    EXPECT_EQ(Paths(plan), (std::vector<std::string>{"b.pak", "ServerInfo.txt"}));
    EXPECT_FALSE(plan.fetches[0].uploaded);
    EXPECT_TRUE(plan.unmapped.empty());
    // Without a site folder nothing of the site is uploaded but the list: its files must be on the host.
    input.site.reset();
    plan = PlanSite(input);
    EXPECT_EQ(Paths(plan), (std::vector<std::string>{"ServerInfo.txt"}));
    EXPECT_EQ(plan.unmapped, (std::vector<std::size_t>{1}));
    input.listUrl = "ftp://game.example.com/ServerInfo.txt";
    EXPECT_THROW(PlanSite(input), Error);
}

TEST(SitePlan, DigestsAreTakenAgainOnlyForChangedFiles)
{
    SiteFixture site;
    site.AddUpdate("a.pak", "aaa", false);
    // Written a while ago: its digest is kept.
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(site.site / "a.pak", hourAgo);
    PlanInput input = site.Input();
    input.digestCache = site.folder / "digests.json";
    EXPECT_EQ(PlanSite(input).files[0].md5, Md5Hex("aaa"));
    ASSERT_TRUE(std::filesystem::exists(input.digestCache));
    WriteBytes(site.site / "a.pak", "bbbb");
    EXPECT_EQ(PlanSite(input).files[0].md5, Md5Hex("bbbb"));
    // Written again at once, as long as before: within the file system's
    // tick (a whole second on Windows), its time is the same.
    WriteBytes(site.site / "a.pak", "cccc");
    EXPECT_EQ(PlanSite(input).files[0].md5, Md5Hex("cccc"));
    WriteBytes(input.digestCache, "damaged");
    EXPECT_EQ(PlanSite(input).files[0].md5, Md5Hex("cccc"));
}

// The index beside the file, as a launcher would read it.
blocks::BlockIndex IndexBeside(const std::filesystem::path& file)
{
    std::string why;
    std::optional<blocks::BlockIndex> index = blocks::DecodeIndex(ReadBytes(IndexPathFor(file)), why);
    EXPECT_TRUE(index) << why;
    return index.value_or(blocks::BlockIndex{});
}

TEST(SitePlan, LargeUpdateFilesGetABlockIndexPutInPlaceAfterThem)
{
    SiteFixture site;
    site.AddUpdate("data/big.pak", VariedBytes(kLarge, 1));
    site.AddUpdate("small.pak", VariedBytes(kLarge - 1, 2));
    // The launcher updates itself whole.
    site.AddUpdate("Game.exe", VariedBytes(kLarge, 3));
    PlanInput input = site.Input();
    input.launcherFile = "Game.exe";
    const SitePlan plan = PlanSite(input);
    ASSERT_TRUE(plan.refusals.empty()) << plan.refusals.front().reason.Chinese();
    EXPECT_EQ(Paths(plan), (std::vector<std::string>{"data/big.pak", "small.pak", "data/big.pak.blocks", "Game.exe",
                                                     "ServerInfo.txt"}));
    const SiteFile& index = plan.files[2];
    EXPECT_EQ(index.role, FileRole::Index);
    EXPECT_EQ(index.local, site.site / "data" / "big.pak.blocks");
    EXPECT_EQ(index.md5, Md5Hex(ReadBytes(index.local)));
    EXPECT_TRUE(IndexBeside(site.site / "data" / "big.pak") == blocks::IndexFile(site.site / "data" / "big.pak", 1));
    EXPECT_FALSE(std::filesystem::exists(site.site / "small.pak.blocks"));
    EXPECT_FALSE(std::filesystem::exists(site.site / "Game.exe.blocks"));
    // Players fetch it at the file's address, and it is read back after the upload.
    const auto fetch = std::find_if(plan.fetches.begin(), plan.fetches.end(),
                                    [](const PlayerFetch& f) { return f.role == FileRole::Index; });
    ASSERT_NE(fetch, plan.fetches.end());
    EXPECT_EQ(fetch->url, "http://game.example.com/patch/data/big.pak.blocks");
    EXPECT_EQ(fetch->row, 0u);
    EXPECT_EQ(fetch->md5, index.md5);
    EXPECT_TRUE(fetch->uploaded);
}

TEST(SitePlan, AnIndexIsMadeAgainOnlyForAnotherVersionOfItsFile)
{
    SiteFixture site;
    site.AddUpdate("big.pak", VariedBytes(kLarge, 1));
    const std::filesystem::path file = site.site / "big.pak";
    ASSERT_TRUE(PlanSite(site.Input()).refusals.empty());
    const std::optional<FileIdentity> made = IdentityOf(IndexPathFor(file));
    ASSERT_TRUE(made);
    ASSERT_TRUE(PlanSite(site.Input()).refusals.empty());
    EXPECT_EQ(IdentityOf(IndexPathFor(file)), made) << "a current index is kept";

    // Another version as long as the last: only the digest tells the index is stale.
    const std::string changed = VariedBytes(kLarge, 2);
    WriteBytes(file, changed);
    site.model.updates.At(0).MD5 = site.model.updates.At(0).DownMD5 = Md5Hex(changed);
    ASSERT_TRUE(PlanSite(site.Input()).refusals.empty());
    EXPECT_TRUE(IndexBeside(file) == blocks::IndexFile(file, 1));

    WriteBytes(IndexPathFor(file), "TWBLOCK1, cut short");
    ASSERT_TRUE(PlanSite(site.Input()).refusals.empty());
    EXPECT_TRUE(IndexBeside(file) == blocks::IndexFile(file, 1));
}

TEST(SitePlan, AnIndexThatCannotBeWrittenRefusesThePublishAndLeavesWhatIsThere)
{
    SiteFixture site;
    site.AddUpdate("big.pak", VariedBytes(kLarge, 1));
    // A folder where the index goes cannot be replaced by a file.
    WriteBytes(site.site / "big.pak.blocks" / "kept", "kept");
    const SitePlan plan = PlanSite(site.Input());
    ASSERT_EQ(plan.refusals.size(), 1u);
    EXPECT_EQ(plan.refusals[0].row, 0u);
    EXPECT_NE(plan.refusals[0].reason.Chinese().find("big.pak"), std::string::npos) << plan.refusals[0].reason.Chinese();
    EXPECT_EQ(ReadBytes(site.site / "big.pak.blocks" / "kept"), "kept");
}

TEST(LocalIndex, AFileChangedSinceItsDigestLeavesItsIndexAsItWas)
{
    tarnwick::testing::TemporaryFolder folder;
    const std::filesystem::path file = folder.path() / "big.pak";
    WriteBytes(file, VariedBytes(kLarge + 1, 1));
    const LocalIndex first = WriteIndex(file, 1);
    EXPECT_TRUE(first.made);
    EXPECT_EQ(first.blockCount, (kLarge + first.blockSize) / first.blockSize) << "the last block holds one byte";
    EXPECT_EQ(first.size, ReadBytes(first.path).size());
    const std::string before = ReadBytes(first.path);

    // The digest was taken of a version that is no longer there.
    WriteBytes(file, VariedBytes(kLarge + 1, 3));
    EXPECT_THROW(CurrentIndex(file, kLarge + 1, Md5Hex(VariedBytes(kLarge + 1, 2)), 1), Error);
    EXPECT_EQ(ReadBytes(first.path), before);
}

} // namespace
} // namespace tarnwick::publish
