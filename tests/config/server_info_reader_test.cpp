#include "base/error.h"
#include "config/document.h"
#include "config/document_writer.h"
#include "config/field_encoder.h"
#include "config/server_info_reader.h"
#include "config_fixtures.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace tarnwick::testing {
// field_encoder_test.cpp: the encoder's steps without its length limit.
std::string EncodedWithoutLimit(std::string_view value);
} // namespace tarnwick::testing

namespace {

std::string ExampleFile()
{
    return WrapServerInfo(ConfigurationDocument("none").BuildDocument(ExampleModel(), true));
}

// The file with the character `offset` bytes after the first `marker` replaced.
std::function<std::string(std::string)> Change(std::string marker, std::size_t offset, char by = 0)
{
    return [=](std::string file) {
        const std::size_t at = file.find(marker) + marker.size() + offset;
        file[at] = by != 0 ? by : (file[at] == 'a' ? 'b' : 'a');
        return file;
    };
}

std::function<std::string(std::string)> Replace(std::string what, std::string by)
{
    return [=](std::string file) { return std::regex_replace(file, std::regex(what), by); };
}

std::function<std::string(std::string)> Prefix(std::string bytes)
{
    return [=](std::string file) { return bytes + file; };
}

std::function<std::string(std::string)> Append(std::string bytes)
{
    return [=](std::string file) { return file + bytes; };
}

// The file with its first line, "$BEGIN", replaced.
std::function<std::string(std::string)> FirstLine(std::string line)
{
    return [=](std::string file) { return line + file.substr(file.find('\r')); };
}

KeyMaterial OtherKey()
{
    KeyMaterial key = BuiltInKey();
    std::reverse(key.SubstTable.begin(), key.SubstTable.end());
    return key;
}

struct DamagedFile {
    const char* what;
    std::function<std::string(std::string)> damage;
    // What reading says; empty when the file reads as the example model.
    std::string message;
    const KeyMaterial& key = BuiltInKey();
};

} // namespace

TEST(ReadServerInfo, SaysWhereAFileIsDamaged)
{
    static const KeyMaterial other = OtherKey();
    const std::string home = FieldEncoder().EncodeValue("\x01");
    const std::string tooLong = EncodedWithoutLimit(std::string(FieldEncoder::kMaxValueBytes + 1, 'a'));
    std::string wide;
    for (int i = 0; i < 50; ++i)
        wide += "\xD6\xD0"; // a GBK character
    const DamagedFile rows[] = {
        {"CR LF line ends, as written", [](std::string f) { return f; }, ""},
        {"LF line ends", Replace("\r\n", "\n"), ""},
        {"CR line ends", Replace("\r\n", "\r"), ""},
        {"an empty file", [](std::string) { return std::string(); },
         "ServerInfo.txt is empty: a server information file starts with the line \"$BEGIN\""},
        {"the marker line", Change("$BEGI", 0, 'M'),
         "ServerInfo.txt, line 1: \"$BEGIM\" stands where \"$BEGIN\" should: this is not a server information file"},
        {"a UTF-8 byte-order mark", Prefix("\xEF\xBB\xBF"),
         "ServerInfo.txt starts with a UTF-8 byte-order mark: a server information file is GBK text that starts "
         "with the line \"$BEGIN\""},
        {"a UTF-16 byte-order mark", Prefix("\xFF\xFE"),
         "ServerInfo.txt starts with a UTF-16 byte-order mark: a server information file is GBK text that starts "
         "with the line \"$BEGIN\""},
        // Quoted bytes could otherwise clear a terminal or retitle its window.
        {"control bytes quoted", FirstLine("\x1B[2J\x1B]0;x\x07\x7F$BEGIN\\"),
         "ServerInfo.txt, line 1: \"\\x1B[2J\\x1B]0;x\\x07\\x7F$BEGIN\\\\\" stands where \"$BEGIN\" should: this is not "
         "a server information file"},
        {"bytes that are no GBK character quoted", FirstLine("\xFF\x81" "0\xD6\xD0\x81"),
         "ServerInfo.txt, line 1: \"\\xFF\\x81" "0\xD6\xD0\\x81\" stands where \"$BEGIN\" should: this is not a server "
         "information file"},
        {"a long first line quoted in part", FirstLine(wide),
         "ServerInfo.txt, line 1: \"" + wide.substr(0, 80) + "...\" stands where \"$BEGIN\" should: this is not a "
         "server information file"},
        {"the declaration", Change("encoding=\"", 0, 'U'),
         "ServerInfo.txt, line 2: \"<?xml version=\"1.0\" encoding=\"UB2312\"?>\" stands where the declaration "
         "<?xml version=\"1.0\" encoding=\"GB2312\"?> should"},
        {"cut in the middle", [](std::string f) { return f.substr(0, f.size() / 2); },
         "ServerInfo.txt, line 13: the file ends without the line \"$END\", so it was cut short"},
        {"cut before the last line", [](std::string f) { return f.substr(0, f.size() - 6); },
         "ServerInfo.txt, line 22: the file ends without the line \"$END\", so it was cut short"},
        {"the end marker", Change("$EN", 0, 'X'),
         "ServerInfo.txt, line 23: the file ends without the line \"$END\", so it was cut short"},
        {"a line after the end marker", Append("<Home/>\r\n"),
         "ServerInfo.txt, line 24: a line after \"$END\" (\"<Home/>\"); the line \"$END\" ends a server information "
         "file"},
        {"an empty line after the end marker", Append("\r\n"),
         "ServerInfo.txt, line 24: a line after \"$END\" (\"\"); the line \"$END\" ends a server information file"},
        {"lines after the end marker, without a last line break", Append("\n\x1B[31m\nx"),
         "ServerInfo.txt, line 24: a line after \"$END\" (\"\"); the line \"$END\" ends a server information file"},
        {"element markup", Change("</Serv", 0, 'X'), "ServerInfo.txt: "},
        {"a byte that is not GBK", Change("<Loginframe", 0, '\xFF'),
         "ServerInfo.txt: The document holds bytes that are not GBK text\r\nLine: 13\r\n"},
        {"a value's first character", Change("<Group Name=\"", 0),
         "ServerInfo.txt, line 5: the Name of a Group is damaged: its length byte does not match its length"},
        {"a value's middle character", Change("<Group Name=\"", 8),
         "ServerInfo.txt, line 5: the Name of a Group is damaged: its checksum does not match its contents"},
        {"a value's deflate data", Change("<Group Name=\"", 3),
         "ServerInfo.txt, line 5: the Name of a Group is damaged: its compressed data is broken"},
        {"a value's last character", Change("<ContactGM>", 18),
         "ServerInfo.txt, line 14: the text of ContactGM is damaged: its last character has bits set that the "
         "encoding leaves clear"},
        {"a character outside the range", Change("<Payment>", 3, '|'),
         "ServerInfo.txt, line 15: the text of Payment is damaged: it holds a character outside \"<\" to \"{\", "
         "which the encoding never writes"},
        {"a character taken out", Replace("<Home>dvxe", "<Home>dve"),
         "ServerInfo.txt, line 17: the text of Home is damaged: its last character has bits set that the encoding "
         "leaves clear"},
        {"two characters taken out", Replace("<Home>dvxe", "<Home>de"),
         "ServerInfo.txt, line 17: the text of Home is damaged: its length is not one that the encoding gives"},
        {"a value that is no text", Replace("<Home>[^<]*", "<Home>" + home),
         "ServerInfo.txt, line 17: the text of Home is damaged: it decodes to bytes that are not GBK text"},
        {"a value longer than the encoder writes", Replace("<Home>[^<]*", "<Home>" + tooLong),
         "ServerInfo.txt, line 17: the text of Home is too long: it decodes to more than 10,240 bytes, the most that "
         "a value may hold"},
        {"other key material", [](std::string f) { return f; },
         "ServerInfo.txt was not written with this key material: none of its values decodes with the key "
         "material this program was built with",
         other},
    };
    const std::string file = ExampleFile();
    const SetupModel example = ReadServerInfo(file, "ServerInfo.txt");
    for (const DamagedFile& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string damaged = row.damage(file);
        try {
            const SetupModel model = ReadServerInfo(damaged, "ServerInfo.txt", row.key);
            EXPECT_EQ(row.message, "") << "read a damaged file";
            EXPECT_EQ(Describe(model), Describe(example));
        } catch (const Error& error) {
            // libxml2's own words differ between its versions: only our part is pinned.
            EXPECT_EQ(English(error).substr(0, row.message.size()), row.message);
            EXPECT_FALSE(row.message.empty()) << English(error);
        }
    }
}

