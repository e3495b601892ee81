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
    const LastServer last{Utf8ToGbk("华东一区"), Utf8ToGbk("电信=一线"), 1};
    const auto text = LastServerText(last);
    ASSERT_TRUE(text);
    EXPECT_EQ(ParseLastServer(*text), last);
    // Names that a line would not hold are not remembered.
    EXPECT_FALSE(LastServerText({"a\nb", "s", 0}));
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
        {"the second entry", {Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), 1}, Choice{0, 0, 1}},
        {"an entry that is gone", {Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), 5}, Choice{0, 0, 0}},
        {"a server without entries", {Utf8ToGbk("华东一区"), Utf8ToGbk("维护中"), 0}, Choice{0, 1, 0}},
        {"another group", {Utf8ToGbk("华北二区"), Utf8ToGbk("双线"), 0}, Choice{1, 0, 0}},
        {"a server that is gone", {Utf8ToGbk("华东一区"), Utf8ToGbk("双线"), 0}, std::nullopt},
        {"a group that is gone", {"East", Utf8ToGbk("电信一线"), 0}, std::nullopt},
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
    const LastServer last{Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), 1};
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
    const LastServer last{Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), 1};
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
