#include "launcher/pe_image.h"
#include "launcher/version_stamp.h"
#include "base/error.h"
#include "english_text.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using tarnwick::testing::English;
using namespace tarnwick::test;

namespace {

const std::u16string kGameName = u"\\StringFileInfo\\040904b0\\GameName";

// The slot's recorded length and its raw characters, terminator and all.
std::pair<std::size_t, std::u16string> Slot(const std::string& image, std::u16string_view path)
{
    const auto found = FindVersionResource(Bytes(image));
    const auto buffer = Bytes(image).subspan(found->offset, found->size);
    const auto value = QueryVersionValue(buffer, path);
    std::u16string raw;
    ByteReader in(buffer);
    for (std::size_t i = 0; i < value.length; ++i)
        raw.push_back(static_cast<char16_t>(in.U16(value.offset + 2 * i, "test")));
    return {value.length, raw};
}

} // namespace

TEST(VersionInfo, QueriesFollowThePathRules)
{
    const std::string image = Fixture("version64.exe");
    const auto found = FindVersionResource(Bytes(image));
    ASSERT_TRUE(found);
    EXPECT_EQ(VersionInfoSize(Bytes(image)), found->size);
    const auto buffer = Bytes(image).subspan(found->offset, found->size);

    // The root's value is the fixed file information, whose signature is 0xFEEF04BD.
    for (const char16_t* root : {u"", u"\\", u"\\\\"}) {
        const auto fixed = QueryVersionValue(buffer, root);
        ASSERT_EQ(fixed.length, 52u);
        EXPECT_EQ(ByteReader(buffer).U32(fixed.offset, "test"), 0xFEEF04BDu);
    }
    const auto translation = QueryVersionValue(buffer, u"\\\\VarFileInfo\\\\Translation");
    EXPECT_EQ(translation.length, 4u);
    EXPECT_FALSE(translation.text);
    EXPECT_EQ(ByteReader(buffer).U32(translation.offset, "test"), 0x04B00409u);

    EXPECT_EQ(VersionString(image, kGameName), u"01234567890123456789");
    EXPECT_EQ(VersionString(image, u"STRINGFILEINFO\\\\040904B0\\gamename\\"), u"01234567890123456789");
    // Whole names only.
    EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\040904b0\\Game"), u"<absent>");
    EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\040904b0\\GameNameX"), u"<absent>");
    EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\080403a8\\GameName"), u"<absent>");
    EXPECT_EQ(Slot(image, kGameName).first, 21u);
    EXPECT_EQ(Slot(image, u"\\StringFileInfo\\040904b0\\OriginalFilename").first, 27u);
    EXPECT_EQ(Slot(image, u"\\StringFileInfo\\040904b0\\ServerList").first, 201u);
}

TEST(VersionInfo, CarriedImageHasTheThreeSlots)
{
    const std::string image = ReadFile(std::filesystem::path(TARNWICK_SOURCE_DIR) / "resources/LoginData.exe");
    const auto found = FindVersionResource(Bytes(image));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->language, 0x0804);
    const std::u16string table = u"\\StringFileInfo\\080403a8\\";
    const auto original = Slot(image, table + u"OriginalFilename");
    EXPECT_EQ(original.first, 518u);
    EXPECT_EQ(original.second, u"Login.exe" + std::u16string(499, u' ') + u"Login.exe" + std::u16string(1, u'\0'));
    EXPECT_GE(Slot(image, table + u"GameName").first, 21u);
    EXPECT_GE(Slot(image, table + u"ServerList").first, 201u);
}

TEST(VersionStamp, RefusalsSayWhyAndLeaveTheImageUnchanged)
{
    struct Row {
        const char* file;
        std::u16string key;
        std::u16string value;
        StampStatus status;
    };
    const std::vector<Row> rows = {
        {"noversion.exe", u"GameName", u"x", StampStatus::NoVersionResource},
        {"noresources.exe", u"GameName", u"x", StampStatus::NoVersionResource},
        {"notranslation.exe", u"GameName", u"x", StampStatus::NoTranslation},
        // Only the second translation's table holds the key.
        {"secondtable.exe", u"GameName", u"x", StampStatus::KeyAbsent},
        {"version64.exe", u"NoSuchKey", u"x", StampStatus::KeyAbsent},
        // Longer than the slot: 21 characters and a terminator into 21.
        {"version64.exe", u"GameName", u"012345678901234567890", StampStatus::TooLong},
        // A recorded length of 1 holds only the terminator.
        {"version64.exe", u"Empty", u"x", StampStatus::TooLong},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.file));
        std::string image = Fixture(row.file);
        const std::string before = image;
        EXPECT_EQ(StampImage(image, row.key, row.value).status, row.status);
        EXPECT_EQ(image, before);
    }
    std::string image = Fixture("version64.exe");
    EXPECT_EQ(StampImage(image, u"GameName", u"012345678901234567890").room, 21u);

    std::string garbage = "MZ not really an executable";
    const StampResult notPe = StampImage(garbage, u"GameName", u"x");
    EXPECT_EQ(notPe.status, StampStatus::NotAnExecutable);
    EXPECT_NE(English(notPe.detail).find("not a valid Windows executable"), std::string::npos) << English(notPe.detail);
}

