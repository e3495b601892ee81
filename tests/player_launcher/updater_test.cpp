#include "player_launcher/core/updater.h"

#include "player_launcher/core/update_check.h"

#include "base/file_io.h"
#include "digest/md5.h"
#include "temporary_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

// Serves files from memory into the partial file; an address it lacks fails,
// as a server that is down does.
class FakeFetcher : public UpdateFetcher {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> asked;

    FetchResult Fetch(const std::string& url, const fs::path& partial, bool, const FetchProgress& progress,
                      const std::atomic<bool>*) override
    {
        asked.push_back(url);
        const auto found = files.find(url);
        if (found == files.end())
            return {"连接被断开", std::nullopt};
        ReplaceFile(partial, found->second);
        if (progress)
            progress(found->second.size(), found->second.size());
        return {};
    }
};

std::string Md5Hex(const std::string& bytes)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    Digest digest{};
    MD5Final(context, digest);
    return DigestToHex(digest);
}

class UpdaterTest : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path root_ = folder_.path() / "game";
    const fs::path state_ = root_ / "Game.updates";
    FakeFetcher fetcher_;
    Updater updater_{root_, state_, fetcher_};

    void SetUp() override { fs::create_directories(root_ / "Data"); }

    static UpdateEntry Entry(const char* check, const char* name, const char* url)
    {
        UpdateEntry entry;
        entry.Hint = "patch";
        entry.SaveDir = ".\\Data\\";
        entry.SaveName = name;
        entry.DownUrl = url;
        entry.Zip = words::kNo;
        entry.CheckType = check;
        entry.DownType = words::kDownDirect;
        entry.Date = "2026-12-01";
        entry.Ver = "1";
        entry.MD5 = "";
        entry.DownMD5 = "20050505";
        return entry;
    }

    EntryOutcome RunOne(const UpdateEntry& entry) { return updater_.Run({entry}).at(0).outcome; }
    std::string Data(const char* name) { return ReadFile(root_ / "Data" / name); }
};

TEST_F(UpdaterTest, EachCheckTypeFetchesWhatIsMissingOrOldAndLeavesTheRestAlone)
{
    fetcher_.files = {{"http://h/a.dat", "new a"}, {"http://h/b.dat", "new b"}, {"http://h/c.pak", "new c"}};

    const UpdateEntry exists = Entry(words::kCheckExists, "a.dat", "http://h/a.dat");
    EXPECT_EQ(RunOne(exists), EntryOutcome::Updated);
    EXPECT_EQ(Data("a.dat"), "new a");
    EXPECT_EQ(RunOne(exists), EntryOutcome::Current);

    UpdateEntry md5 = Entry(words::kCheckMd5, "b.dat", "http://h/b.dat");
    md5.MD5 = Md5Hex("new b");
    ReplaceFile(root_ / "Data" / "b.dat", "a player's modified copy");
    EXPECT_EQ(RunOne(md5), EntryOutcome::Updated);
    EXPECT_EQ(Data("b.dat"), "new b");
    EXPECT_EQ(RunOne(md5), EntryOutcome::Current);

    UpdateEntry version = Entry(words::kCheckVersion, "c.pak", "http://h/c.pak");
    ReplaceFile(root_ / "Data" / "c.pak", "old c");
    EXPECT_EQ(RunOne(version), EntryOutcome::Updated); // nothing recorded yet
    EXPECT_EQ(RunOne(version), EntryOutcome::Current);
    version.Ver = "2";
    fetcher_.files["http://h/c.pak"] = "newer c";
    EXPECT_EQ(RunOne(version), EntryOutcome::Updated);
    EXPECT_EQ(Data("c.pak"), "newer c");

    UpdateEntry pak = version;
    pak.CheckType = words::kCheckPak;
    EXPECT_EQ(RunOne(pak), EntryOutcome::Current); // the date recorded with version 2
    pak.Date = "2026-12-24";
    EXPECT_EQ(RunOne(pak), EntryOutcome::Updated);
    EXPECT_EQ(RunOne(pak), EntryOutcome::Current);
    EXPECT_EQ(fetcher_.asked.size(), 5u);

    // The record: the MD5 of what an MD5 entry installed; none taken for the others.
    const UpdateState state = UpdateState::Parse(ReadFile(state_));
    ASSERT_TRUE(state.Find(u"Data\\b.dat"));
    EXPECT_EQ(state.Find(u"Data\\b.dat")->md5, Md5Hex("new b"));
    ASSERT_TRUE(state.Find(u"Data\\c.pak"));
    EXPECT_EQ(state.Find(u"Data\\c.pak")->md5, "");
    EXPECT_EQ(state.Find(u"Data\\c.pak")->date, "2026-12-24");

    // A damaged state file means nothing recorded: fetched again, never a crash.
    ReplaceFile(state_, "{\"format\": broken");
    EXPECT_EQ(RunOne(pak), EntryOutcome::Updated);
}

