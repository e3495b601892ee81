#include "publish_fixture.h"

#include "digest/block_index.h"
#include "publish/folder_destination.h"
#include "publish/manifest.h"
#include "publish/publisher.h"

#include <gtest/gtest.h>

namespace tarnwick::publish {
namespace {

using testing::ReadBytes;
using testing::SiteFixture;
using testing::WriteBytes;

// A folder destination that records what is asked of it and fails on cue.
class RecordingDestination final : public Destination {
public:
    explicit RecordingDestination(const std::filesystem::path& root) : folder_(MakeFolderDestination(root)) {}

    std::vector<std::string> writes, replaces;
    int failWriteNumber = 0; // the nth write fails (from 1)
    bool failReplaceOfList = false;
    bool refuseOverwrite = false;

    void Open() override { folder_->Open(); }
    std::optional<std::string> Read(const std::string& path, std::size_t limit) override { return folder_->Read(path, limit); }
    void Write(const std::filesystem::path& local, const std::string& path, const TransferProgress& progress) override
    {
        writes.push_back(path);
        if (static_cast<int>(writes.size()) == failWriteNumber) {
            WriteBytes(root() / path, "half");
            throw TransferError(Message::Untranslated("cut"), TransferFailure::Connection);
        }
        folder_->Write(local, path, progress);
    }
    void WriteBytes(std::string_view bytes, const std::string& path) override { folder_->WriteBytes(bytes, path); }
    ReplaceWay Replace(const std::string& from, const std::string& to) override
    {
        replaces.push_back(to);
        if (failReplaceOfList && to == "ServerInfo.txt")
            throw TransferError(Message::Untranslated("gone"), TransferFailure::Connection);
        folder_->Replace(from, to);
        return refuseOverwrite ? ReplaceWay::DeleteThenRename : ReplaceWay::Atomic;
    }
    void Remove(const std::string& path) override { folder_->Remove(path); }

    std::filesystem::path root() const { return root_; }
    std::filesystem::path root_;

private:
    using Destination::WriteBytes;
    static void WriteBytes(const std::filesystem::path& file, const std::string& bytes) { testing::WriteBytes(file, bytes); }
    std::unique_ptr<Destination> folder_;
};

struct PublisherTest : ::testing::Test {
    SiteFixture site;
    std::filesystem::path host = site.temporary.path() / "host";

    PublisherTest()
    {
        std::filesystem::create_directories(host);
        site.AddUpdate("data/a.pak", "aaa");
        site.AddUpdate("b.pak", "bbb");
    }

    PublishResult Publish(RecordingDestination& destination, bool full = false)
    {
        destination.root_ = host;
        return Publisher(destination, full).Run(PlanSite(site.Input()), {});
    }

    std::vector<std::string> Sent(const PublishResult& result)
    {
        std::vector<std::string> sent;
        for (const PublishedFile& file : result.files)
            if (file.sent)
                sent.push_back(file.path);
        return sent;
    }

    // The host's files but the manifest, which only speeds things up.
    std::map<std::string, std::string> Site()
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(host))
            if (entry.is_regular_file() && entry.path().filename() != kManifestName)
                files[entry.path().lexically_relative(host).generic_string()] = ReadBytes(entry.path());
        return files;
    }
};

TEST_F(PublisherTest, EverythingGoesUpUnderTemporaryNamesBeforeAnythingIsPutInPlace)
{
    RecordingDestination destination(host);
    const PublishResult result = Publish(destination);
    ASSERT_TRUE(result.Succeeded()) << result.failure->Chinese();
    EXPECT_EQ(destination.writes, (std::vector<std::string>{"data/.a.pak.tarnwick-upload", ".b.pak.tarnwick-upload",
                                                            ".ServerInfo.txt.tarnwick-upload"}));
    EXPECT_EQ(destination.replaces, (std::vector<std::string>{"data/a.pak", "b.pak", "ServerInfo.txt", kManifestName}));
    EXPECT_EQ(Site(), (std::map<std::string, std::string>{{"ServerInfo.txt", site.list}, {"b.pak", "bbb"}, {"data/a.pak", "aaa"}}));
    EXPECT_EQ(result.bytesSent, 6u + site.list.size());
}

TEST_F(PublisherTest, OnlyWhatChangedIsSentAgain)
{
    RecordingDestination first(host);
    ASSERT_TRUE(Publish(first).Succeeded());
    RecordingDestination unchanged(host);
    PublishResult result = Publish(unchanged);
    EXPECT_TRUE(unchanged.writes.empty());
    EXPECT_TRUE(Sent(result).empty());
    EXPECT_EQ(result.files.size(), 3u);

    WriteBytes(site.site / "b.pak", "changed");
    site.model.updates.At(1).MD5 = site.model.updates.At(1).DownMD5 = Md5Hex("changed");
    RecordingDestination changed(host);
    result = Publish(changed);
    EXPECT_EQ(Sent(result), (std::vector<std::string>{"b.pak"}));
    EXPECT_EQ(Site()["b.pak"], "changed");

    // A manifest that lies (a file replaced by hand) is overruled with --full.
    WriteBytes(host / "b.pak", "by hand");
    RecordingDestination full(host);
    EXPECT_EQ(Sent(Publish(full, true)).size(), 3u);
    EXPECT_EQ(Site()["b.pak"], "changed");
}

