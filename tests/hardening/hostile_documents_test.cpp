// Documents that other people and programs may put in place of Tarnwick.xml:
// each must give a clear error or a correct load, never a crash, a hang or a
// file read from elsewhere.
#include "config/document.h"
#include "config/error.h"
#include "config/file_io.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

class HostileDocuments : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("tarnwick-hostile-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Loads the bytes; returns the error text, or "" when the load succeeded.
    std::string Load(const std::string& bytes, SetupModel& model)
    {
        ReplaceFile(dir_ / "Tarnwick.xml", bytes);
        ConfigurationDocument document(dir_ / "Tarnwick.xml");
        try {
            document.LoadConfiguration(model);
            return "";
        } catch (const Error& e) {
            return e.what();
        }
    }
    std::string Load(const std::string& bytes)
    {
        SetupModel model;
        return Load(bytes, model);
    }

    static std::string Wrap(const std::string& serverList)
    {
        return "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup>\r\n<ServerList>" + serverList +
               "</ServerList>\r\n</XMLSetup>\r\n";
    }

    fs::path dir_;
};

} // namespace

TEST_F(HostileDocuments, EntitiesAreNeverExpandedOrFetched)
{
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE XMLSetup [\n<!ENTITY a \"aaaaaaaaaa\">\n"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n]>\n"
        "<XMLSetup><ServerList><Group Name=\"&i;\"/></ServerList></XMLSetup>\n";
    SetupModel model;
    const std::string error = Load(laughs, model);
    // Either refused, or loaded without the expansion ballooning.
    if (error.empty()) {
        ASSERT_EQ(model.groups.Count(), 1u);
        EXPECT_LT(model.groups.At(0).Name.size(), 100000u);
    }

    const fs::path secret = dir_ / "secret.txt";
    ReplaceFile(secret, "TOPSECRET");
    const std::string external = "<?xml version=\"1.0\"?>\n<!DOCTYPE XMLSetup [\n<!ENTITY x SYSTEM \"file://" +
                                 secret.string() + "\">\n]>\n<XMLSetup><Url><Home>&x;</Home></Url></XMLSetup>\n";
    SetupModel model2;
    const std::string error2 = Load(external, model2);
    EXPECT_EQ(model2.web.HomeUrl.find("TOPSECRET"), std::string::npos) << error2;
}

TEST_F(HostileDocuments, DeepNestingAndHugeValuesStayBounded)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_NE(Load(Wrap("<Group Name=\"g\">" + deep)), ""); // not well-formed and far too deep

    SetupModel model;
    const std::string big(10 * 1024 * 1024, 'x');
    EXPECT_EQ(Load(Wrap("<Group Name=\"" + big + "\"/>"), model), "");
    ASSERT_EQ(model.groups.Count(), 1u);
    EXPECT_EQ(model.groups.At(0).Name, big);
}

TEST_F(HostileDocuments, BadBytesAreClearErrors)
{
    // A lone GBK lead byte, and a NUL byte inside the document.
    EXPECT_NE(Load(Wrap("<Group Name=\"a\xB4\"/>")), "");
    EXPECT_NE(Load(Wrap(std::string("<Group Name=\"a\0b\"/>", 18))), "");
    // A byte-order mark in front of a GBK-declared document: refused or ignored, never garbage.
    SetupModel model;
    const std::string error = Load("\xEF\xBB\xBF" + Wrap("<Group Name=\"East\"/>"), model);
    if (error.empty()) {
        ASSERT_EQ(model.groups.Count(), 1u);
        EXPECT_EQ(model.groups.At(0).Name, "East");
    }
}

TEST_F(HostileDocuments, ErrorsQuoteOnlyTheStartOfALongLine)
{
    const std::string line = "<Group Name=\"" + std::string(5000, 'y') + "\" Name=\"twice\"/>";
    const std::string error = Load(Wrap(line));
    ASSERT_NE(error, "");
    EXPECT_LT(error.size(), 400u);
}