TEST_F(UpdaterTest, AFileReplacedEarlierInTheRunIsCheckedAsItIsNow)
{
    // The MD5 checks run before the downloads; a later entry for a file that
    // an earlier one replaced must see the new file, not fetch it again.
    ReplaceFile(root_ / "Data" / "a.dat", "old a");
    fetcher_.files = {{"http://h/a.dat", "new a"}};
    UpdateEntry first = Entry(words::kCheckVersion, "a.dat", "http://h/a.dat");
    UpdateEntry second = Entry(words::kCheckMd5, "a.dat", "http://h/a.dat");
    second.MD5 = Md5Hex("new a");
    const std::vector<EntryReport> reports = updater_.Run({first, second});
    EXPECT_EQ(reports[0].outcome, EntryOutcome::Updated);
    EXPECT_EQ(reports[1].outcome, EntryOutcome::Current);
    EXPECT_EQ(fetcher_.asked.size(), 1u);
}

TEST_F(UpdaterTest, AFailedEntryLeavesTheOldFileExactlyAsItWas)
{
    ReplaceFile(root_ / "Data" / "a.dat", "old a");
    UpdateEntry entry = Entry(words::kCheckMd5, "a.dat", "http://h/a.dat");
    entry.MD5 = Md5Hex("new a");

    // The server is down.
    const std::vector<EntryReport> down = updater_.Run({entry});
    EXPECT_EQ(down[0].outcome, EntryOutcome::Failed);
    EXPECT_NE(down[0].reason.find("连接被断开"), std::string::npos);
    EXPECT_EQ(Data("a.dat"), "old a");

    // The download is not what DownMD5 says.
    fetcher_.files["http://h/a.dat"] = "tampered";
    entry.DownMD5 = Md5Hex("new a");
    EXPECT_EQ(RunOne(entry), EntryOutcome::Failed);
    EXPECT_EQ(Data("a.dat"), "old a");
    EXPECT_FALSE(fs::exists(PartialPathFor(root_ / "Data" / "a.dat")));

    fetcher_.files["http://h/a.dat"] = "new a";
    EXPECT_EQ(RunOne(entry), EntryOutcome::Updated);
    EXPECT_EQ(Data("a.dat"), "new a");
}

