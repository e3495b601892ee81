#include "player_launcher/core/update_path.h"
#include "player_launcher/core/player_messages.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

struct PathCase {
    std::u16string folder;
    std::u16string name;
    PathRefusal refusal;
};

// Every way a hostile list could name a file outside the launcher's folder,
// or one that Windows would open as something else.
TEST(UpdatePath, WhatLeavesTheFolderOrIsNoPlainFileIsRefused)
{
    const PathCase cases[] = {
        {u"..\\..\\", u"x.dll", PathRefusal::ParentStep},
        {u".\\Data\\..\\..\\", u"x.dll", PathRefusal::ParentStep},
        {u"Data", u"../x.dll", PathRefusal::ParentStep},
        {u"\\Windows\\", u"x.dll", PathRefusal::Absolute},
        {u"/etc/", u"x", PathRefusal::Absolute},
        {u"C:\\Windows\\", u"x.dll", PathRefusal::Drive},
        {u"c:", u"x.dll", PathRefusal::Drive},
        {u"\\\\server\\share\\", u"x.dll", PathRefusal::Network},
        {u"\\\\?\\C:\\", u"x.dll", PathRefusal::Network},
        {u"//./", u"PhysicalDrive0", PathRefusal::Network},
        {u"Data\\", u"game.exe:payload", PathRefusal::Stream},
        {u"Data\\", u"CON", PathRefusal::DeviceName},
        {u"Data\\", u"nul.txt", PathRefusal::DeviceName},
        {u"com1\\", u"x", PathRefusal::DeviceName},
        {u"Data\\", u"LPT9.dat", PathRefusal::DeviceName},
        {u"Data\\", u"COM\u00B9", PathRefusal::DeviceName},
        {u"Data\\", u"aux .txt", PathRefusal::DeviceName},
        {u"Data\\", u"conout$", PathRefusal::DeviceName},
        {u"Data.\\", u"x", PathRefusal::TrailingDotOrSpace},
        {u"Data\\", u"x.dll ", PathRefusal::TrailingDotOrSpace},
        {u"...\\", u"x", PathRefusal::TrailingDotOrSpace},
        {u"Data\\", u"a|b", PathRefusal::BadCharacter},
        {u"Data\\", u"a\x01", PathRefusal::BadCharacter},
        {u"Data\\", u"", PathRefusal::Empty},
        {u"Data\\", u".", PathRefusal::Empty},
        {u"Data\\", std::u16string(256, u'a'), PathRefusal::TooLong},
        {std::u16string(150, u'a'), std::u16string(60, u'b'), PathRefusal::TooLong},
    };
    for (const PathCase& c : cases) {
        const CheckedPath checked = CheckUpdateTarget(c.folder, c.name);
        EXPECT_EQ(checked.refusal, c.refusal) << std::string(c.folder.begin(), c.folder.end()) << " | "
                                              << std::string(c.name.begin(), c.name.end());
        EXPECT_TRUE(checked.relative.empty());
        EXPECT_FALSE(PathRefusalText(checked.refusal).empty());
    }
}

TEST(UpdatePath, FoldersInsideAreJoinedWithBackslashesWithoutDotSteps)
{
    EXPECT_EQ(CheckUpdateTarget(u".\\Data\\", u"patch.dat").relative, u"Data\\patch.dat");
    EXPECT_EQ(CheckUpdateTarget(u".\\", u"patch.dat").relative, u"patch.dat");
    EXPECT_EQ(CheckUpdateTarget(u"", u"patch.dat").relative, u"patch.dat");
    EXPECT_EQ(CheckUpdateTarget(u"Data//Maps/./", u"地图.pak").relative, u"Data\\Maps\\地图.pak");
    // A name that only starts like a device is a plain file.
    EXPECT_EQ(CheckUpdateTarget(u"console", u"nullable.dat").relative, u"console\\nullable.dat");
    EXPECT_EQ(CheckUpdateTarget(u"Data", u"COM10").relative, u"Data\\COM10");
    EXPECT_EQ(CheckUpdateTarget(u"Data", u"..x").relative, u"Data\\..x");
}

TEST(UpdatePath, ArchiveMembersStayBelowTheSaveFolder)
{
    EXPECT_EQ(CheckArchiveMember(u".\\Data\\", u"maps/a.map").relative, u"Data\\maps\\a.map");
    // A folder member names only its folder.
    const CheckedPath folder = CheckArchiveMember(u"Data", u"maps/");
    EXPECT_TRUE(folder.Allowed());
    EXPECT_EQ(folder.relative, u"Data\\maps");
    EXPECT_EQ(CheckArchiveMember(u"Data", u"../x").refusal, PathRefusal::ParentStep);
    EXPECT_EQ(CheckArchiveMember(u"Data", u"/etc/passwd").refusal, PathRefusal::Absolute);
    EXPECT_EQ(CheckArchiveMember(u"Data", u"C:/x").refusal, PathRefusal::Drive);
    EXPECT_EQ(CheckArchiveMember(u"Data", u"sub/CON").refusal, PathRefusal::DeviceName);
    EXPECT_EQ(CheckArchiveMember(u"..", u"x").refusal, PathRefusal::ParentStep);
    EXPECT_EQ(CheckArchiveMember(u"Data", u"").refusal, PathRefusal::Empty);
}

} // namespace
} // namespace tarnwick::player
