#include "player_launcher/core/update_resume.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

const std::string kUrl = "http://127.0.0.1:8080/patch.dat";

PartialDownload Partial(std::string etag, std::string lastModified, std::optional<std::uint64_t> length = 1000)
{
    return {kUrl, {std::move(etag), std::move(lastModified), length}};
}

TEST(UpdateResume, TheRecordBesideAPartialFileReadsBackAndNothingElseDoes)
{
    const PartialDownload partial = Partial("\"5f-abc\"", "Mon, 07 Dec 2026 10:00:00 GMT", 123456789012);
    EXPECT_EQ(ParsePartialDownload(PartialDownloadText(partial)), partial);
    const PartialDownload noLength = Partial("", "x", std::nullopt);
    EXPECT_EQ(ParsePartialDownload(PartialDownloadText(noLength)), noLength);
    const std::string text = PartialDownloadText(partial);
    for (const std::string& other : {std::string(), text.substr(0, 20), std::string("{\"format\":\"other\"}"),
                                     std::string(R"({"format":"Tarnwick partial download","url":"a","etag":"",)"
                                                 R"("lastModified":"","length":-5})")})
        EXPECT_EQ(ParsePartialDownload(other), std::nullopt);
}

TEST(UpdateResume, OnlyTheSameAddressWithAValidatorAndALengthIsContinued)
{
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", "date"), kUrl, 400), std::optional<std::string>("\"v1\""));
    EXPECT_EQ(ResumeCondition(Partial("W/\"v1\"", "date"), kUrl, 400), std::optional<std::string>("date"));
    EXPECT_EQ(ResumeCondition(Partial("W/\"v1\"", ""), kUrl, 400), std::nullopt);
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", "", std::nullopt), kUrl, 400), std::nullopt);
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", ""), kUrl + "?2", 400), std::nullopt);
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", ""), kUrl, 0), std::nullopt);
    // Whole but not taken yet: the fetcher asks for its last byte again.
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", ""), kUrl, 1000), std::optional<std::string>("\"v1\""));
    EXPECT_EQ(ResumeCondition(Partial("\"v1\"", ""), kUrl, 1001), std::nullopt);
}

TEST(UpdateResume, ContentRangeIsReadStrictly)
{
    const auto range = ParseContentRange("bytes 400-999/1000");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, 400u);
    EXPECT_EQ(range->last, 999u);
    EXPECT_EQ(range->complete, 1000u);
    for (const char* bad : {"bytes 400-999/*", "bytes */1000", "bytes 999-400/1000", "bytes 400-1000/1000",
                            "items 400-999/1000", "bytes 400-999", "bytes -1-999/1000", "bytes 400-999/1000x"})
        EXPECT_EQ(ParseContentRange(bad), std::nullopt) << bad;
}

TEST(UpdateResume, ARangeAnswerContinuesOnlyTheSameFileFromWhereItStopped)
{
    const PartialDownload partial = Partial("\"v1\"", "date");
    const BodyValidators same{"\"v1\"", "date", 600};
    const ContentRange rest{400, 999, 1000};
    EXPECT_EQ(JudgeRangeAnswer(206, rest, 400, partial, same), RangeAnswer::Continue);
    EXPECT_EQ(JudgeRangeAnswer(200, std::nullopt, 400, partial, same), RangeAnswer::Restart);
    // Another version of the file, a range that starts elsewhere or stops
    // early, another length, a missing range: none may be appended.
    EXPECT_EQ(JudgeRangeAnswer(206, rest, 400, partial, {"\"v2\"", "date", 600}), RangeAnswer::Refused);
    EXPECT_EQ(JudgeRangeAnswer(206, ContentRange{300, 999, 1000}, 400, partial, same), RangeAnswer::Refused);
    EXPECT_EQ(JudgeRangeAnswer(206, ContentRange{400, 998, 1000}, 400, partial, same), RangeAnswer::Refused);
    EXPECT_EQ(JudgeRangeAnswer(206, ContentRange{400, 1099, 1100}, 400, partial, same), RangeAnswer::Refused);
    EXPECT_EQ(JudgeRangeAnswer(206, std::nullopt, 400, partial, same), RangeAnswer::Refused);
    EXPECT_EQ(JudgeRangeAnswer(416, std::nullopt, 400, partial, same), RangeAnswer::Refused);
    // Without a strong ETag, Last-Modified tells.
    const PartialDownload dated = Partial("", "Mon, 07 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(JudgeRangeAnswer(206, rest, 400, dated, {"", "Mon, 07 Dec 2026 10:00:00 GMT", 600}),
              RangeAnswer::Continue);
    EXPECT_EQ(JudgeRangeAnswer(206, rest, 400, dated, {"", "Tue, 08 Dec 2026 10:00:00 GMT", 600}),
              RangeAnswer::Refused);
}

} // namespace
} // namespace tarnwick::player