TEST_F(PublisherTest, AFailedUploadLeavesTheSiteAsPlayersSawIt)
{
    RecordingDestination first(host);
    ASSERT_TRUE(Publish(first).Succeeded());
    const auto before = Site();
    WriteBytes(site.site / "data/a.pak", "new a");
    site.model.updates.At(0).MD5 = site.model.updates.At(0).DownMD5 = Md5Hex("new a");
    WriteBytes(site.site / "b.pak", "new b");
    site.model.updates.At(1).MD5 = site.model.updates.At(1).DownMD5 = Md5Hex("new b");
    site.list = "$BEGIN\r\nnew list\r\n$END\r\n";
    WriteBytes(site.folder / "ServerInfo.txt", site.list);

    RecordingDestination cut(host);
    cut.failWriteNumber = 2;
    const PublishResult result = Publish(cut);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.failureKind, TransferFailure::Connection);
    EXPECT_TRUE(cut.replaces.empty());
    EXPECT_EQ(Site(), before) << "the temporary files are removed";

    // The next publish completes it.
    RecordingDestination again(host);
    const PublishResult completed = Publish(again);
    ASSERT_TRUE(completed.Succeeded());
    EXPECT_EQ(Sent(completed).size(), 3u);
    EXPECT_EQ(Site()["ServerInfo.txt"], site.list);
}

TEST_F(PublisherTest, ABlockIndexGoesUpAfterItsFileAndAgainOnlyWithANewVersion)
{
    site.AddUpdate("big.pak", testing::VariedBytes(blocks::kIndexedFromBytes, 1));
    RecordingDestination first(host);
    ASSERT_TRUE(Publish(first).Succeeded());
    EXPECT_EQ(first.replaces, (std::vector<std::string>{"data/a.pak", "b.pak", "big.pak", "big.pak.blocks",
                                                        "ServerInfo.txt", kManifestName}));
    EXPECT_EQ(Site()["big.pak.blocks"], ReadBytes(site.site / "big.pak.blocks"));
    RecordingDestination unchanged(host);
    EXPECT_TRUE(Sent(Publish(unchanged)).empty());
    EXPECT_TRUE(unchanged.writes.empty());

    // A cut while the new index goes up leaves the old file and the old index.
    const auto before = Site();
    const std::string newer = testing::VariedBytes(blocks::kIndexedFromBytes, 2);
    WriteBytes(site.site / "big.pak", newer);
    site.model.updates.At(2).MD5 = site.model.updates.At(2).DownMD5 = Md5Hex(newer);
    RecordingDestination cut(host);
    cut.failWriteNumber = 2;
    EXPECT_FALSE(Publish(cut).Succeeded());
    EXPECT_EQ(cut.writes, (std::vector<std::string>{".big.pak.tarnwick-upload", ".big.pak.blocks.tarnwick-upload"}));
    EXPECT_TRUE(Site() == before);
    RecordingDestination again(host);
    EXPECT_EQ(Sent(Publish(again)), (std::vector<std::string>{"big.pak", "big.pak.blocks"}));
    EXPECT_EQ(Site()["big.pak.blocks"], ReadBytes(site.site / "big.pak.blocks"));
}

TEST_F(PublisherTest, AFailureWhilePuttingInPlaceIsToldAndCompletedNextTime)
{
    RecordingDestination failing(host);
    failing.failReplaceOfList = true;
    const PublishResult result = Publish(failing);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_TRUE(result.partlyPlaced);
    EXPECT_FALSE(std::filesystem::exists(host / "ServerInfo.txt"));
    // What was put in place is in the manifest; the list is sent again.
    RecordingDestination again(host);
    EXPECT_EQ(Sent(Publish(again)), (std::vector<std::string>{"ServerInfo.txt"}));
}

TEST_F(PublisherTest, AServerThatCannotRenameOverAFileIsNoted)
{
    RecordingDestination destination(host);
    destination.refuseOverwrite = true;
    const PublishResult result = Publish(destination);
    ASSERT_TRUE(result.Succeeded());
    EXPECT_EQ(result.notes.size(), 3u);
    EXPECT_EQ(result.files[0].way, ReplaceWay::DeleteThenRename);
}

TEST_F(PublisherTest, CancellingStopsBeforeAnythingIsPutInPlace)
{
    RecordingDestination destination(host);
    destination.root_ = host;
    int reports = 0;
    const PublishResult result = Publisher(destination, false).Run(PlanSite(site.Input()), [&](const PublishProgress& progress) {
        EXPECT_LE(progress.sent, progress.total);
        return ++reports < 2;
    });
    EXPECT_EQ(result.failureKind, TransferFailure::Cancelled);
    EXPECT_TRUE(destination.replaces.empty());
    EXPECT_TRUE(Site().empty());
}

} // namespace
} // namespace tarnwick::publish
