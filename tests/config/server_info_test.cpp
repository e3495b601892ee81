#include "config/document.h"
#include "config/document_writer.h"
#include "base/error.h"
#include "config/field_encoder.h"
#include "config_fixtures.h"
#include "config/server_info_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

class ServerInfo : public ConfigDirectory {
protected:
    std::string Write(const SetupModel& model)
    {
        WriteServerInfo(ConfigurationDocument(Path("Tarnwick.xml")), model, Path("ServerInfo.txt"));
        return ReadFile(Path("ServerInfo.txt"));
    }
};

std::string RandomText(std::mt19937& rng, bool allowDividers)
{
    static const std::string pieces[] = {"a", "Z", "0", " ", "&", "<", ">", "\"", "'", "\t", "\xD6\xD0", "\x81\x40",
                                         "\x80", ".", "\\", "/", ":", ";"};
    std::string text;
    const std::size_t length = rng() % 12;
    for (std::size_t i = 0; i < length; ++i) {
        const std::string& piece = pieces[rng() % (allowDividers ? 18 : 17)];
        text += piece;
    }
    return text;
}

SetupModel RandomModel(std::mt19937& rng)
{
    SetupModel model;
    for (int g = 0; g < 5; ++g)
        model.groups.Append({g == 4 ? model.groups.At(0).Name : RandomText(rng, false)});
    for (int s = 0; s < 20; ++s)
        model.servers.Append({model.groups.At(rng() % 5).Name, RandomText(rng, false), RandomText(rng, true),
                              RandomText(rng, true), RandomText(rng, true)});
    model.web = {RandomText(rng, false), RandomText(rng, false), RandomText(rng, false), RandomText(rng, false),
                 RandomText(rng, false)};
    for (int u = 0; u < 4; ++u)
        model.updates.Append({RandomText(rng, false), RandomText(rng, false), RandomText(rng, false),
                              RandomText(rng, false), words::kYes, words::kCheckPak, words::kDownAlbum,
                              RandomText(rng, false), RandomText(rng, false), RandomText(rng, false),
                              RandomText(rng, false)});
    return model;
}

std::string Escaped(std::string text)
{
    text = std::regex_replace(text, std::regex("<"), "&lt;");
    return std::regex_replace(text, std::regex(">"), "&gt;");
}

} // namespace

TEST(WrapServerInfo, CutsLinesAtCrLfOrCrLfAndEndsEachWithCrLf)
{
    EXPECT_EQ(WrapServerInfo(""), "$BEGIN\r\n$END\r\n");
    EXPECT_EQ(WrapServerInfo("a\r\nb\rc\nd\r\n"), "$BEGIN\r\na\r\nb\r\nc\r\nd\r\n$END\r\n");
    EXPECT_EQ(WrapServerInfo("a\n\r\nb"), "$BEGIN\r\na\r\n\r\nb\r\n$END\r\n");
    EXPECT_EQ(WrapServerInfo("a\n\rb\r\r"), "$BEGIN\r\na\r\n\r\nb\r\n\r\n$END\r\n");
    EXPECT_EQ(WrapServerInfo(std::string("a\r\nb\0c\r\nd", 9)), "$BEGIN\r\na\r\nb\r\n$END\r\n");
}

TEST_F(ServerInfo, EmptyModelGivesTheMarkersAroundTheEncodedDocument)
{
    const std::string url = Escaped(FieldEncoder().EncodeValue(kPlaceholderWebAddress));
    std::string expected = "$BEGIN\r\n"
                           "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
                           "<XMLSetup>\r\n"
                           "  <ServerList/>\r\n"
                           "  <Url>\r\n";
    for (const char* name : {"Loginframe", "ContactGM", "Payment", "Payment2", "Home"})
        expected += std::string("    <") + name + ">" + url + "</" + name + ">\r\n";
    expected += "  </Url>\r\n"
                "  <UpDate/>\r\n"
                "</XMLSetup>\r\n"
                "$END\r\n";
    EXPECT_EQ(Write(SetupModel{}), expected);
}

