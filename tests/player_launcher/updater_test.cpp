#include "player_launcher/core/updater.h"
#include "player_launcher/core/player_messages.h"

#include "player_fixtures.h"
#include "player_launcher/core/install_step.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/update_check.h"

#include "base/file_io.h"
#include "digest/md5.h"
#include "temporary_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick::player {
namespace {

using tarnwick::testing::ItemsOf;

// Serves files from memory into the partial file; an address it lacks fails,
// as a server that is down does.
class FakeFetcher : public UpdateFetcher {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> asked;
    std::vector<bool> digestAsked;

    FetchResult Fetch(const std::string& url, const fs::path& partial, bool digest, const FetchProgress& progress,
                      const std::atomic<bool>*) override
    {
        asked.push_back(url);
        digestAsked.push_back(digest);
        const auto found = files.find(url);
        if (found == files.end())
            return {"连接被断开", std::nullopt};
        ReplaceFile(partial, found->second);
        if (progress)
            progress(found->second.size(), found->second.size());
        Digest md5{};
        FileDigest(partial, md5);
        return {{}, digest ? std::optional(md5) : std::nullopt};
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

// The process dies during the install, after putting the download in place
// or before: nothing after it runs.
struct Killed {};
class KilledInInstall : public InstallStep {
public:
    bool placed = true;
    InstallResult Install(const fs::path& download, const fs::path& target, const std::atomic<bool>*) override
    {
        if (placed)
            fs::rename(download, target);
        throw Killed{};
    }
};

// Stands for the launcher's own step: takes note of what it was given and,
// as the real one, leaves the file for the new launcher to move into place.
class HandOverLater : public InstallStep {
public:
    std::vector<std::string> given; // the download's bytes, each time
    bool finishes = false;

    InstallResult Install(const fs::path& download, const fs::path& target, const std::atomic<bool>*) override
    {
        given.push_back(ReadFile(download));
        InstallResult result;
        if (finishes)
            fs::rename(download, target);
        result.finished = finishes;
        result.note = "登录器已更新，重新启动后使用新版本";
        return result;
    }
};

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

    EntryOutcome RunOne(const UpdateEntry& entry) { return updater_.Run(ItemsOf({entry})).at(0).outcome; }
    std::string Data(const char* name) { return ReadFile(root_ / "Data" / name); }
    std::optional<InstalledRecord> Recorded(std::u16string_view path)
    {
        return UpdateState::Parse(ReadFile(state_)).Find(path);
    }
    void Record(std::u16string_view path, const InstalledRecord& record)
    {
        UpdateState state = fs::exists(state_) ? UpdateState::Parse(ReadFile(state_)) : UpdateState();
        state.Set(path, record);
        ReplaceFile(state_, state.Text());
    }
    // An archive entry served at `url`, unpacked into Data.
    UpdateEntry ServedZip(const char* check, const char* url, const std::vector<Member>& members)
    {
        const fs::path zip = folder_.path() / "served.zip";
        WriteZip(zip, members);
        fetcher_.files[url] = ReadFile(zip);
        UpdateEntry entry = Entry(check, "pack.zip", url);
        entry.Zip = words::kYes;
        return entry;
    }
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

    // The record: the MD5 of what each entry installed, taken while it came.
    const UpdateState state = UpdateState::Parse(ReadFile(state_));
    ASSERT_TRUE(state.Find(u"Data\\b.dat"));
    EXPECT_EQ(state.Find(u"Data\\b.dat")->md5, Md5Hex("new b"));
    ASSERT_TRUE(state.Find(u"Data\\c.pak"));
    EXPECT_EQ(state.Find(u"Data\\c.pak")->md5, Md5Hex("newer c"));
    EXPECT_EQ(state.Find(u"Data\\c.pak")->date, "2026-12-24");
    EXPECT_FALSE(state.Find(u"Data\\c.pak")->pending);
    EXPECT_EQ(std::count(fetcher_.digestAsked.begin(), fetcher_.digestAsked.end(), false), 0);

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
    const std::vector<EntryReport> reports = updater_.Run(ItemsOf({first, second}));
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
    const std::vector<EntryReport> down = updater_.Run(ItemsOf({entry}));
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
    const auto run = [&](const UpdateEntry& entry) { return signedOnly.Run(ItemsOf({entry})).at(0); };
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
        const std::vector<EntryReport> reports = updater_.Run(ItemsOf({hostile}));
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

// Bytes of the list that are no GBK show as U+FFFD; a file is never written
// at such a path, nor fetched from such an address.
TEST_F(UpdaterTest, AnEntryWhosePathOrAddressDoesNotConvertIsRefused)
{
    const std::string bad = "\xB0\xFF"; // a lead byte before one that trails nothing
    fetcher_.files = {{"http://h/a.dat", "payload"}};
    const auto before = Snapshot(folder_.path());
    UpdateEntry dir = Entry(words::kCheckExists, "a.dat", "http://h/a.dat");
    dir.SaveDir = ".\\" + bad + "\\";
    UpdateEntry name = Entry(words::kCheckExists, ("a" + bad + ".dat").c_str(), "http://h/a.dat");
    name.Hint = "";
    UpdateEntry url = Entry(words::kCheckExists, "a.dat", ("http://h/a" + bad + ".dat").c_str());
    const std::vector<UpdateItem> items = ItemsOf({dir, name, url});
    const std::vector<EntryReport> reports = updater_.Run(items);
    ASSERT_EQ(reports.size(), 3u);
    for (const EntryReport& report : reports)
        EXPECT_EQ(report.outcome, EntryOutcome::Failed) << report.index;
    EXPECT_EQ(reports[0].reason, EntryProblemText(EntryProblem::PathNotText));
    EXPECT_EQ(reports[1].reason, EntryProblemText(EntryProblem::PathNotText));
    EXPECT_EQ(reports[2].reason, UrlNotTextText("http://h/a\uFFFD\uFFFD.dat"));
    EXPECT_TRUE(fetcher_.asked.empty());
    EXPECT_EQ(Snapshot(folder_.path()), before);
    // The line "/update" prints shows the name as the list has it.
    EXPECT_EQ(ReportLine(reports[1], items[1]), "[2] 失败：a\uFFFD\uFFFD.dat（" + EntryProblemText(EntryProblem::PathNotText) + "）");
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

TEST_F(UpdaterTest, ARunKilledDuringAnInstallFetchesNothingAgain)
{
    KilledInInstall dies;
    int served = 0;
    for (const char* check : {words::kCheckVersion, words::kCheckPak, words::kCheckMd5}) {
        for (const bool placed : {true, false}) {
            const std::string name = std::string(check == words::kCheckVersion ? "v" : check == words::kCheckPak ? "p" : "m") +
                                     (placed ? "1.dat" : "2.dat");
            const std::string url = "http://h/" + name;
            const fs::path target = root_ / "Data" / name;
            ReplaceFile(target, "old");
            fetcher_.files[url] = "new " + name;
            UpdateEntry entry = Entry(check, name.c_str(), url.c_str());
            entry.MD5 = Md5Hex("new " + name);
            // Killed after the pending record, with the file in place or the whole download beside it.
            Updater killed(root_, state_, fetcher_);
            dies.placed = placed;
            killed.SetSelfInstall(target, dies);
            EXPECT_THROW(killed.Run(ItemsOf({entry})), Killed) << name;
            ++served;
            ASSERT_EQ(fetcher_.asked.size(), static_cast<std::size_t>(served)) << name;

            Updater again(root_, state_, fetcher_);
            const EntryOutcome outcome = again.Run(ItemsOf({entry})).at(0).outcome;
            EXPECT_EQ(outcome, placed ? EntryOutcome::Current : EntryOutcome::Updated) << name;
            EXPECT_EQ(fetcher_.asked.size(), static_cast<std::size_t>(served)) << name;
            EXPECT_EQ(ReadFile(target), "new " + name);
            EXPECT_FALSE(fs::exists(PartialPathFor(target))) << name;
            ASSERT_TRUE(Recorded(u"Data\\" + Utf16Of(name))) << name;
            EXPECT_FALSE(Recorded(u"Data\\" + Utf16Of(name))->pending) << name;
            EXPECT_EQ(again.Run(ItemsOf({entry})).at(0).outcome, EntryOutcome::Current) << name;
        }
    }

    // A pending record whose file is another, with no download kept, is no record.
    UpdateEntry entry = Entry(words::kCheckVersion, "v1.dat", "http://h/v1.dat");
    Record(u"Data\\v1.dat", {"1", "2026-12-01", Md5Hex("new v1.dat"), true, {}});
    ReplaceFile(root_ / "Data" / "v1.dat", "a player's copy");
    EXPECT_EQ(RunOne(entry), EntryOutcome::Updated);
    EXPECT_EQ(fetcher_.asked.size(), static_cast<std::size_t>(served) + 1);
}

TEST_F(UpdaterTest, AStateFileOfTheFirstVersionStillCounts)
{
    ReplaceFile(root_ / "Data" / "c.pak", "c");
    ReplaceFile(state_, R"({"format":"Tarnwick update state","version":1,"files":[)"
                        R"({"path":"data\\c.pak","version":"2","date":"2026-12-01","md5":""}]})");
    UpdateEntry entry = Entry(words::kCheckVersion, "c.pak", "http://h/c.pak");
    entry.Ver = "2";
    EXPECT_EQ(RunOne(entry), EntryOutcome::Current);
    entry.CheckType = words::kCheckPak;
    EXPECT_EQ(RunOne(entry), EntryOutcome::Current);
    EXPECT_TRUE(fetcher_.asked.empty());
}

TEST_F(UpdaterTest, AnArchiveIsFetchedOncePerChange)
{
    const char* url = "http://h/pack.zip";
    UpdateEntry entry = ServedZip(words::kCheckVersion, url, {{"maps/a.map", "map a"}, {"b.dat", "b"}});
    const auto fetchedAfter = [&](EntryOutcome first) {
        EXPECT_EQ(RunOne(entry), first);
        EXPECT_EQ(RunOne(entry), EntryOutcome::Current);
        EXPECT_EQ(RunOne(entry), EntryOutcome::Current);
        return fetcher_.asked.size();
    };
    EXPECT_EQ(fetchedAfter(EntryOutcome::Updated), 1u);
    EXPECT_EQ(ReadFile(root_ / "Data" / "maps" / "a.map"), "map a");
    // The archive is neither kept nor hashed: its record says what it was.
    EXPECT_FALSE(fs::exists(root_ / "Data" / "pack.zip"));
    EXPECT_FALSE(fs::exists(PartialPathFor(root_ / "Data" / "pack.zip")));
    const std::optional<InstalledRecord> record = Recorded(u"Data\\pack.zip");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->md5, Md5Hex(fetcher_.files[url]));
    EXPECT_EQ(record->members, (std::vector<std::string>{"Data\\maps\\a.map", "Data\\b.dat"}));
    EXPECT_FALSE(record->pending);

    fs::remove(root_ / "Data" / "b.dat");
    EXPECT_EQ(fetchedAfter(EntryOutcome::Updated), 2u);
    EXPECT_EQ(Data("b.dat"), "b");
    entry.Ver = "2";
    EXPECT_EQ(fetchedAfter(EntryOutcome::Updated), 3u);
    entry.CheckType = words::kCheckPak;
    EXPECT_EQ(fetchedAfter(EntryOutcome::Current), 3u);
    entry.Date = "2026-12-24";
    EXPECT_EQ(fetchedAfter(EntryOutcome::Updated), 4u);
    entry.CheckType = words::kCheckExists;
    EXPECT_EQ(fetchedAfter(EntryOutcome::Current), 4u);

    // For an archive, MD5 is the archive's.
    entry.CheckType = words::kCheckMd5;
    entry.MD5 = Md5Hex(fetcher_.files[url]);
    EXPECT_EQ(fetchedAfter(EntryOutcome::Current), 4u);
    const UpdateEntry changed = ServedZip(words::kCheckMd5, url, {{"maps/a.map", "map a, changed"}});
    entry.MD5 = Md5Hex(fetcher_.files[url]);
    EXPECT_EQ(fetchedAfter(EntryOutcome::Updated), 5u);
    EXPECT_EQ(ReadFile(root_ / "Data" / "maps" / "a.map"), "map a, changed");
    EXPECT_EQ(Recorded(u"Data\\pack.zip")->members, std::vector<std::string>{"Data\\maps\\a.map"});
    EXPECT_EQ(changed.Zip, words::kYes);
}

TEST_F(UpdaterTest, AnArchiveStoppedBeforeItsRecordIsUnpackedAgainFromTheKeptDownload)
{
    const char* url = "http://h/pack.zip";
    UpdateEntry entry = ServedZip(words::kCheckExists, url, {{"a.map", "map a"}});
    EXPECT_EQ(RunOne(entry), EntryOutcome::Updated);
    const std::string archive = fetcher_.files[url];
    const fs::path kept = PartialPathFor(root_ / "Data" / "pack.zip");

    // As a run killed while unpacking leaves it: the whole archive kept, its record pending.
    const auto killedWhileUnpacking = [&](const char* version) {
        ReplaceFile(kept, archive);
        Record(u"Data\\pack.zip", {version, entry.Date, Md5Hex(archive), true, {}});
        fs::remove(root_ / "Data" / "a.map");
    };
    killedWhileUnpacking("1");
    fetcher_.files.clear(); // the server is down: only the kept archive can help
    EXPECT_EQ(RunOne(entry), EntryOutcome::Updated);
    EXPECT_EQ(fetcher_.asked.size(), 1u);
    EXPECT_EQ(Data("a.map"), "map a");
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(Recorded(u"Data\\pack.zip")->members, std::vector<std::string>{"Data\\a.map"});
    EXPECT_EQ(RunOne(entry), EntryOutcome::Current);

    // An archive kept for another change of the entry is not the one it names now.
    killedWhileUnpacking("0");
    EXPECT_EQ(RunOne(entry), EntryOutcome::Failed);
    EXPECT_EQ(fetcher_.asked.size(), 2u);
}

TEST_F(UpdaterTest, TheLaunchersOwnImageIsCheckedAsAnyFileInstalledByItsStepAndLast)
{
    const fs::path image = root_ / "LoginData.exe";
    ReplaceFile(image, "old launcher");
    HandOverLater step;
    // Windows names the same file in any case of its letters.
    updater_.SetSelfInstall(root_ / "Data" / ".." / "LOGINDATA.exe", step);
    UpdateEntry self = Entry(words::kCheckMd5, "LoginData.exe", "http://h/LoginData.exe");
    self.SaveDir = ".\\";
    self.MD5 = Md5Hex("new launcher");
    fetcher_.files = {{"http://h/LoginData.exe", "new launcher"}, {"http://h/a.dat", "a"}};
    std::vector<std::size_t> started;
    UpdateProgress progress;
    progress.entryStarted = [&](std::size_t index, const std::string&) { started.push_back(index); };

    const std::vector<EntryReport> reports =
        updater_.Run(ItemsOf({self, Entry(words::kCheckExists, "a.dat", "http://h/a.dat")}), progress);
    EXPECT_EQ(started, (std::vector<std::size_t>{1, 0}));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].index, 0u);
    EXPECT_EQ(reports[0].outcome, EntryOutcome::Updated);
    EXPECT_EQ(reports[0].reason, "登录器已更新，重新启动后使用新版本");
    EXPECT_EQ(reports[1].outcome, EntryOutcome::Updated);
    EXPECT_EQ(step.given, std::vector<std::string>{"new launcher"});
    // Not in place yet: the new launcher moves it there, from the download.
    EXPECT_EQ(ReadFile(image), "old launcher");
    EXPECT_EQ(ReadFile(PartialPathFor(image)), "new launcher");
    ASSERT_TRUE(Recorded(u"LoginData.exe"));
    EXPECT_TRUE(Recorded(u"LoginData.exe")->pending);

