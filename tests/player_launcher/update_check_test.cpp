#include "player_fixtures.h"
#include "player_launcher/core/update_check.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

using tarnwick::testing::ItemOf;

constexpr const char* kDigest = "0123456789abcdef0123456789abcdef";
constexpr const char* kOtherDigest = "fedcba9876543210fedcba9876543210";

UpdateEntry Entry(const char* check)
{
    UpdateEntry entry;
    entry.SaveDir = ".\\Data\\";
    entry.SaveName = "patch.dat";
    entry.CheckType = check;
    entry.DownType = words::kDownDirect;
    entry.Zip = words::kNo;
    entry.Ver = "3";
    entry.Date = "2026-12-01";
    entry.MD5 = kDigest;
    entry.DownMD5 = "20050505";
    return entry;
}

InstalledRecord Installed(const char* version, const char* date = "2026-12-01", bool pending = false,
                          std::vector<std::string> members = {})
{
    return {version, date, kDigest, pending, std::move(members)};
}

TEST(UpdateCheck, EachCheckTypeDecidesFromTheFileAndTheRecord)
{
    const UpdateEntry exists = Entry(words::kCheckExists);
    EXPECT_EQ(Decide(ItemOf(exists), true, std::nullopt, std::nullopt).verdict, Verdict::Current);
    EXPECT_EQ(Decide(ItemOf(exists), false, std::nullopt, std::nullopt).verdict, Verdict::Needed);

    const UpdateEntry md5 = Entry(words::kCheckMd5);
    EXPECT_TRUE(NeedsLocalDigest(ItemOf(md5)));
    EXPECT_FALSE(NeedsLocalDigest(ItemOf(exists)));
    EXPECT_EQ(Decide(ItemOf(md5), true, std::string(kDigest), std::nullopt).verdict, Verdict::Current);
    EXPECT_EQ(Decide(ItemOf(md5), true, std::string(kOtherDigest), std::nullopt).verdict, Verdict::Needed);
    EXPECT_EQ(Decide(ItemOf(md5), false, std::nullopt, std::nullopt).verdict, Verdict::Needed);
    UpdateEntry upper = md5;
    upper.MD5 = "0123456789ABCDEF0123456789ABCDEF ";
    EXPECT_EQ(Decide(ItemOf(upper), true, std::string(kDigest), std::nullopt).verdict, Verdict::Current);

    const UpdateEntry version = Entry(words::kCheckVersion);
    EXPECT_EQ(Decide(ItemOf(version), true, std::nullopt, Installed("3")).verdict, Verdict::Current);
    EXPECT_EQ(Decide(ItemOf(version), true, std::nullopt, Installed("4")).verdict, Verdict::Current);
    EXPECT_EQ(Decide(ItemOf(version), true, std::nullopt, Installed("2")).verdict, Verdict::Needed);
    EXPECT_EQ(Decide(ItemOf(version), true, std::nullopt, std::nullopt).verdict, Verdict::Needed);
    EXPECT_EQ(Decide(ItemOf(version), false, std::nullopt, Installed("3")).verdict, Verdict::Needed);
    // Numbers, not text: "10" is above "9".
    UpdateEntry ten = version;
    ten.Ver = "10";
    EXPECT_EQ(Decide(ItemOf(ten), true, std::nullopt, Installed("9")).verdict, Verdict::Needed);

    const UpdateEntry pak = Entry(words::kCheckPak);
    EXPECT_EQ(Decide(ItemOf(pak), true, std::nullopt, Installed("1", "2026-12-01")).verdict, Verdict::Current);
    EXPECT_EQ(Decide(ItemOf(pak), true, std::nullopt, Installed("1", "2026-11-30")).verdict, Verdict::Needed);
    EXPECT_EQ(Decide(ItemOf(pak), true, std::nullopt, std::nullopt).verdict, Verdict::Needed);
    EXPECT_EQ(Decide(ItemOf(pak), false, std::nullopt, Installed("1")).verdict, Verdict::Needed);

    // A word no document gives counts as MD5, as an unknown code does.
    EXPECT_EQ(CheckKindOf(Entry(words::kCheckUnknown)), CheckKind::Md5);
}