// The decoded model writes the plain document that the model writes: what
// Tarnwick.xml would hold, whichever order or repetition the model had.
TEST_F(ServerInfo, WholeFilesDecodeBackToTheModel)
{
    std::mt19937 rng(99);
    std::vector<SetupModel> models;
    for (const char* name : {"example.xml", "empty_model.xml", "top_level.xml"}) {
        Put("Tarnwick.xml", TestData(name));
        models.emplace_back();
        ConfigurationDocument(Path("Tarnwick.xml")).LoadConfiguration(models.back());
    }
    for (int round = 0; round < 8; ++round)
        models.push_back(RandomModel(rng));
    SetupModel longest;
    // The longest values: 10,240 bytes, as long as a value may be, and GBK.
    std::string gbk;
    while (gbk.size() < FieldEncoder::kMaxValueBytes)
        gbk += "\xD6\xD0";
    longest.groups.Append({gbk});
    longest.servers.Append({gbk, gbk, gbk, std::string(FieldEncoder::kMaxValueBytes, '9'), ""});
    longest.web = {gbk, "a", gbk, "b", gbk};
    models.push_back(longest);

    const ConfigurationDocument none(Path("none"));
    for (std::size_t i = 0; i < models.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string file = Write(models[i]);
        const SetupModel decoded = ReadServerInfo(file, "ServerInfo.txt");
        EXPECT_EQ(none.BuildDocument(decoded, false), none.BuildDocument(models[i], false));
        EXPECT_EQ(Describe(AsWritten(models[i])), Describe(decoded));
        // The file is ASCII apart from the plain attributes.
        const std::string plainPart = std::regex_replace(file, std::regex(" (Date|VAR|MD5|ID)=\"[^\"]*\""), "");
        EXPECT_TRUE(std::all_of(plainPart.begin(), plainPart.end(), [](char c) { return c > 0; }));
    }
    // Loaded models and the longest one are as the writer lays them out: they come back whole.
    for (std::size_t i : {std::size_t{0}, models.size() - 1})
        EXPECT_EQ(Describe(ReadServerInfo(Write(models[i]), "ServerInfo.txt")), Describe(models[i]));
}

TEST_F(ServerInfo, PlainAttributesReadAsInTheWorkingCopy)
{
    SetupModel model = ExampleModel();
    model.updates.Append({"h", "d", "n", "u", words::kYes, words::kCheckUnknown, words::kDownAlbum,
                          "\xD6\xD0 2024", "65535", "0123456789abcdef0123456789abcdef", "<id>"});
    const std::regex plainAttributes(" (ZIP|Check|DType|Date|VAR|MD5|ID)=\"[^\"]*\"");
    auto attributes = [&](const std::string& text) {
        std::string all;
        for (std::sregex_iterator it(text.begin(), text.end(), plainAttributes), end; it != end; ++it)
            all += it->str();
        return all;
    };
    const std::string plain = ConfigurationDocument(Path("none")).BuildDocument(model, false);
    const std::string encoded = Write(model);
    EXPECT_EQ(attributes(encoded), attributes(plain));
    EXPECT_NE(attributes(plain).find(" ID=\"&lt;id&gt;\""), std::string::npos);
}

TEST_F(ServerInfo, RepeatsByteForByteAndLeavesTheWorkingCopyAlone)
{
    const std::string first = Write(ExampleModel());
    EXPECT_EQ(Write(ExampleModel()), first);
    EXPECT_FALSE(fs::exists(Path("Tarnwick.xml")));
    EXPECT_EQ(first.substr(first.size() - 19), "</XMLSetup>\r\n$END\r\n");
}

TEST_F(ServerInfo, TracesOneLinePerNonEmptyEncodedValue)
{
    std::vector<std::string> lines;
    ConfigurationDocument document(Path("Tarnwick.xml"));
    document.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    WriteServerInfo(document, ExampleModel(), Path("ServerInfo.txt"));
    // Group, server, 2 x (name, address, port), 5 addresses, hint, folder, file name, download address.
    EXPECT_EQ(lines.size(), 1u + 1u + 6u + 5u + 4u);
    for (const auto& line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex("0x[0-9A-F]{8}"))) << line;
}

TEST_F(ServerInfo, AValueOverTheLimitWritesNothing)
{
    Put("ServerInfo.txt", "old");
    SetupModel model = ExampleModel();
    model.web.HomeUrl = std::string(FieldEncoder::kMaxValueBytes + 1, 'a');
    EXPECT_THROW(WriteServerInfo(ConfigurationDocument(Path("Tarnwick.xml")), model, Path("ServerInfo.txt")), Error);
    EXPECT_EQ(ReadFile(Path("ServerInfo.txt")), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}
