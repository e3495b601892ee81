#include "player_launcher/core/update_archive.h"

#include "base/file_io.h"
#include "temporary_folder.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

class UpdateArchive : public ::testing::Test {
protected:
    tarnwick::testing::TemporaryFolder folder_;
    const fs::path zip_ = folder_.path() / "download.zip";
    const fs::path root_ = folder_.path() / "game";
    void SetUp() override { fs::create_directories(root_); }
};

TEST_F(UpdateArchive, MembersAreCheckedInflatedAndWrittenBelowTheSaveFolder)
{
    const std::string big(300'000, 'x');
    WriteZip(zip_, {{"maps/", ""},
                    {"maps/\xB5\xD8\xCD\xBC.map", "gbk name"}, // 地图, as Chinese zip tools write it
                    {"\xE8\xA7\x92\xE8\x89\xB2.dat", big, true}, // 角色, flagged UTF-8
                    {"readme.txt", ""}});
    const ArchiveListing listing = ListArchive(zip_, u".\\Data\\");
    ASSERT_TRUE(listing.Allowed()) << listing.refusal;
    ASSERT_EQ(listing.members.size(), 4u);
    EXPECT_TRUE(listing.members[0].folder);
    EXPECT_EQ(listing.members[1].relative, u"Data\\maps\\地图.map");
    EXPECT_EQ(listing.members[2].relative, u"Data\\角色.dat");
    EXPECT_EQ(listing.members[2].size, big.size());
    EXPECT_EQ(TestArchive(zip_, listing), "");
    EXPECT_EQ(UnpackArchive(zip_, root_, listing), "");
    EXPECT_EQ(ReadFile(root_ / "Data" / "maps" / fs::path(u"地图.map")), "gbk name");
    EXPECT_EQ(ReadFile(root_ / "Data" / fs::path(u"角色.dat")), big);
    EXPECT_EQ(ReadFile(root_ / "Data" / "readme.txt"), "");
}

TEST_F(UpdateArchive, AMemberThatWouldLandOutsideOrOnADeviceRefusesTheWholeArchive)
{
    for (const std::vector<Member>& hostile : std::vector<std::vector<Member>>{
             {{"good.txt", "a"}, {"../x.dll", "b"}},
             {{"/etc/passwd", "b"}},
             {{"C:/Windows/x.dll", "b"}},
             {{"sub/CON", "b"}},
             {{"a.txt", "1"}, {"A.TXT", "2"}},
             {{"name.txt:stream", "b"}},
             {{"\xFF\xFF.txt", "not GBK"}},
         }) {
        WriteZip(zip_, hostile);
        const ArchiveListing listing = ListArchive(zip_, u"Data");
        EXPECT_FALSE(listing.Allowed()) << hostile.back().name;
        EXPECT_TRUE(listing.members.empty());
        EXPECT_EQ(UnpackArchive(zip_, root_, listing), listing.refusal);
        EXPECT_TRUE(Snapshot(root_).empty()) << hostile.back().name;
    }
    // The save folder itself is checked too.
    WriteZip(zip_, {{"x.dll", "b"}});
    EXPECT_FALSE(ListArchive(zip_, u"..\\..\\").Allowed());
}

TEST_F(UpdateArchive, EachCapIsNamedWhenHit)
{
    WriteZip(zip_, {{"a.dat", std::string(1000, 'a')}, {"b.dat", std::string(1000, 'b')}, {"c.dat", "c"}});
    const ArchiveListing members = ListArchive(zip_, u"", {1'000'000, 1'000'000, 2});
    EXPECT_NE(members.refusal.find("3 个文件"), std::string::npos) << members.refusal;
    const ArchiveListing one = ListArchive(zip_, u"", {999, 1'000'000, 10});
    EXPECT_NE(one.refusal.find("999"), std::string::npos) << one.refusal;
    const ArchiveListing total = ListArchive(zip_, u"", {1'000'000, 1'500, 10});
    EXPECT_NE(total.refusal.find("1500"), std::string::npos) << total.refusal;
    EXPECT_TRUE(ListArchive(zip_, u"", {1'000, 2'001, 3}).Allowed());
}

TEST_F(UpdateArchive, DamagedDataIsFoundBeforeAnythingIsWritten)
{
    std::string data;
    for (int i = 0; i < 200'000; ++i)
        data += static_cast<char>('a' + i * 7 % 26);
    WriteZip(zip_, {{"one.dat", data}, {"two.dat", data}});
    const ArchiveListing listing = ListArchive(zip_, u"Data");
    ASSERT_TRUE(listing.Allowed());
    // A changed byte in the second member's compressed data.
    std::string bytes = ReadFile(zip_);
    const std::size_t second = bytes.rfind("two.dat", bytes.size() - 100);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 200] = static_cast<char>(bytes[second + 200] ^ 0x55);
    ReplaceFile(zip_, bytes);
    EXPECT_NE(TestArchive(zip_, listing), "");
    // Not a zip archive at all.
    ReplaceFile(zip_, "<html>404</html>");
    EXPECT_FALSE(ListArchive(zip_, u"Data").Allowed());
    EXPECT_TRUE(Snapshot(root_).empty());
}

} // namespace
} // namespace tarnwick::player