TEST(UpdateCheck, ValuesThatCannotBeComparedAreReportedNotFetchedForever)
{
    UpdateEntry version = Entry(words::kCheckVersion);
    for (const char* bad : {"", "3.1", "v3", "-1", "99999999999999999999999"}) {
        version.Ver = bad;
        const Decision decision = Decide(ItemOf(version), true, std::nullopt, Installed("1"));
        EXPECT_EQ(decision.verdict, Verdict::Skipped) << bad;
        EXPECT_FALSE(decision.reason.empty());
    }
    UpdateEntry md5 = Entry(words::kCheckMd5);
    md5.MD5 = "20050505";
    EXPECT_EQ(Decide(ItemOf(md5), true, std::string(kDigest), std::nullopt).verdict, Verdict::Skipped);
}

TEST(UpdateCheck, OnlyAWholeDigestChecksTheDownload)
{
    UpdateEntry entry = Entry(words::kCheckExists);
    EXPECT_EQ(ItemOf(entry).downloadDigest, std::nullopt); // the editor's initial "20050505"
    entry.DownMD5 = "0123456789ABCDEF0123456789abcdef";
    EXPECT_EQ(ItemOf(entry).downloadDigest, std::optional<std::string>(kDigest));
    entry.DownMD5 = "0123456789abcdef0123456789abcdeg";
    EXPECT_EQ(ItemOf(entry).downloadDigest, std::nullopt);
    entry.DownMD5 = "";
    EXPECT_EQ(ItemOf(entry).downloadDigest, std::nullopt);

    EXPECT_TRUE(IsDirectDownload(ItemOf(entry)));
    entry.DownType = words::kDownAlbum;
    EXPECT_FALSE(IsDirectDownload(ItemOf(entry)));
}

TEST(UpdateState, RecordsSurviveTheFileAndAnyDamageMeansNoRecord)
{
    UpdateState state;
    const InstalledRecord patch = Installed("3", "二月");
    const InstalledRecord pack = Installed("1", "2026-12-01", true, {"地图\\a.map", "Data\\b.dat"});
    state.Set(u"Data\\Patch.dat", patch);
    state.Set(u"地图\\a.pak", pack);
    const UpdateState again = UpdateState::Parse(state.Text());
    // Windows compares names without regard to case.
    EXPECT_EQ(again.Find(u"data\\PATCH.DAT"), patch);
    EXPECT_EQ(again.Find(u"地图\\A.PAK"), pack);
    EXPECT_EQ(again.Find(u"Data\\other.dat"), std::nullopt);

    const std::string text = state.Text();
    for (const std::string& damaged :
         {std::string(), text.substr(0, text.size() / 2), std::string("{\"format\":\"something else\"}"),
          std::string("\xFF\xFE garbage"),
          std::string(R"({"format":"Tarnwick update state","version":1,"files":[{"path":"a","version":1}]})"),
          std::string(R"({"format":"Tarnwick update state","version":3,"files":[{"path":"Data\\Patch.dat",)"
                      R"("version":"3","date":"","md5":""}]})"),
          std::string(R"({"format":"Tarnwick update state","version":2,"files":[{"path":"Data\\Patch.dat",)"
                      R"("version":"3","date":"","md5":"","pending":"yes"}]})"),
          std::string(R"({"format":"Tarnwick update state","version":2,"files":[{"path":"Data\\Patch.dat",)"
                      R"("version":"3","date":"","md5":"","members":["a",7]}]})")})
        EXPECT_EQ(UpdateState::Parse(damaged).Find(u"Data\\Patch.dat"), std::nullopt);
    state.Remove(u"DATA\\patch.dat");
    EXPECT_EQ(state.Find(u"Data\\Patch.dat"), std::nullopt);
}

TEST(UpdateState, AFileOfTheFirstVersionStillReads)
{
    const UpdateState state = UpdateState::Parse(
        R"({"format":"Tarnwick update state","version":1,"files":[)"
        R"({"path":"data\\patch.dat","version":"3","date":"2026-12-01","md5":"0123456789abcdef0123456789abcdef"}]})");
    EXPECT_EQ(state.Find(u"Data\\patch.dat"), Installed("3"));
}

