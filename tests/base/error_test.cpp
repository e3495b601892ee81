#include "base/error.h"
#include "base/text.h"
#include "english_text.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarnwick;
using tarnwick::testing::English;

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
        // The file errors built from the number carry its kind; in English
        // they keep the system's words, in Chinese they say the reason in ours.
        const Error error = CannotReadFile("a.txt", row.errorNumber);
        EXPECT_EQ(error.Kind(), row.kind);
        EXPECT_EQ(English(error), "Cannot read file \"a.txt\". " + SystemErrorText(row.errorNumber));
        EXPECT_EQ(std::string(error.what()).rfind(Utf8ToGbk("无法读取文件“a.txt”。"), 0), 0u);
    }
    EXPECT_EQ(Error("plain").Kind(), ErrorKind::Failed);
}

TEST(ErrorKinds, ChineseReasonsAreTheOperatorsWordsWhereTheyAreKnown)
{
    EXPECT_STREQ(CannotOpenFile("a", ENOENT).what(), Utf8ToGbk("无法打开文件“a”。文件或文件夹不存在").c_str());
    EXPECT_STREQ(CannotCreateFile("a", EACCES).what(), Utf8ToGbk("无法创建文件“a”。没有权限").c_str());
    EXPECT_STREQ(CannotCreateFile("a", ENOSPC).what(), Utf8ToGbk("无法创建文件“a”。磁盘空间不足").c_str());
    EXPECT_STREQ(StreamWriteError(EFBIG).what(), Utf8ToGbk("写入数据流出错：文件太大").c_str());
    // An error number without words of ours keeps the system's description.
    EXPECT_STREQ(CannotReadFile("a", EXDEV).what(), (Utf8ToGbk("无法读取文件“a”。") + SystemErrorText(EXDEV)).c_str());
    // A reason given as text is said by its kind, in English as the system said it.
    const Error held = CannotOpenFile("a", "Sharing violation", ErrorKind::InUse);
    EXPECT_STREQ(held.what(), Utf8ToGbk("无法打开文件“a”。文件正被另一个程序使用").c_str());
    EXPECT_EQ(English(held), "Cannot open file \"a\". Sharing violation");
}

TEST(Messages, PlaceParametersOnceAndTranslateEveryPart)
{
    // A stand-in language that marks what it translated.
    const auto mark = [](const char* source) { return "<" + Utf8ToGbk(source) + ">"; };
    Message inner("%1!");
    inner.Arg("x");
    Message message("%2 %1 %3 %4 %% %9 %");
    message.Arg("%2").Phrase("p").Inner(inner).Reason("system words", "ours");
    // A parameter's own % is never taken for a place, a place without a
    // parameter stays as written, the nested message is written in the same
    // language, and the system's words show only where the wording has them.
    EXPECT_EQ(message.Compose(Wording{mark, false}), "<<p> %2 <x!> <ours> % %9 %>");
    EXPECT_EQ(message.Compose(Wording{mark, true}), "<<p> %2 <x!> system words % %9 %>");
    EXPECT_EQ(message.Chinese(), "p %2 x! ours % %9 %");
    // A plain text reads the same in every wording, and so does a reason
    // that has no words of ours.
    EXPECT_EQ(Message::Untranslated("as is %1").Compose(Wording{mark, false}), "as is %1");
    EXPECT_EQ(Message("%1").Reason("system", nullptr).Compose(Wording{mark, false}), "<system>");
    EXPECT_STREQ(Error("plain %1").what(), "plain %1");
}