    // Started again before the new one took its place: handed over again, not fetched.
    EXPECT_EQ(updater_.Run(ItemsOf({self})).at(0).outcome, EntryOutcome::Updated);
    EXPECT_EQ(fetcher_.asked.size(), 2u);
    EXPECT_EQ(step.given.size(), 2u);
    // In place: the record is confirmed.
    fs::rename(PartialPathFor(image), image);
    EXPECT_EQ(updater_.Run(ItemsOf({self})).at(0).outcome, EntryOutcome::Current);
    EXPECT_FALSE(Recorded(u"LoginData.exe")->pending);

    // A download that is not the pinned one never reaches the step, nor does an unpinned one.
    self.MD5 = Md5Hex("newer launcher");
    self.DownMD5 = self.MD5;
    fetcher_.files["http://h/LoginData.exe"] = "tampered launcher";
    EXPECT_EQ(updater_.Run(ItemsOf({self})).at(0).outcome, EntryOutcome::Failed);
    Updater signedOnly(root_, state_, fetcher_, Pinning::Required);
    signedOnly.SetSelfInstall(image, step);
    const UpdateEntry unpinned = Entry(words::kCheckVersion, "LoginData.exe", "http://h/LoginData.exe");
    EXPECT_EQ(signedOnly.Run(ItemsOf({unpinned})).at(0).outcome, EntryOutcome::Failed);
    EXPECT_EQ(step.given.size(), 2u);
    EXPECT_EQ(ReadFile(image), "new launcher");

    // A step that finishes itself gives a final record.
    step.finishes = true;
    fetcher_.files["http://h/LoginData.exe"] = "newer launcher";
    EXPECT_EQ(updater_.Run(ItemsOf({self})).at(0).outcome, EntryOutcome::Updated);
    EXPECT_EQ(ReadFile(image), "newer launcher");
    EXPECT_FALSE(Recorded(u"LoginData.exe")->pending);
}

} // namespace
} // namespace tarnwick::player
