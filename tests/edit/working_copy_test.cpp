// The working copy as one program edits it: the lock against other writers,
// a damaged file never lost to a save, and what counts as an unsaved edit.
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "edit/setup_editor.h"
#include "edit/user_keys.h"
#include "edit/working_copy.h"
#include "english_text.h"
#include "permission_checks.h"
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

// The fingerprint of a long document is taken in pieces: an edit in any of
// them, or one that moves every byte after it, is an unsaved edit.
TEST_F(WorkingCopyTest, AnEditAnywhereInALongDocumentIsAnUnsavedEdit)
{
    SetupModel model;
    model.groups.Append({"East"});
    for (int s = 0; s < 4000; ++s) {
        const std::string n = std::to_string(s);
        model.servers.Append({"East", "Server " + n, "line " + n, "10.0.0.1", "7000"});
    }
    WorkingCopy saving(folder.path());
    saving.Save(model);
    EXPECT_FALSE(saving.IsModified(model));

    WorkingCopy copy(folder.path());
    SetupModel loaded;
    copy.Load(loaded);
    EXPECT_FALSE(copy.IsModified(loaded));
    for (const std::size_t row : {std::size_t{0}, std::size_t{2000}, std::size_t{3999}}) {
        for (const std::string& name : {std::string("Server x"), std::string("Server longer than before")}) {
            SCOPED_TRACE(std::to_string(row) + " " + name);
            const std::string before = loaded.servers.At(row).ShowName;
            loaded.servers.At(row).ShowName = name;
            EXPECT_TRUE(copy.IsModified(loaded));
            loaded.servers.At(row).ShowName = before;
            EXPECT_FALSE(copy.IsModified(loaded));
        }
    }
    loaded.servers.At(2000).Port = "7001";
    copy.Save(loaded);
    EXPECT_FALSE(copy.IsModified(loaded));
}

// What the operator learns of a damaged file: which file, which line, and
// what could not be read there; the model holds what stood before it.
TEST_F(WorkingCopyTest, ADamagedFileNamesItselfTheLineAndWhatCouldNotBeRead)
{
    const std::string sample = kSample;
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = sample;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string parsers; // libxml2's words differ between releases
    struct Row {
        const char* name;
        std::string bytes;
        long line;
        std::string reason;
        std::size_t groups, servers;
        std::string home;
    };
    const Row rows[] = {
        {"cut inside a server", sample.substr(0, sample.find("      </Server>")), 7, parsers, 1, 0, ""},
        {"a mismatched end tag", replaced("</Group>", "</Grop>"), 8, parsers, 1, 1, ""},
        {"bytes that are not GBK", replaced("home.example", "home\xFF"), 11,
         "The document holds bytes that are not GBK text", 1, 1, ""},
        {"cut inside a Chinese character", replaced("home.example", "\xD6\xD0").substr(0, sample.find("home.example") + 1),
         11, "The document holds bytes that are not GBK text", 1, 1, ""},
        {"an address that is whole before the cut", sample.substr(0, sample.find("  </Url>")), 12, parsers, 1, 1,
         "http://home.example/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReplaceFile(File(), row.bytes);
        WorkingCopy copy(folder.path());
        SetupModel model;
        const SetupModel initial;
        try {
            copy.Load(model);
            ADD_FAILURE() << "loaded whole";
        } catch (const Error& error) {
            EXPECT_EQ(error.Kind(), ErrorKind::Damaged);
            const std::string text = English(error);
            EXPECT_EQ(text.rfind(PathText(fs::absolute(File()).lexically_normal()) + ": " + row.reason, 0), 0u) << text;
            EXPECT_NE(text.find("\r\nLine: " + std::to_string(row.line) + "\r\n"), std::string::npos) << text;
        }
        EXPECT_FALSE(copy.LoadedWhole());
        EXPECT_EQ(model.groups.Count(), row.groups);
        EXPECT_EQ(model.servers.Count(), row.servers);
        EXPECT_EQ(model.web.HomeUrl, row.home.empty() ? initial.web.HomeUrl : row.home);
    }
}

// A read-only Tarnwick.xml (no write permission; on Windows the read-only
// attribute) opens, but no save replaces it, not even after a load that did
// not load whole, and root is refused alike.
TEST_F(WorkingCopyTest, AReadOnlyFileIsReadButNeverSavedOver)
{
    for (const std::string& bytes : {std::string(kSample), std::string(kSample).substr(0, 200)}) {
        SCOPED_TRACE(bytes.size());
        ReplaceFile(File(), bytes);
        fs::permissions(File(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        WorkingCopy copy(folder.path());
        ASSERT_FALSE(copy.Lock("tarnwick", 0ms));
        EXPECT_TRUE(copy.Locked());
        SetupModel model;
        try {
            copy.Load(model);
        } catch (const Error&) {
        }
        EXPECT_EQ(model.groups.Count(), 1u);
        EXPECT_EQ(copy.ReadOnly(), ReadOnlyPlace::File);
        ASSERT_EQ(SetupEditor(model).AddGroup("New"), Outcome::Done);
        const auto before = folder.Contents();
        try {
            copy.Save(model);
            ADD_FAILURE() << "saved over a read-only file";
        } catch (const Error& error) {
            EXPECT_EQ(error.Kind(), ErrorKind::NoPermission);
            EXPECT_NE(error.Text().Chinese().find(Utf8ToGbk("是只读文件")), std::string::npos) << error.what();
        }
        EXPECT_EQ(folder.Contents(), before);
        fs::permissions(File(), fs::perms::owner_write, fs::perm_options::add);
    }
}

#ifndef _WIN32
// A folder where no file can be created opens for viewing: no lock, no save,
// no ServerInfo.txt, and nothing written at all.
TEST_F(WorkingCopyTest, AReadOnlyFolderIsReadButNothingIsWrittenThere)
{
    ReplaceFile(File(), kSample);
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const testing::PermissionChecks checked;
    const auto before = folder.Contents();
    WorkingCopy copy(folder.path());
    EXPECT_FALSE(copy.Lock("tarnwick", 0ms));
    EXPECT_FALSE(copy.Locked());
    EXPECT_EQ(copy.ReadOnly(), ReadOnlyPlace::Folder);
    SetupModel model;
    copy.Load(model);
    EXPECT_TRUE(copy.Found());
    EXPECT_EQ(model.groups.Count(), 1u);
    ASSERT_EQ(SetupEditor(model).AddGroup("New"), Outcome::Done);
    EXPECT_THROW(copy.Save(model), Error);
    EXPECT_THROW(copy.WriteServerInfo(model), Error);
    EXPECT_EQ(folder.Contents(), before);
}
#endif

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