// A plain value is not encoded, so nothing tells a change in it: it reads as changed.
TEST(ReadServerInfo, ReadsPlainAttributesAsTheyStand)
{
    const std::string file = std::regex_replace(ExampleFile(), std::regex("VAR=\"1\""), "VAR=\"2\"");
    EXPECT_EQ(ReadServerInfo(file, "ServerInfo.txt").updates.At(0).Ver, "2");
}

// Each group is written with every server of its name; decoding gives the servers once.
TEST(ReadServerInfo, RepeatedGroupNamesGiveTheirServersOnce)
{
    SetupModel model = ExampleModel();
    model.groups.Append({"West"});
    model.groups.Append({"East"});
    model.servers.Append({"West", "W", "w", "10.0.0.9", "1"});
    const std::string file = WrapServerInfo(ConfigurationDocument("none").BuildDocument(model, true));
    EXPECT_EQ(Describe(ReadServerInfo(file, "ServerInfo.txt")), Describe(model));
}

// Standard input is refused from its first bytes: they must tell what the
// whole file would.
TEST(ReadServerInfo, TheStartOfAFileTellsWhatTheWholeFileWould)
{
    std::string wide;
    for (int i = 0; i < 100; ++i)
        wide += "\xD6\xD0";
    const std::string file = ExampleFile();
    // Each fails in its first line.
    const std::string starts[] = {
        "\xEF\xBB\xBF$BEGIN\r\n", "$BEGI\r\n", "$BEGINNING\r\n", std::string(1000, 'x') + "\r\n", wide + "\r\n",
        "\x1B[2J$BEGIN\n",
    };
    for (const std::string& start : starts) {
        SCOPED_TRACE(start);
        const std::string whole = start + file.substr(file.find('\n') + 1);
        std::string fromWhole, fromHead;
        try {
            ReadServerInfo(whole, "standard input");
        } catch (const Error& error) {
            fromWhole = English(error);
        }
        try {
            CheckServerInfoStart(std::string_view(whole).substr(0, kServerInfoHeadBytes), "standard input");
        } catch (const Error& error) {
            fromHead = English(error);
        }
        EXPECT_FALSE(fromWhole.empty());
        EXPECT_EQ(fromHead, fromWhole);
    }
    EXPECT_NO_THROW(CheckServerInfoStart(std::string_view(file).substr(0, kServerInfoHeadBytes), "ServerInfo.txt"));
    EXPECT_NO_THROW(CheckServerInfoStart("$BEGIN\n", "ServerInfo.txt"));
}
