// A damaged document gives what stood before the damage: each list a prefix
// of the whole document's, every record that ended before the damage, and
// no record that the damage cut into.
#include "base/error.h"
#include "base/text.h"
#include "config/document.h"
#include "config/document_reader.h"
#include "config_fixtures.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// Groups, servers of several connection entries, the five addresses and
// update entries, with Chinese text so that cuts fall inside GBK characters.
SetupModel RichModel()
{
    SetupModel model;
    for (const char* group : {"华东一区", "West", "空组"})
        model.groups.Append({Utf8ToGbk(group)});
    model.servers.Append({Utf8ToGbk("华东一区"), Utf8ToGbk("电信一线"), Utf8ToGbk("电信;网通"), "10.0.0.1;10.0.0.2",
                          "7000;7001"});
    model.servers.Append({Utf8ToGbk("华东一区"), "Second", "a;b;c", "10.0.1.1;10.0.1.2;10.0.1.3", "7100;7101;7102"});
    model.servers.Append({"West", Utf8ToGbk("西区"), "w", "192.168.0.9", "7200"});
    model.web = {"http://login.example/", Utf8ToGbk("http://gm.example/联系"), "http://pay.example/",
                 "http://pay2.example/", "http://home.example/"};
    model.updates.Append({Utf8ToGbk("补丁一"), ".\\Data\\", "p1.dat", "http://dl.example/p1.dat", words::kNo,
                          words::kCheckMd5, words::kDownDirect, "20240101", "1", "0123456789abcdef0123456789abcdef",
                          "20050505"});
    model.updates.Append({"zip", ".\\", "p2.zip", "http://dl.example/p2.zip", words::kYes, words::kCheckVersion,
                          words::kDownAlbum, "20240202", "2", "", "20050505"});
    return model;
}

// Where each element of that name has ended, as offsets just past its end.
std::vector<std::size_t> EndsOf(const std::string& document, const std::string& closing)
{
    std::vector<std::size_t> ends;
    for (std::size_t at = document.find(closing); at != std::string::npos; at = document.find(closing, at + 1))
        ends.push_back(at + closing.size());
    return ends;
}

// Where each start tag of that name has ended.
std::vector<std::size_t> StartTagEndsOf(const std::string& document, const std::string& opening)
{
    std::vector<std::size_t> ends;
    for (std::size_t at = document.find(opening); at != std::string::npos; at = document.find(opening, at + 1))
        ends.push_back(document.find('>', at) + 1);
    return ends;
}

std::size_t EndedBefore(const std::vector<std::size_t>& ends, std::size_t cut)
{
    std::size_t count = 0;
    while (count < ends.size() && ends[count] <= cut)
        ++count;
    return count;
}

template <class List>
void ExpectPrefix(const List& part, const List& whole, std::size_t atLeast, const char* what)
{
    ASSERT_LE(part.Count(), whole.Count()) << what;
    EXPECT_GE(part.Count(), atLeast) << what << ": one that ended before the cut is missing";
    for (std::size_t i = 0; i < part.Count(); ++i)
        EXPECT_TRUE(part.At(i) == whole.At(i)) << what << " " << i << " differs from the whole document's";
}

} // namespace

// Every cut of the document, at each byte, from nothing to the whole.
TEST(DamagedDocument, EveryCutGivesAPrefixOfTheWholeWithAllThatEndedBeforeIt)
{
    const std::string document = ConfigurationDocument("absent.xml").BuildDocument(RichModel(), false);
    SetupModel whole;
    const DocumentReading wholeReading = ReadConfigurationDocument(document, whole);
    ASSERT_FALSE(wholeReading.failure);
    ASSERT_EQ(whole.servers.Count(), 3u);
    ASSERT_EQ(whole.updates.Count(), 2u);

    const auto groupEnds = StartTagEndsOf(document, "<Group ");
    const auto serverEnds = EndsOf(document, "</Server>");
    const auto updateEnds = EndsOf(document, "</Config>");
    const std::size_t rootEnd = document.find("</XMLSetup>") + std::string("</XMLSetup>").size();
    const SetupModel initial;
    for (std::size_t cut = 0; cut <= document.size(); ++cut) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        SetupModel part;
        const DocumentReading reading = ReadConfigurationDocument(document.substr(0, cut), part);
        EXPECT_EQ(reading.damage.has_value(), cut < rootEnd);
        EXPECT_EQ(reading.failure.has_value(), cut < rootEnd);
        if (reading.damage) {
            EXPECT_EQ(reading.damage->Kind(), ErrorKind::Damaged);
        }
        ExpectPrefix(part.groups, whole.groups, EndedBefore(groupEnds, cut), "group");
        ExpectPrefix(part.servers, whole.servers, EndedBefore(serverEnds, cut), "server");
        ExpectPrefix(part.updates, whole.updates, EndedBefore(updateEnds, cut), "update");
        for (const WebAddressField& field : kWebAddressFields) {
            const std::string& value = part.web.*field.member;
            const std::string closing = std::string("</") + field.element + ">";
            const std::size_t end = document.find(closing) + closing.size();
            if (cut >= end)
                EXPECT_EQ(value, whole.web.*field.member) << field.element;
            else
                EXPECT_EQ(value, initial.web.*field.member) << field.element << " read before it was whole";
        }
        if (::testing::Test::HasFailure())
            return;
    }
}

// The bytes stop being GBK on one line: the lines before it are read, and the
// failure names that line, not the end that the parser met.
TEST(DamagedDocument, BytesThatAreNotGbkEndTheReadingAtTheirLine)
{
    const std::string document = ConfigurationDocument("absent.xml").BuildDocument(RichModel(), false);
    const std::string second = "<Server Name=\"Second\"";
    std::string damaged = document;
    damaged.replace(damaged.find(second) + second.size() - 1, 1, "\xFF");
    const long line = 1 + static_cast<long>(std::count(document.begin(), document.begin() + document.find(second), '\n'));

    SetupModel part;
    const DocumentReading reading = ReadConfigurationDocument(damaged, part);
    ASSERT_TRUE(reading.failure);
    const std::string text = English(*reading.failure);
    EXPECT_EQ(text.rfind("The document holds bytes that are not GBK text\r\nLine: " + std::to_string(line) + "\r\n", 0),
              0u)
        << text;
    EXPECT_EQ(part.groups.Count(), 1u);
    EXPECT_EQ(part.servers.Count(), 1u);
    EXPECT_EQ(part.updates.Count(), 0u);
}

// A failure before the bytes that are not GBK is the one named.
TEST(DamagedDocument, AnEarlierDamageIsNamedBeforeLaterBytesThatAreNotGbk)
{
    const std::string document = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
                                 "<XMLSetup>\r\n"
                                 "  <ServerList>\r\n"
                                 "    <Group Name=\"A\"/>\r\n"
                                 "  </Serverlist>\r\n"
                                 "  <Url><Home>\xFF</Home></Url>\r\n"
                                 "</XMLSetup>\r\n";
    SetupModel part;
    const DocumentReading reading = ReadConfigurationDocument(document, part);
    ASSERT_TRUE(reading.damage);
    EXPECT_NE(English(*reading.damage).find("\r\nLine: 5\r\n  </Serverlist>"), std::string::npos)
        << English(*reading.damage);
    EXPECT_EQ(part.groups.Count(), 1u);
}
