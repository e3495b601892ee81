#include "config/model.h"
#include "base/text.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(Model, ChoiceWordsAreTheGbkWords)
{
    EXPECT_EQ(GbkToUtf8(words::kYes), "\xE6\x98\xAF");
    EXPECT_EQ(GbkToUtf8(words::kCheckUnknown), "\xE6\x9C\xAA\xE7\x9F\xA5");
    EXPECT_EQ(GbkToUtf8(words::kDownAlbum), "\xE7\x99\xBE\xE5\xBA\xA6");
}

TEST(Model, CheckWordsAndCodes)
{
    EXPECT_EQ(CheckWordForIndex(-1), words::kCheckUnknown);
    EXPECT_EQ(CheckWordForIndex(3), words::kCheckMd5);
    EXPECT_EQ(CheckIndexForWord(words::kCheckUnknown), 3);
    EXPECT_EQ(CheckIndexForWord(words::kCheckPak), 2);
    EXPECT_STREQ(CheckCode(words::kCheckUnknown), "3");
    EXPECT_STREQ(CheckCode("pak"), "3"); // exact comparison
    EXPECT_EQ(CheckWordForCode("7"), words::kCheckMd5);
    EXPECT_EQ(CheckWordForCode(""), words::kCheckMd5);
    EXPECT_EQ(ZipWordForCode("01"), words::kNo);
    EXPECT_STREQ(DownTypeCode(words::kDownAlbum), "1");
}

TEST(Model, MoveExchangesNeighbours)
{
    RecordList<ServerGroup> list;
    for (const char* name : {"a", "b", "c"})
        list.Append({name});
    list.Move(2, 1);
    EXPECT_EQ(list.At(1).Name, "c");
    EXPECT_EQ(list.At(2).Name, "b");
    list.Insert(0, {"z"});
    list.Remove(1);
    EXPECT_EQ(list.At(0).Name, "z");
    EXPECT_EQ(list.Count(), 3u);
}
