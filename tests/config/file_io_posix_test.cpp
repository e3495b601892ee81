// File behaviour that only POSIX systems have.
#include "base/error.h"
#include "base/file_io.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;

TEST(FileIoPosix, ReplaceInAReadOnlyFolderFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    tarnwick::testing::TemporaryFolder folder;
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_THROW(ReplaceFile(folder.path() / "b.txt", "x"), Error);
    EXPECT_EQ(folder.EntryCount(), 0u);
}
