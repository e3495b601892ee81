#include "publish_fixture.h"

#include "base/error.h"
#include "sign/list_signature.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tarnwick::publish {
namespace {

using testing::SiteFixture;
using testing::WriteBytes;

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

} // namespace
} // namespace tarnwick::publish
