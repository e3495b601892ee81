// Inputs with which the fuzz targets found faults, replayed with the targets'
// invariants. data/fuzz_document/: documents that must load, write, load again
// and write back the same bytes (or be refused with a message).
#include "config/document.h"
#include "base/error.h"
#include "base/file_io.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace {

class FuzzRegressions : public ::testing::Test {
protected:

    // The document the writer makes of what loads from the bytes; "" when they are refused.
    std::string LoadAndWrite(const std::string& bytes, SetupModel& model, const std::string& name)
    {
        const fs::path path = dir_ / name;
        ReplaceFile(path, bytes);
        ConfigurationDocument document(path);
        try {
            document.LoadConfiguration(model);
        } catch (const Error&) {
            return {};
        }
        return document.BuildDocument(model, false);
    }

    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
};

} // namespace

TEST_F(FuzzRegressions, WrittenDocumentsLoadAgainUnchanged)
{
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TARNWICK_TEST_DATA) / "fuzz_document")) {
        SCOPED_TRACE(entry.path().filename().string());
        SetupModel first;
        const std::string written = LoadAndWrite(ReadFile(entry.path()), first, "first.xml");
        if (written.empty())
            continue;
        SetupModel second;
        EXPECT_EQ(LoadAndWrite(written, second, "second.xml"), written);
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

// libxml2's own GBK decoding misread text after a run of single-byte euro signs
// (0x80, which grows to three bytes in UTF-8): a document that the writer had
// just saved could fail to load with "Comment not terminated".
TEST_F(FuzzRegressions, EuroSignRunBeforeGbkTextReadsExactly)
{
    const std::string euros(60, '\x80');
    const std::string document = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup>\r\n"
                                 "<ServerList><Group Name=\"" +
                                 euros + "\"/></ServerList>\r\n<Url><Home>" + std::string(100, 'x') +
                                 "\xE5\x65 r</Home></Url>\r\n</XMLSetup>\r\n";
    SetupModel model;
    const std::string written = LoadAndWrite(document, model, "Tarnwick.xml");
    ASSERT_NE(written, "");
    ASSERT_EQ(model.groups.Count(), 1u);
    EXPECT_EQ(model.groups.At(0).Name, euros);
    EXPECT_EQ(model.web.HomeUrl, std::string(100, 'x') + "\xE5\x65 r");
}