TEST(VersionStamp, ShortValueKeepsTheSlotAndTheOldTail)
{
    for (const char* name : {"version32.exe", "version64.exe", "notlast.exe"}) {
        SCOPED_TRACE(name);
        std::string image = Fixture(name);
        const std::size_t size = image.size();
        ASSERT_TRUE(StampImage(image, u"gamename", u"Velmora").Stamped());
        EXPECT_EQ(image.size(), size);
        EXPECT_EQ(VersionString(image, kGameName), u"Velmora");
        const auto [length, raw] = Slot(image, kGameName);
        EXPECT_EQ(length, 21u);
        // The old characters behind the new terminator are still there.
        EXPECT_EQ(raw, std::u16string(u"Velmora\0" u"890123456789\0", 21));
        // The rest of the block is untouched.
        EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\040904b0\\CompanyName"), u"Example");
        const PeImage pe = PeImage::Parse(Bytes(image));
        EXPECT_EQ(PeCheckSum(Bytes(image), pe.CheckSumOffset()), pe.CheckSum());
    }
}

TEST(VersionStamp, EmptyExactAndRepeatedValues)
{
    std::string image = Fixture("version64.exe");
    ASSERT_TRUE(StampImage(image, u"GameName", u"").Stamped());
    EXPECT_EQ(Slot(image, kGameName).second.substr(0, 2), std::u16string(u"\0" u"1", 2));

    ASSERT_TRUE(StampImage(image, u"GameName", u"ABCDEFGHIJKLMNOPQRST").Stamped()); // 20 + 1 = 21
    EXPECT_EQ(VersionString(image, kGameName), u"ABCDEFGHIJKLMNOPQRST");

    ASSERT_TRUE(StampImage(image, u"GameName", u"second").Stamped());
    EXPECT_EQ(VersionString(image, kGameName), u"second");
    EXPECT_EQ(Slot(image, kGameName).first, 21u);
}

TEST(VersionStamp, OtherLanguageAddsASecondVersionResource)
{
    std::string image = Fixture("otherlang.exe");
    const std::string before = image;
    ASSERT_TRUE(StampImage(image, u"GameName", u"Velmora").Stamped());
    const PeImage pe = PeImage::Parse(Bytes(image));
    const auto versions = LocateResource(Bytes(image), pe, ResourceId::Number(16), ResourceId::Number(1));
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[0].language, 0x0409);
    EXPECT_EQ(versions[1].language, 0x0804);
    // The old one is as it was; the new one, read from now on, holds the value.
    const PeImage old = PeImage::Parse(Bytes(before));
    const auto original = LocateResource(Bytes(before), old, ResourceId::Number(16), ResourceId::Number(1)).at(0);
    EXPECT_EQ(image.substr(versions[0].offset, versions[0].size), before.substr(original.offset, original.size));
    EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\080403A8\\GameName"), u"Velmora");
    // A second stamping builds on the first.
    ASSERT_TRUE(StampImage(image, u"GameName", u"Again").Stamped());
    EXPECT_EQ(VersionString(image, u"\\StringFileInfo\\080403A8\\GameName"), u"Again");
}

TEST(VersionStamp, FileIsReplacedOnlyOnSuccess)
{
    TemporaryFolder folder;
    const auto path = folder.path() / "a.exe";
    ReplaceFile(path, Fixture("version64.exe"));
    EXPECT_TRUE(StampVersionString(path, u"GameName", u"Velmora"));
    EXPECT_EQ(VersionString(ReadFile(path), kGameName), u"Velmora");

    const std::string stamped = ReadFile(path);
    EXPECT_FALSE(StampVersionString(path, u"GameName", u"much too long for the slot"));
    EXPECT_EQ(ReadFile(path), stamped);
    // A file that cannot be read is an error, not a refusal.
    EXPECT_THROW(StampVersionString(folder.path() / "missing.exe", u"GameName", u"x"), Error);
    EXPECT_EQ(folder.EntryCount(), 1u);
}
