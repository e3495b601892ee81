#include "player_launcher/core/resuming_fetch.h"

#include "base/file_io.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick::player {
namespace {

namespace fs = std::filesystem;

const std::string kUrl = "http://127.0.0.1:8080/patch.dat";

// A web server in memory that answers range requests as HTTP says: the range
// when If-Range still names the file, else the whole body. Each request can be
// cut after some bytes of its body, as a dropped connection is.
class FakeServer : public HttpTransport {
public:
    std::string file;
    std::string etag = "\"v1\"";
    std::string lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    bool announceLength = true;
    bool honourRanges = true;
    int status = 200;
    bool refuseConnection = false; // no answer at all, as a server that is down
    std::optional<std::uint64_t> wrongRangeStart; // a faulty server's Content-Range
    std::vector<std::optional<std::size_t>> cutAfter; // per request, bytes of body sent before the cut
    std::vector<std::optional<RangeRequest>> requests;

    TransferResult Get(const std::string&, const std::optional<RangeRequest>& range,
                       const std::function<std::string(const HttpHead&)>& head,
                       const std::function<std::string(std::string_view)>& body, const std::atomic<bool>*) override
    {
        const std::size_t number = requests.size();
        requests.push_back(range);
        if (refuseConnection)
            return {"无法连接到服务器", true};
        HttpHead answer;
        answer.status = status;
        answer.validators = {etag, lastModified, std::nullopt};
        std::string_view sent = file;
        const bool sameFile = range && (range->condition == etag || range->condition == lastModified);
        if (status == 200 && range && honourRanges && sameFile) {
            answer.status = 206;
            const std::uint64_t first = wrongRangeStart.value_or(range->from);
            answer.range = ContentRange{first, file.size() - 1, file.size()};
            sent.remove_prefix(range->from);
        }
        if (announceLength)
            answer.validators.length = sent.size();
        if (std::string why = head(answer); !why.empty())
            return {why, false};
        const std::optional<std::size_t> cut = number < cutAfter.size() ? cutAfter[number] : std::nullopt;
        const std::string_view part = cut ? sent.substr(0, *cut) : sent;
        // In pieces, as a network delivers it.
        for (std::size_t at = 0; at < part.size(); at += 1000)
            if (std::string why = body(part.substr(at, 1000)); !why.empty())
                return {why, false};
        if (cut && !announceLength)
            return {"连接被断开", true};
        return {};
    }
};

std::string Bytes(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 31 + i / 977);
    return bytes;
}