// The record of an earlier launcher holds the list's Chinese as UTF-8: it
// still tells the install that the list names now.
TEST(UpdateState, AFileAnEarlierLauncherWroteStillDecides)
{
    const UpdateState state = UpdateState::Parse(
        R"({"format":"Tarnwick update state","version":2,"files":[{"path":"data\\patch.dat","version":"3",)"
        R"("date":"二月","md5":"0123456789abcdef0123456789abcdef","pending":false,"members":[]}]})");
    EXPECT_EQ(state.Find(u"Data\\patch.dat"), Installed("3", "二月"));
    UpdateEntry pak = Entry(words::kCheckPak);
    pak.Date = "\xB6\xFE\xD4\xC2"; // 二月, as the reader gives it
    EXPECT_EQ(Decide(ItemOf(pak), true, std::nullopt, state.Find(u"Data\\patch.dat")).verdict, Verdict::Current);
    pak.Date = "\xC8\xFD\xD4\xC2"; // 三月
    EXPECT_EQ(Decide(ItemOf(pak), true, std::nullopt, state.Find(u"Data\\patch.dat")).verdict, Verdict::Needed);
}

TEST(UpdateCheck, AnArchiveIsCurrentByItsConfirmedRecordAndTheFilesItUnpacked)
{
    UpdateEntry entry = Entry(words::kCheckExists);
    entry.Zip = words::kYes;
    // The archive itself is never kept: no digest of the entry's file is taken.
    entry.CheckType = words::kCheckMd5;
    EXPECT_FALSE(NeedsLocalDigest(ItemOf(entry)));

    const InstalledRecord installed = Installed("3", "2026-12-01", false, {"Data\\a.map"});
    for (const char* check : {words::kCheckExists, words::kCheckMd5, words::kCheckVersion, words::kCheckPak}) {
        entry.CheckType = check;
        EXPECT_EQ(Decide(ItemOf(entry), true, std::nullopt, installed).verdict, Verdict::Current) << check;
        const Decision missing = Decide(ItemOf(entry), false, std::nullopt, installed);
        EXPECT_EQ(missing.verdict, Verdict::Needed) << check;
        EXPECT_EQ(missing.reason, "压缩包的文件不全");
        // A record written before unpacking, by a run that never finished it.
        InstalledRecord pending = installed;
        pending.pending = true;
        EXPECT_EQ(Decide(ItemOf(entry), true, std::nullopt, pending).verdict, Verdict::Needed) << check;
        const Decision none = Decide(ItemOf(entry), true, std::nullopt, std::nullopt);
        EXPECT_EQ(none.verdict, Verdict::Needed) << check;
        EXPECT_EQ(none.reason, "没有记录已安装的压缩包");
    }

    // Each kind by what the list says of the archive now.
    UpdateEntry changed = entry;
    changed.CheckType = words::kCheckMd5;
    changed.MD5 = kOtherDigest; // MD5 of a zip entry is the archive's
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Needed);
    changed.MD5 = "not a digest";
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Skipped);
    changed.CheckType = words::kCheckVersion;
    changed.Ver = "4";
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Needed);
    changed.Ver = "2";
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Current);
    changed.Ver = "x";
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Skipped);
    changed.CheckType = words::kCheckPak;
    changed.Date = "2026-12-24";
    EXPECT_EQ(Decide(ItemOf(changed), true, std::nullopt, installed).verdict, Verdict::Needed);
}

TEST(UpdateCheck, APendingRecordOfAFileIsNoRecord)
{
    // The updater confirms a pending record when the file is the one it
    // names; one it could not confirm must not pass for an install.
    for (const char* check : {words::kCheckVersion, words::kCheckPak})
        EXPECT_EQ(Decide(ItemOf(Entry(check)), true, std::nullopt, Installed("3", "2026-12-01", true)).verdict,
                  Verdict::Needed)
            << check;
}

} // namespace
} // namespace tarnwick::player
