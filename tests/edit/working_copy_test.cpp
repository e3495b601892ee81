// The working copy as one program edits it: the lock against other writers,
// a damaged file never lost to a save, and what counts as an unsaved edit.
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "edit/setup_editor.h"
#include "edit/user_keys.h"
#include "edit/working_copy.h"
#include "english_text.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tarnwick::edit {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tarnwick::testing::English;

constexpr const char* kSample = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
                                "<XMLSetup>\r\n"
                                "  <ServerList>\r\n"
                                "    <Group Name=\"East\">\r\n"
                                "      <Server Name=\"Zone\">\r\n"
                                "        <Child Addrs=\"10.0.0.1\" Port=\"7000\">one</Child>\r\n"
                                "      </Server>\r\n"
                                "    </Group>\r\n"
                                "  </ServerList>\r\n"
                                "  <Url>\r\n"
                                "    <Home>http://home.example/</Home>\r\n"
                                "  </Url>\r\n"
                                "</XMLSetup>\r\n";

std::vector<fs::path> DamagedCopies(const fs::path& folder)
{
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("Tarnwick.damaged-", 0) == 0)
            copies.push_back(entry.path());
    std::sort(copies.begin(), copies.end());
    return copies;
}

class WorkingCopyTest : public ::testing::Test {
protected:
    fs::path File() const { return folder.path() / "Tarnwick.xml"; }
    testing::TemporaryFolder folder;
};

TEST_F(WorkingCopyTest, OneHolderAtATimeAndTheOtherLearnsWho)
{
    WorkingCopy first(folder.path());
    ASSERT_FALSE(first.Lock("tarnwick", 0ms));
    EXPECT_TRUE(first.Locked());
    EXPECT_FALSE(first.OtherHolder());

    WorkingCopy second(folder.path());
    const auto holder = second.Lock("tarnwick-cli", 50ms);
    ASSERT_TRUE(holder);
    // Who it is, in the operator's language: the program, its process and host.
    const std::string english = English(*holder);
    EXPECT_EQ(english.rfind("tarnwick, process ", 0), 0u) << english;
    EXPECT_NE(english.find(" on host "), std::string::npos) << english;
    EXPECT_EQ(holder->Chinese().rfind(Utf8ToGbk("tarnwick（进程 "), 0), 0u) << holder->Chinese();
    ASSERT_TRUE(second.OtherHolder());
    EXPECT_EQ(second.OtherHolder()->Chinese(), holder->Chinese());
}

TEST_F(WorkingCopyTest, TheLockGoesWithItsHolder)
{
    {
        WorkingCopy first(folder.path());
        ASSERT_FALSE(first.Lock("tarnwick", 0ms));
    }
    WorkingCopy second(folder.path());
    EXPECT_FALSE(second.Lock("tarnwick-cli", 0ms));
}

// A file that stopped loading part way holds more than the model: the first
// save keeps it beside itself, each time under a new name, and says where.
TEST_F(WorkingCopyTest, AFileThatDidNotLoadWholeIsKeptBeforeTheFirstSave)
{
    const std::string damaged = std::string(kSample).substr(0, 200);
    ReplaceFile(File(), damaged);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        WorkingCopy copy(folder.path());
        SetupModel model;
        EXPECT_THROW(copy.Load(model), Error);
        EXPECT_FALSE(copy.LoadedWhole());
        ASSERT_EQ(SetupEditor(model).AddGroup("New"), Outcome::Done);
        const auto kept = copy.Save(model);
        ASSERT_TRUE(kept);
        EXPECT_EQ(ReadFile(*kept), damaged);
        EXPECT_EQ(DamagedCopies(folder.path()).size(), static_cast<std::size_t>(run));
        // Later saves only save.
        EXPECT_FALSE(copy.Save(model));
        EXPECT_TRUE(copy.LoadedWhole());
        ReplaceFile(File(), damaged);
    }
    // Two copies kept within one second have different names.
    const auto copies = DamagedCopies(folder.path());
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_NE(copies[0], copies[1]);
}

TEST_F(WorkingCopyTest, AFileThatLoadedWholeIsSavedWithoutACopy)
{
    ReplaceFile(File(), kSample);
    WorkingCopy copy(folder.path());
    SetupModel model;
    copy.Load(model);
    EXPECT_FALSE(copy.Save(model));
    EXPECT_TRUE(DamagedCopies(folder.path()).empty());
}

TEST_F(WorkingCopyTest, UnsavedEditsAreThoseASaveWouldWrite)
{
    ReplaceFile(File(), kSample);
    WorkingCopy copy(folder.path());
    SetupModel model;
    copy.Load(model);
    EXPECT_FALSE(copy.IsModified(model));
    SetupEditor editor(model);
    ASSERT_EQ(editor.AddGroup("West"), Outcome::Done);
    EXPECT_TRUE(copy.IsModified(model));
    ASSERT_EQ(editor.DeleteGroup(1), Outcome::Done);
    EXPECT_FALSE(copy.IsModified(model)) << "an edit undone is no edit";
    // The launcher fields are never saved, so they are no unsaved edit.
    model.launcher.GameName = "other";
    EXPECT_FALSE(copy.IsModified(model));
    model.web.HomeUrl = "http://new.example/";
    EXPECT_TRUE(copy.IsModified(model));
    copy.Save(model);
    EXPECT_FALSE(copy.IsModified(model));
}

#ifndef _WIN32
// Sets an environment variable for the life of the object, or unsets it.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The keys are the user's, in the settings folder; where the system names
// no such folder there are none, and nothing is signed.
TEST_F(WorkingCopyTest, TheUsersKeysAreInTheSettingsFolderOrNowhere)
{
    {
        const ScopedVariable config("XDG_CONFIG_HOME", folder.path().c_str());
        const auto store = UserKeyStore();
        ASSERT_TRUE(store);
        EXPECT_EQ(store->Folder(), folder.path() / "tarnwick");
    }
    const ScopedVariable config("XDG_CONFIG_HOME", nullptr);
    const ScopedVariable home("HOME", nullptr);
    EXPECT_FALSE(UserKeyStore().has_value());
}
#endif

} // namespace
} // namespace tarnwick::edit
