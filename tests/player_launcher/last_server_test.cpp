#include "base/file_io.h"
#include "player_fixtures.h"
#include "player_launcher/core/last_server.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::player;
using namespace tarnwick::testing;

TEST(LastServer, ReadsBackWhatItWrote)
{
    const LastServer last{"华东一区", "电信=一线", 1};
    const auto text = LastServerText(last);
    ASSERT_TRUE(text);
    EXPECT_EQ(ParseLastServer(*text), last);
    // Names that a line would not hold are not remembered.
    EXPECT_FALSE(LastServerText({"a\nb", "s", 0}));
}

// Launchers before this one wrote the same file: its names are GBK, as the
// server list's were, and it still selects the server.
TEST(LastServer, AFileAnEarlierLauncherWroteSelectsItsServer)
{
    const std::string earlier = "Tarnwick last server 1\r\n"
                                "group=\xBB\xAA\xB6\xAB\xD2\xBB\xC7\xF8\r\n" // 华东一区
                                "server=\xB5\xE7\xD0\xC5\xD2\xBB\xCF\xDF\r\n" // 电信一线
                                "entry=1\r\n";
    const auto last = ParseLastServer(earlier);
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, (LastServer{"华东一区", "电信一线", 1}));
    EXPECT_EQ(FindChoice(ServerListFrom(PlayerModel()), *last), (Choice{0, 0, 1}));
    // And it is written as it was.
    EXPECT_EQ(LastServerText(*last), earlier);
}

// A name with bytes that are no GBK shows U+FFFD; the file keeps such a
// choice, whether an earlier launcher wrote the list's bytes or this one
// wrote it, and finds that server again.
TEST(LastServer, ANameThatDoesNotConvertIsStillFoundAgain)
{
    const std::string bad = Utf8ToGbk("华") + "\x81"; // a lead byte that ends the name
    SetupModel model;
    model.groups.Append({"g"});
    model.servers.Append({"g", "other", "n", "h", "1"});
    model.servers.Append({"g", bad, "n;m", "h;i", "1;2"});
    const ServerList list = ServerListFrom(model);
    ASSERT_EQ(list.groups[0].servers[1].showName, "华\uFFFD");

    const auto written = LastServerText(Remembered(list, {0, 1, 1}));
    ASSERT_TRUE(written);
    const auto read = ParseLastServer(*written);
    ASSERT_TRUE(read);
    EXPECT_EQ(FindChoice(list, *read), (Choice{0, 1, 1}));

    const auto earlier = ParseLastServer("Tarnwick last server 1\r\ngroup=g\r\nserver=" + bad + "\r\nentry=1\r\n");
    ASSERT_TRUE(earlier);
    EXPECT_EQ(FindChoice(list, *earlier), (Choice{0, 1, 1}));

    // Text no list gives, which GBK cannot hold, is not remembered, and that is said.
    EXPECT_FALSE(LastServerText({"g", "\xF0\x9F\x98\x80", 0})); // an emoji
    TemporaryFolder folder;
    const std::string said = RememberStartedChoice(folder.path() / "Velmora.lastserver", {"g", "\xF0\x9F\x98\x80", 0});
    EXPECT_NE(said.find("无法保存的文字"), std::string::npos) << said;
    EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(LastServer, ADamagedFileIsNoChoice)
{
    const std::string good = "Tarnwick last server 1\r\ngroup=g\r\nserver=s\r\nentry=2\r\n";
    ASSERT_TRUE(ParseLastServer(good));
    struct Row {
        const char* what;
        std::string text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"another file", "[Settings]\r\ngroup=g\r\n"},
        {"a later format", "Tarnwick last server 2\r\ngroup=g\r\nserver=s\r\nentry=2\r\n"},
        {"cut short", good.substr(0, good.size() - 9)},
        {"no entry digits", "Tarnwick last server 1\ngroup=g\nserver=s\nentry=\n"},
        {"an entry that is no number", "Tarnwick last server 1\ngroup=g\nserver=s\nentry=-1\n"},
        {"an entry beyond any count", "Tarnwick last server 1\ngroup=g\nserver=s\nentry=99999999999999999999999\n"},
        {"a repeated key", good + "group=h\r\n"},
        {"an unknown key", good + "colour=red\r\n"},
        {"a line without a key", good + "junk\r\n"},
        {"bytes of another file", std::string("\x00\xFF\xFE", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_FALSE(ParseLastServer(row.text));
    }
}

TEST(LastServer, FindsTheChoiceByNameInAChangedList)
{
    const ServerList list = ServerListFrom(PlayerModel());
    // 华东一区 holds 电信一线 (two entries) and 维护中 (none).
    struct Row {
        const char* what;
        LastServer last;
        std::optional<Choice> choice;
    };
    const Row rows[] = {
        {"the second entry", {"华东一区", "电信一线", 1}, Choice{0, 0, 1}},
        {"an entry that is gone", {"华东一区", "电信一线", 5}, Choice{0, 0, 0}},
        {"a server without entries", {"华东一区", "维护中", 0}, Choice{0, 1, 0}},
        {"another group", {"华北二区", "双线", 0}, Choice{1, 0, 0}},
        {"a server that is gone", {"华东一区", "双线", 0}, std::nullopt},
        {"a group that is gone", {"East", "电信一线", 0}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto choice = FindChoice(list, row.last);
        EXPECT_EQ(choice, row.choice);
        if (choice) {
            EXPECT_EQ(Remembered(list, *choice).server, row.last.server);
        }
    }
}

TEST(LastServer, TheFileIsReplacedWholeAndReadTolerantly)
{
    TemporaryFolder folder;
    const auto file = folder.path() / "Velmora.lastserver";
    EXPECT_FALSE(ReadLastServer(file));
    const LastServer last{"华东一区", "电信一线", 1};
    WriteLastServer(file, last);
    EXPECT_EQ(ReadLastServer(file), last);
    WriteLastServer(file, {"g", "s", 0});
    EXPECT_EQ(ReadLastServer(file), (LastServer{"g", "s", 0}));
    EXPECT_EQ(folder.EntryCount(), 1u);

    ReplaceFile(file, std::string(5000, 'x'));
    EXPECT_FALSE(ReadLastServer(file));
    // A folder of that name is no file.
    EXPECT_FALSE(ReadLastServer(folder.path()));
}

// A choice that cannot be kept is said, in Chinese with the file it failed
// on; a choice that was kept says nothing.
TEST(LastServer, AChoiceThatCannotBeKeptIsSaid)
{
    TemporaryFolder folder;
    const LastServer last{"华东一区", "电信一线", 1};
    const auto kept = folder.path() / "Velmora.lastserver";
    EXPECT_EQ(RememberStartedChoice(kept, last), "");
    EXPECT_EQ(ReadLastServer(kept), last);

    // A "folder" that is a file cannot hold one, whoever runs the test.
    ReplaceFile(folder.path() / "blocked", "x");
    const auto unwritable = folder.path() / "blocked" / "Velmora.lastserver";
    const std::string said = RememberStartedChoice(unwritable, last);
    EXPECT_TRUE(said.starts_with("已启动游戏，但无法记住所选的服务器：无法写入“")) << said;
    EXPECT_NE(said.find("Velmora.lastserver”。"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(unwritable));

    const std::string unwritableName = RememberStartedChoice(kept, {"a\nb", "s", 0});
    EXPECT_TRUE(unwritableName.starts_with("已启动游戏，但无法记住所选的服务器：")) << unwritableName;
    EXPECT_EQ(ReadLastServer(kept), last);
}
