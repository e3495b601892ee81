// Files beyond what their formats can carry are refused before they are read,
// with messages that name the limit, and are left as they were.
#include "config/document.h"
#include "base/error.h"
#include "launcher/pe_image.h"
#include "launcher/version_stamp.h"

#include "temporary_folder.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;

namespace {

class Limits : public ::testing::Test {
protected:

    // A sparse file of that size: no disk space and no time to make.
    fs::path SparseFile(const char* name, std::uintmax_t size)
    {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).put('x');
        fs::resize_file(path, size);
        return path;
    }

    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
};

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return English(e);
    }
    return "";
}

} // namespace

TEST_F(Limits, AnExecutableOver4GiBIsRefusedUnread)
{
    const fs::path huge = SparseFile("huge.exe", kMaxExecutableBytes + 1);
    EXPECT_EQ(ErrorOf([&] { ReadExecutable(huge); }),
              "The file \"" + huge.string() +
                  "\" is 4294967296 bytes long; an executable can be at most 4,294,967,295 bytes (4 GiB)");
    EXPECT_THROW(StampVersionString(huge, u"OriginalFilename", u".\\Game.exe"), Error);
    EXPECT_EQ(fs::file_size(huge), kMaxExecutableBytes + 1);
}

TEST_F(Limits, ADocumentOver1GiBIsRefusedUnread)
{
    const fs::path huge = SparseFile("Tarnwick.xml", 1024u * 1024 * 1024 + 1);
    SetupModel model;
    EXPECT_EQ(ErrorOf([&] { ConfigurationDocument(huge).LoadConfiguration(model); }),
              "The file \"" + huge.string() +
                  "\" is 1073741825 bytes long; a document may be at most 1,073,741,824 bytes (1 GiB)");
}
