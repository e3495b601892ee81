#include "base/error.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarnwick;

TEST(ErrorKinds, FollowTheErrorNumber)
{
    struct Row {
        int errorNumber;
        ErrorKind kind;
    };
    const Row rows[] = {
        {EBUSY, ErrorKind::InUse},         {EAGAIN, ErrorKind::InUse},
#ifdef ETXTBSY
        {ETXTBSY, ErrorKind::InUse},
#endif
        {ENOSPC, ErrorKind::NoRoom},       {EFBIG, ErrorKind::NoRoom},
#ifdef EDQUOT
        {EDQUOT, ErrorKind::NoRoom},
#endif
        {EACCES, ErrorKind::NoPermission}, {EPERM, ErrorKind::NoPermission},
        {EROFS, ErrorKind::NoPermission},  {ENOENT, ErrorKind::NotFound},
        {ENOTDIR, ErrorKind::NotFound},    {EISDIR, ErrorKind::Failed},
        {EIO, ErrorKind::Failed},          {EEXIST, ErrorKind::Failed},
        {0, ErrorKind::Failed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(SystemErrorText(row.errorNumber));
        EXPECT_EQ(KindOfErrno(row.errorNumber), row.kind);
        // The file errors built from the number carry its kind and keep their text.
        const Error error = CannotReadFile("a.txt", row.errorNumber);
        EXPECT_EQ(error.Kind(), row.kind);
        EXPECT_EQ(std::string(error.what()), "Cannot read file \"a.txt\". " + SystemErrorText(row.errorNumber));
    }
    EXPECT_EQ(Error("plain").Kind(), ErrorKind::Failed);
}