TEST_F(UpdaterTest, ASignedListInstallsOnlyDownloadsWhoseDigestItPins)
{
    Updater signedOnly(root_, state_, fetcher_, Pinning::Required);
    const auto run = [&](const UpdateEntry& entry) { return signedOnly.Run({entry}).at(0); };
    fetcher_.files["http://h/client.exe"] = "evil client";

    // Nothing pinned: refused before anything is fetched.
    const EntryReport unpinned = run(Entry(words::kCheckExists, "client.exe", "http://h/client.exe"));
    EXPECT_EQ(unpinned.outcome, EntryOutcome::Failed);
    EXPECT_NE(unpinned.reason.find("DownMD5"), std::string::npos);
    EXPECT_TRUE(fetcher_.asked.empty());
    EXPECT_FALSE(fs::exists(root_ / "Data" / "client.exe"));

    // An MD5 entry that is no zip pins its download by MD5: another file is refused.
    UpdateEntry byMd5 = Entry(words::kCheckMd5, "client.exe", "http://h/client.exe");
    byMd5.MD5 = Md5Hex("good client");
    EXPECT_EQ(run(byMd5).outcome, EntryOutcome::Failed);
    EXPECT_FALSE(fs::exists(root_ / "Data" / "client.exe"));
    fetcher_.files["http://h/client.exe"] = "good client";
    EXPECT_EQ(run(byMd5).outcome, EntryOutcome::Updated);
    EXPECT_EQ(Data("client.exe"), "good client");

    // A zip's MD5 names a file inside it, not the download: not a pin.
    UpdateEntry zip = Entry(words::kCheckMd5, "pack.dat", "http://h/pack.zip");
    zip.Zip = words::kYes;
    zip.MD5 = Md5Hex("inside");
    EXPECT_EQ(run(zip).outcome, EntryOutcome::Failed);

    // DownMD5 pins any entry.
    UpdateEntry byDownMd5 = Entry(words::kCheckExists, "b.dat", "http://h/b.dat");
    fetcher_.files["http://h/b.dat"] = "b";
    byDownMd5.DownMD5 = Md5Hex("b");
    EXPECT_EQ(run(byDownMd5).outcome, EntryOutcome::Updated);
    // Without the requirement, the unpinned entry installs as it always did.
    EXPECT_EQ(RunOne(Entry(words::kCheckExists, "c.dat", "http://h/client.exe")), EntryOutcome::Updated);
}

TEST_F(UpdaterTest, NothingOutsideTheFolderIsWrittenAndUnsupportedDownloadsAreSkipped)
{
    ReplaceFile(folder_.path() / "outside.dll", "system file");
    fetcher_.files = {{"http://h/x.dll", "payload"}};
    const auto before = Snapshot(folder_.path());
    for (const char* dir : {"..\\..\\", "..", "C:\\Windows\\", "\\\\server\\share\\", "Data\\CON\\"}) {
        UpdateEntry hostile = Entry(words::kCheckExists, "outside.dll", "http://h/x.dll");
        hostile.SaveDir = dir;
        const std::vector<EntryReport> reports = updater_.Run({hostile});
        EXPECT_EQ(reports[0].outcome, EntryOutcome::Failed) << dir;
        EXPECT_FALSE(reports[0].reason.empty());
    }
    EXPECT_TRUE(fetcher_.asked.empty());
    EXPECT_EQ(Snapshot(folder_.path()), before);

    UpdateEntry album = Entry(words::kCheckExists, "a.dat", "http://h/x.dll");
    album.DownType = words::kDownAlbum;
    EXPECT_EQ(RunOne(album), EntryOutcome::Skipped);
    EXPECT_TRUE(fetcher_.asked.empty());
}

TEST_F(UpdaterTest, AnArchiveIsUnpackedIntoItsFolderOrNotAtAll)
{
    const fs::path zip = folder_.path() / "served.zip";
    WriteZip(zip, {{"maps/a.map", "map a"}, {"client.dat", "client"}});
    fetcher_.files["http://h/pack.zip"] = ReadFile(zip);
    UpdateEntry entry = Entry(words::kCheckExists, "client.dat", "http://h/pack.zip");
    entry.Zip = words::kYes;
    EXPECT_EQ(RunOne(entry), EntryOutcome::Updated);
    EXPECT_EQ(Data("client.dat"), "client");
    EXPECT_EQ(ReadFile(root_ / "Data" / "maps" / "a.map"), "map a");
    EXPECT_FALSE(fs::exists(PartialPathFor(root_ / "Data" / "client.dat")));
    EXPECT_EQ(RunOne(entry), EntryOutcome::Current);

    WriteZip(zip, {{"good.dat", "good"}, {"../../escape.dll", "payload"}});
    fetcher_.files["http://h/evil.zip"] = ReadFile(zip);
    UpdateEntry evil = Entry(words::kCheckExists, "good.dat", "http://h/evil.zip");
    evil.Zip = words::kYes;
    const auto before = Snapshot(folder_.path());
    EXPECT_EQ(RunOne(evil), EntryOutcome::Failed);
    EXPECT_EQ(Snapshot(folder_.path()), before);
}

} // namespace
} // namespace tarnwick::player