class ResumingFetch : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path partial_ = folder_.path() / "patch.dat.download";
    FakeServer server_;

    void SetUp() override { server_.file = Bytes(10'000, 'a'); }

    // The error; on success the digest taken on the way must be the file's.
    std::string Fetch(std::uint64_t maxBytes = kMaxDownloadBytes)
    {
        ResumingFetcher fetcher(server_, maxBytes);
        const FetchResult result = fetcher.Fetch(kUrl, partial_, true, {}, nullptr);
        if (result.error.empty()) {
            Digest onDisk{};
            FileDigest(partial_, onDisk);
            EXPECT_EQ(result.md5, onDisk);
        }
        return result.error;
    }
    std::string Partial() const { return ReadFile(partial_); }
    bool RecordKept() const { return fs::exists(PartialRecordPathFor(partial_)); }
};

TEST_F(ResumingFetch, ACutConnectionIsContinuedWithARangeRequestNamingTheFile)
{
    server_.cutAfter = {4'000};
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 2u);
    EXPECT_EQ(server_.requests[0], std::nullopt);
    ASSERT_TRUE(server_.requests[1]);
    EXPECT_EQ(server_.requests[1]->from, 4'000u);
    EXPECT_EQ(server_.requests[1]->condition, "\"v1\"");
    EXPECT_FALSE(RecordKept());
}

TEST_F(ResumingFetch, ARunThatGaveUpIsContinuedByTheNextRun)
{
    // Every try of the first run breaks off: the launcher was closed, or the
    // connection is gone for good. What came stays, with its record.
    server_.cutAfter = {3'000, 0, 0};
    EXPECT_NE(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file.substr(0, 3'000));
    EXPECT_TRUE(RecordKept());

    server_.cutAfter.clear();
    server_.requests.clear();
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 1u);
    ASSERT_TRUE(server_.requests[0]);
    EXPECT_EQ(server_.requests[0]->from, 3'000u);
}

TEST_F(ResumingFetch, AChangedFileOrAServerWithoutRangesStartsAgain)
{
    server_.cutAfter = {3'000, 0, 0};
    EXPECT_NE(Fetch(), "");
    // The file changed on the server: it answers the range request with the whole new file.
    server_.cutAfter.clear();
    server_.file = Bytes(9'000, 'z');
    server_.etag = "\"v2\"";
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);

    fs::remove(partial_);
    server_.requests.clear();
    server_.cutAfter = {3'000, 0, 0};
    EXPECT_NE(Fetch(), "");
    server_.cutAfter.clear();
    server_.honourRanges = false;
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
}

TEST_F(ResumingFetch, KeptBytesWithoutAUsableRecordAreNeverContinued)
{
    // Bytes from before, but the record is another address's, or gone.
    ReplaceFile(partial_, "stale bytes of something else");
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 1u);
    EXPECT_EQ(server_.requests[0], std::nullopt);

    // Without validators the server's answer cannot show the file is the same.
    fs::remove(partial_);
    server_.etag.clear();
    server_.lastModified.clear();
    server_.requests.clear();
    server_.cutAfter = {3'000};
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 2u);
    EXPECT_EQ(server_.requests[1], std::nullopt);
}

TEST_F(ResumingFetch, AWrongRangeAnswerDropsTheKeptBytesAndFetchesTheWholeFile)
{
    server_.cutAfter = {3'000};
    server_.wrongRangeStart = 0;
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 3u);
    EXPECT_TRUE(server_.requests[1]);
    EXPECT_EQ(server_.requests[2], std::nullopt);
}

TEST_F(ResumingFetch, RefusalsAreNotRetriedAndSayWhy)
{
    server_.status = 404;
    EXPECT_EQ(Fetch(), "更新文件“patch.dat”下载失败：服务器返回 HTTP 404（服务器上没有这个文件）。请联系游戏管理员。");
    EXPECT_EQ(server_.requests.size(), 1u);

    // Too large: refused from the announced length before any byte, and
    // without one once the bytes pass the cap.
    server_.status = 200;
    EXPECT_EQ(Fetch(5'000), "更新文件“patch.dat”太大，超过了 4.9 KB 的上限。请联系游戏管理员。");
    EXPECT_FALSE(fs::exists(partial_));
    server_.announceLength = false;
    EXPECT_EQ(Fetch(5'000), "更新文件“patch.dat”太大，超过了 4.9 KB 的上限。请联系游戏管理员。");
    EXPECT_LE(Partial().size(), 5'000u);
}

TEST_F(ResumingFetch, AWholeKeptFileIsConfirmedWithItsLastByteNotFetchedAgain)
{
    // A run killed after the last byte, before the file was taken: the kept
    // bytes and their record are all there.
    const auto keepWhole = [&] {
        ReplaceFile(partial_, server_.file);
        ReplaceFile(PartialRecordPathFor(partial_),
                    PartialDownloadText({kUrl, {server_.etag, server_.lastModified, server_.file.size()}}));
        server_.requests.clear();
    };
    keepWhole();
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 1u);
    ASSERT_TRUE(server_.requests[0]);
    EXPECT_EQ(server_.requests[0]->from, server_.file.size() - 1);
    EXPECT_EQ(server_.requests[0]->condition, "\"v1\"");
    EXPECT_FALSE(RecordKept());

    // Changed on the server meanwhile: the whole new file comes instead.
    keepWhole();
    server_.file = Bytes(12'000, 'q');
    server_.etag = "\"v2\"";
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    ASSERT_EQ(server_.requests.size(), 1u);
    EXPECT_EQ(server_.requests[0]->from, 9'999u);

    // A server that ignores ranges sends it whole as well.
    keepWhole();
    server_.honourRanges = false;
    EXPECT_EQ(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file);
    EXPECT_EQ(server_.requests.size(), 1u);
}

TEST_F(ResumingFetch, AFailureBeforeAnyByteLeavesNoEmptyFileBehind)
{
    const auto nothingLeft = [&] { return !fs::exists(partial_) && !RecordKept(); };
    server_.refuseConnection = true;
    EXPECT_NE(Fetch(), "");
    EXPECT_TRUE(nothingLeft());

    server_.refuseConnection = false;
    server_.status = 404;
    EXPECT_NE(Fetch(), "");
    EXPECT_TRUE(nothingLeft());

    // The head came and its record was written, then the connection died
    // before the body: nothing to continue.
    server_.status = 200;
    server_.announceLength = false;
    server_.requests.clear();
    server_.cutAfter = {0, 0, 0};
    EXPECT_NE(Fetch(), "");
    EXPECT_TRUE(nothingLeft());

    // Bytes that did come stay for the next run, with their record.
    server_.announceLength = true;
    server_.requests.clear();
    server_.cutAfter = {2'000, 0, 0};
    EXPECT_NE(Fetch(), "");
    server_.refuseConnection = true;
    EXPECT_NE(Fetch(), "");
    EXPECT_EQ(Partial(), server_.file.substr(0, 2'000));
    EXPECT_TRUE(RecordKept());
}

} // namespace
} // namespace tarnwick::player
