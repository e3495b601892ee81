#include "player_launcher/core/delta_fetch.h"

#include "player_fixtures.h"
#include "player_launcher/core/player_messages.h"

#include "base/file_io.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace tarnwick::player {
namespace {

namespace fs = std::filesystem;

const std::string kUrl = "http://127.0.0.1:8080/Data/game.pak";

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// A web server in memory with the range support of real ones: several
// ranges in one multipart answer, or only one range at a time (several get
// the whole file, or 501), or no ranges at all. It counts what it sends.
class RangeServer : public HttpTransport {
public:
    enum class Ranges { Several, OneAtATime, SeveralNotImplemented, None };
    std::map<std::string, std::string> files;
    Ranges ranges = Ranges::Several;
    bool mergeParts = false;  // answers several ranges with one part that spans them all
    std::uint64_t bodyBytes = 0;
    std::vector<std::size_t> spansAsked; // per range request
    std::atomic<bool>* cancelAfterFirst = nullptr;

    TransferResult Get(const std::string& url, const std::optional<RangeRequest>& range,
                       const std::function<std::string(const HttpHead&)>& head,
                       const std::function<std::string(std::string_view)>& body, const std::atomic<bool>*) override
    {
        HttpHead answer;
        const auto found = files.find(url);
        if (found == files.end()) {
            answer.status = 404;
            return {head(answer), false};
        }
        const std::string& file = found->second;
        std::vector<ByteSpan> spans;
        if (range) {
            spans = range->spans.empty() ? std::vector<ByteSpan>{{range->from, file.size() - 1}} : range->spans;
            spansAsked.push_back(spans.size());
        }
        std::string sent = file;
        answer.status = 200;
        if (!spans.empty() && ranges != Ranges::None && !(spans.size() > 1 && ranges == Ranges::OneAtATime)) {
            if (spans.size() > 1 && ranges == Ranges::SeveralNotImplemented) {
                answer.status = 501;
                return {head(answer), false};
            }
            answer.status = 206;
            if (mergeParts)
                spans = {{spans.front().first, spans.back().last}};
            if (spans.size() == 1) {
                answer.range = ContentRange{spans[0].first, spans[0].last, file.size()};
                sent = file.substr(spans[0].first, spans[0].last - spans[0].first + 1);
            } else {
                answer.contentType = "multipart/byteranges; boundary=00000000000000000042";
                sent = "preamble\r\n";
                for (const ByteSpan& span : spans)
                    sent += "\r\n--00000000000000000042\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes " +
                            std::to_string(span.first) + "-" + std::to_string(span.last) + "/" +
                            std::to_string(file.size()) + "\r\n\r\n" + file.substr(span.first, span.last - span.first + 1);
                sent += "\r\n--00000000000000000042--\r\n";
            }
        }
        answer.validators.length = sent.size();
        if (std::string why = head(answer); !why.empty())
            return {why, false};
        for (std::size_t at = 0; at < sent.size(); at += 777) {
            const std::string_view piece = std::string_view(sent).substr(at, 777);
            bodyBytes += piece.size();
            if (std::string why = body(piece); !why.empty())
                return {why, false};
        }
        if (cancelAfterFirst)
            cancelAfterFirst->store(true);
        return {};
    }
};

class DeltaFetch : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path current_ = folder_.path() / "game.pak";
    const fs::path partial_ = folder_.path() / "game.pak.download";
    RangeServer server_;
    std::string fresh_;
    std::string old_;

