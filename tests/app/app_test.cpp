#include "app/start_options.h"
#include "app/working_folder.h"
#include "base/error.h"
#include "temporary_folder.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

using namespace tarnwick;
using tarnwick::testing::English;
namespace fs = std::filesystem;

namespace {

StartOptions Parse(std::vector<std::string> arguments) { return ParseStartOptions(arguments); }

TEST(StartOptions, ChoosesTheFolderToWorkIn)
{
    EXPECT_EQ(Parse({}).action, StartOptions::Action::Run);
    EXPECT_FALSE(Parse({}).folder);
    EXPECT_EQ(Parse({"servers"}).folder, fs::path("servers"));
    EXPECT_TRUE(Parse({"--own-folder"}).ownFolder);
    // A folder whose name starts with a dash, after "--".
    EXPECT_EQ(Parse({"--", "-old"}).folder, fs::path("-old"));
}

TEST(StartOptions, HelpAndVersionWinWhereverTheyStand)
{
    EXPECT_EQ(Parse({"a", "b", "--version"}).action, StartOptions::Action::Version);
    EXPECT_EQ(Parse({"--bogus", "-h"}).action, StartOptions::Action::Help);
}

TEST(StartOptions, RefusesWhatItCannotHonour)
{
    for (const auto& [arguments, problem] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--bogus"}, "unknown option '--bogus'"},
             {{"a", "b"}, "more than one folder given ('a', 'b')"},
             {{""}, "the folder name is empty"},
             {{"--own-folder", "a"}, "--own-folder and a folder exclude each other"},
             {{"--language", "fr"}, "unknown language 'fr' (zh_CN or en)"},
             {{"--language=zh"}, "unknown language 'zh' (zh_CN or en)"},
             {{"a", "--language"}, "--language needs zh_CN or en"},
         }) {
        const auto options = Parse(arguments);
        EXPECT_EQ(options.action, StartOptions::Action::Refuse) << problem;
        EXPECT_EQ(English(options.problem), problem);
    }
}

TEST(StartOptions, TakesTheLanguageInBothSpellings)
{
    EXPECT_FALSE(Parse({"a"}).language);
    EXPECT_EQ(Parse({"--language", "en", "a"}).language, Language::English);
    EXPECT_EQ(Parse({"--language=zh_CN"}).language, Language::Chinese);
    // The name after --language is no folder.
    EXPECT_FALSE(Parse({"--language", "en"}).folder);
}

TEST(Language, EnglishOnlyForEnglishLocales)
{
    for (const char* name : {"en", "en_US.UTF-8", "en_GB", "en-US", "en@quot", "en_IE.UTF-8@euro"})
        EXPECT_EQ(LanguageOfLocale(name), Language::English) << name;
    // No language named (C, POSIX, nothing) keeps the Chinese interface, as do
    // the other languages and names that merely start like English.
    for (const char* name : {"", "C", "C.UTF-8", "POSIX", "zh_CN.UTF-8", "zh-TW", "de_DE", "eng", "english"})
        EXPECT_EQ(LanguageOfLocale(name), Language::Chinese) << name;
}

#ifndef _WIN32
TEST(Language, FollowsTheVariablesInTheCLibrarysOrder)
{
    struct Saved {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        ::unsetenv(name);
    }
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(ChooseLanguage(std::nullopt), Language::English);
    ::setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    EXPECT_EQ(ChooseLanguage(std::nullopt), Language::Chinese);
    ::setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(ChooseLanguage(std::nullopt), Language::English);
    EXPECT_EQ(ChooseLanguage(Language::Chinese), Language::Chinese);
    for (const Saved& variable : saved) {
        if (variable.value)
            ::setenv(variable.name.c_str(), variable.value->c_str(), 1);
        else
            ::unsetenv(variable.name.c_str());
    }
}
#endif

// The XDG folders belong to Unix desktops, whose absolute paths need no drive.
#ifndef _WIN32
TEST(OwnFolder, FollowsTheXdgRules)
{
    EXPECT_EQ(OwnFolder("/data", "/home/op"), fs::path("/data/tarnwick"));
    // Unset, empty or relative XDG_DATA_HOME falls back to the default under HOME.
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/data"})
        EXPECT_EQ(OwnFolder(xdg, "/home/op"), fs::path("/home/op/.local/share/tarnwick"));
    EXPECT_THROW(OwnFolder(nullptr, nullptr), Error);
    EXPECT_THROW(OwnFolder("", "relative"), Error);
}
#endif

// Each test changes the current directory; the fixture puts it back.
class EnteringAFolder : public ::testing::Test {
protected:
    ~EnteringAFolder() override { fs::current_path(before_); }
    tarnwick::testing::TemporaryFolder temp_;

private:
    fs::path before_ = fs::current_path();
};

TEST_F(EnteringAFolder, CreatesTheOwnFolderPrivately)
{
    const fs::path own = temp_.path() / "data/tarnwick";
    EnterFolder(own, true);
    EXPECT_TRUE(fs::equivalent(fs::current_path(), own));
#ifndef _WIN32
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
#endif
    // The second start finds it there.
    EnterFolder(own, true);
}

TEST_F(EnteringAFolder, RefusesAMissingFolderAndAFile)
{
    const fs::path missing = temp_.path() / "missing";
    try {
        EnterFolder(missing, false);
        FAIL() << "entered a missing folder";
    } catch (const Error& error) {
        const std::string prefix = "Cannot work in folder \"" + missing.string() + "\". ";
        EXPECT_EQ(English(error).substr(0, prefix.size()), prefix);
#ifndef _WIN32
        EXPECT_EQ(English(error).substr(prefix.size()), "No such file or directory");
#endif
    }
    EXPECT_FALSE(fs::exists(missing));
    std::ofstream(temp_.path() / "file") << "x";
    EXPECT_THROW(EnterFolder(temp_.path() / "file", true), Error);
    EXPECT_THROW(EnterFolder(temp_.path() / "file/below", true), Error);
}

} // namespace