    // A new file of 2 MB and an old one that differs in three places: a
    // changed stretch, an insertion and a deletion.
    void SetUp() override
    {
        fresh_ = RandomBytes(2'000'000, 11);
        old_ = fresh_;
        for (std::size_t i = 300'000; i < 310'000; ++i)
            old_[i] = static_cast<char>(old_[i] ^ 0x33);
        old_.insert(900'000, RandomBytes(5000, 12));
        old_.erase(1'500'000, 7000);
        ReplaceFile(current_, old_);
        Publish(fresh_);
    }

    void Publish(const std::string& bytes)
    {
        const fs::path made = folder_.path() / "published.pak";
        ReplaceFile(made, bytes);
        server_.files[kUrl] = bytes;
        server_.files[kUrl + ".blocks"] = blocks::EncodeIndex(blocks::IndexFile(made, 2));
    }

    FetchResult Patch(const std::optional<std::string>& expected = std::nullopt, const std::atomic<bool>* cancelled = nullptr)
    {
        DeltaFetcher fetcher(server_, 2);
        return fetcher.Patch(kUrl, current_, partial_, expected, {}, cancelled);
    }

    // Nothing of a failed patch is left beside the player's file, which is as it was.
    void ExpectNothingLeft()
    {
        EXPECT_FALSE(fs::exists(partial_));
        EXPECT_FALSE(fs::exists(PatchPathFor(partial_)));
        EXPECT_EQ(ReadFile(current_), old_);
    }
};

TEST_F(DeltaFetch, OnlyWhatChangedIsFetchedAndTheFileComesOutExact)
{
    const FetchResult result = Patch(Md5Hex(fresh_));
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(ReadFile(partial_), fresh_);
    ASSERT_TRUE(result.md5);
    EXPECT_EQ(DigestToHex(*result.md5), Md5Hex(fresh_));
    EXPECT_EQ(ReadFile(current_), old_) << "the old file is only read";
    EXPECT_FALSE(fs::exists(PatchPathFor(partial_)));
    // The index (about 2,500 bytes) and three changed stretches of at most
    // 10,000 bytes plus a 4,096-byte block on either side.
    EXPECT_LT(server_.bodyBytes, 50'000u);
    ASSERT_EQ(server_.spansAsked.size(), 1u) << "one request for all ranges";
    EXPECT_EQ(server_.spansAsked[0], 3u);
}

TEST_F(DeltaFetch, ServersThatSendOneRangeAtATimeAreAskedOneAtATime)
{
    for (const RangeServer::Ranges ranges : {RangeServer::Ranges::OneAtATime, RangeServer::Ranges::SeveralNotImplemented}) {
        server_.ranges = ranges;
        server_.spansAsked.clear();
        fs::remove(partial_);
        const FetchResult result = Patch(Md5Hex(fresh_));
        ASSERT_EQ(result.error, "");
        EXPECT_EQ(ReadFile(partial_), fresh_);
        EXPECT_EQ(server_.spansAsked, (std::vector<std::size_t>{3, 1, 1, 1}));
    }
    // A server that merges the ranges into one part sends more, but the file is right.
    server_.ranges = RangeServer::Ranges::Several;
    server_.mergeParts = true;
    fs::remove(partial_);
    ASSERT_EQ(Patch().error, "");
    EXPECT_EQ(ReadFile(partial_), fresh_);
}

TEST_F(DeltaFetch, WhateverIsWrongLeavesTheWholeDownloadToDo)
{
    // No ranges at all.
    server_.ranges = RangeServer::Ranges::None;
    EXPECT_NE(Patch().error, "");
    ExpectNothingLeft();
    server_.ranges = RangeServer::Ranges::Several;

    // No index, a damaged one, and one of another version than the list names.
    const std::string index = server_.files[kUrl + ".blocks"];
    server_.files.erase(kUrl + ".blocks");
    EXPECT_NE(Patch().error, "");
    ExpectNothingLeft();
    server_.files[kUrl + ".blocks"] = index.substr(0, index.size() - 1);
    EXPECT_NE(Patch().error, "");
    ExpectNothingLeft();
    server_.files[kUrl + ".blocks"] = index;
    EXPECT_EQ(Patch(Md5Hex("another version")).error, "the block index is of another version of the file");
    ExpectNothingLeft();

    // A block that is not what the index says: the built file is refused.
    server_.files[kUrl][305'000] ^= 0x01;
    EXPECT_EQ(Patch().error, "the built file is not the indexed one");
    ExpectNothingLeft();
}

TEST_F(DeltaFetch, AnOldFileOfLittleUseOrTooSmallIsNotPatched)
{
    old_ = RandomBytes(2'000'000, 13);
    ReplaceFile(current_, old_);
    EXPECT_EQ(Patch().error, "the old file holds too little of the new one");
    ExpectNothingLeft();
    old_ = fresh_.substr(0, 1000);
    ReplaceFile(current_, old_);
    server_.bodyBytes = 0;
    EXPECT_NE(Patch().error, "");
    EXPECT_EQ(server_.bodyBytes, 0u) << "not even the index is fetched";
    ExpectNothingLeft();
}

TEST_F(DeltaFetch, ABuildLeftByAKilledRunIsStartedAgainAndACancelLeavesNothing)
{
    ReplaceFile(PatchPathFor(partial_), RandomBytes(3'000'000, 14));
    ASSERT_EQ(Patch().error, "");
    EXPECT_EQ(ReadFile(partial_), fresh_);
    EXPECT_FALSE(fs::exists(PatchPathFor(partial_)));

    fs::remove(partial_);
    std::atomic<bool> cancelled = false;
    server_.cancelAfterFirst = &cancelled;
    EXPECT_EQ(Patch(std::nullopt, &cancelled).error, kCancelled);
    ExpectNothingLeft();
}

TEST(ByteRanges, PartsAreReadInAnyPiecesAndDamageIsRefused)
{
    EXPECT_EQ(ByteRangesBoundary("multipart/byteranges; boundary=abc"), "abc");
    EXPECT_EQ(ByteRangesBoundary("Multipart/ByteRanges;charset=x; boundary=\"a b\""), "a b");
    EXPECT_EQ(ByteRangesBoundary("multipart/byteranges"), std::nullopt);
    EXPECT_EQ(ByteRangesBoundary("multipart/mixed; boundary=abc"), std::nullopt);
    EXPECT_EQ(ByteRangesBoundary("application/octet-stream"), std::nullopt);

    const std::string body = "\r\n--B\r\nContent-Range: bytes 2-4/10\r\n\r\nCDE\r\n--B  \r\ncontent-range: bytes 7-8/10\r\n\r\n"
                             "HI\r\n--B--\r\nepilogue";
    for (std::size_t piece = 1; piece <= body.size(); ++piece) {
        std::string seen;
        ByteRangesReader reader(
            "B", [&](const ContentRange& range) { seen += "[" + std::to_string(range.first) + "]"; return std::string(); },
            [&](std::string_view bytes) { seen += bytes; return std::string(); });
        for (std::size_t at = 0; at < body.size(); at += piece)
            ASSERT_EQ(reader.Feed(std::string_view(body).substr(at, piece)), "") << "pieces of " << piece;
        EXPECT_EQ(seen, "[2]CDE[7]HI");
        EXPECT_TRUE(reader.Ended());
    }

    const auto refused = [](const std::string& damaged) {
        ByteRangesReader reader(
            "B", [](const ContentRange&) { return std::string(); }, [](std::string_view) { return std::string(); });
        return reader.Feed(damaged);
    };
    EXPECT_EQ(refused("--B\r\nContent-Range: bytes 2-4/10\r\n\r\nCDEF\r\n--B--"), "a part is longer than its Content-Range");
    EXPECT_EQ(refused("--B\r\nContent-Type: x\r\n\r\nCDE"), "a part without a Content-Range");
    EXPECT_EQ(refused("--B\r\nContent-Range: bytes 4-2/10\r\n\r\n"), "a part without a Content-Range");
    EXPECT_EQ(refused("--Bxx\r\n"), "a damaged multipart delimiter");
    EXPECT_NE(refused(std::string(5000, 'x')), "");
}

// The updater patches a file the player has, and downloads it whole when
// patching does not work out.
class PatchingUpdater : public DeltaFetch {
protected:
    const fs::path root_ = folder_.path() / "game";
    ResumingFetcher whole_{server_};
    DeltaFetcher patcher_{server_, 2};

    EntryReport Run()
    {
        fs::create_directories(root_ / "Data");
        Updater updater(root_, root_ / "Game.updates", whole_);
        updater.SetPatcher(patcher_);
        UpdateEntry entry;
        entry.Hint = "pak";
        entry.SaveDir = ".\\Data\\";
        entry.SaveName = "game.pak";
        entry.DownUrl = kUrl;
        entry.Zip = words::kNo;
        entry.CheckType = words::kCheckMd5;
        entry.DownType = words::kDownDirect;
        entry.Date = "2026-12-09";
        entry.Ver = "2";
        entry.MD5 = Md5Hex(fresh_);
        entry.DownMD5 = Md5Hex(fresh_);
        return updater.Run(tarnwick::testing::ItemsOf({entry})).at(0);
    }
};

TEST_F(PatchingUpdater, AFileThePlayerHasIsPatchedElseDownloadedWhole)
{
    fs::create_directories(root_ / "Data");
    ReplaceFile(root_ / "Data" / "game.pak", old_);
    EXPECT_EQ(Run().outcome, EntryOutcome::Updated);
    EXPECT_EQ(ReadFile(root_ / "Data" / "game.pak"), fresh_);
    EXPECT_LT(server_.bodyBytes, 50'000u);

    // Without ranges: the whole file.
    ReplaceFile(root_ / "Data" / "game.pak", old_);
    server_.ranges = RangeServer::Ranges::None;
    server_.bodyBytes = 0;
    EXPECT_EQ(Run().outcome, EntryOutcome::Updated);
    EXPECT_EQ(ReadFile(root_ / "Data" / "game.pak"), fresh_);
    EXPECT_GE(server_.bodyBytes, fresh_.size());
    EXPECT_FALSE(fs::exists(PatchPathFor(PartialPathFor(root_ / "Data" / "game.pak"))));
}

} // namespace
} // namespace tarnwick::player
