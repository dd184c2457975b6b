#include "skills/date_phrase.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

// Wednesday, 20 May 2026, 13:14.
const LocalTime now{2026, 5, 20, 3, 13, 14, 5, "PDT", -7 * 3600};

std::optional<WallClockTime> read(const std::string& phrase) { return readDatePhrase(phrase, now); }

TEST(DatePhrase, DaysAndTimesInEitherOrder)
{
    struct Case {
        std::string phrase;
        WallClockTime at;
    };
    const std::vector<Case> cases{
        {"tomorrow 3pm", {2026, 5, 21, 15, 0}},
        {"3:30 PM tomorrow", {2026, 5, 21, 15, 30}},
        {"Tomorrow at 9", {2026, 5, 21, 9, 0}},
        {"tomorrow at 3", {2026, 5, 21, 15, 0}},
        {"tomorrow in the morning", {2026, 5, 21, 9, 0}},
        {"today at 17:45", {2026, 5, 20, 17, 45}},
        {"tonight", {2026, 5, 20, 20, 0}},
        {"tonight at 8", {2026, 5, 20, 20, 0}},
        {"friday", {2026, 5, 22, 9, 0}},
        {"wednesday 6 pm", {2026, 5, 20, 18, 0}},
        {"next wednesday at noon", {2026, 5, 27, 12, 0}},
        {"on Mon, at midnight", {2026, 5, 25, 0, 0}},
        {"12am tomorrow", {2026, 5, 21, 0, 0}},
        {"2026-12-24 18:00", {2026, 12, 24, 18, 0}},
        {"12/24", {2026, 12, 24, 9, 0}},
        {"december 24th at 7pm", {2026, 12, 24, 19, 0}},
        {"3 jan", {2027, 1, 3, 9, 0}}, // gone this year: next year's
        {"29 february 2028 evening", {2028, 2, 29, 18, 0}},
    };
    for (const auto& c : cases) {
        const auto at = read(c.phrase);
        ASSERT_TRUE(at) << c.phrase;
        EXPECT_EQ(*at, c.at) << c.phrase;
    }
}

TEST(DatePhrase, ATimeAloneIsItsNextOccurrenceAndOffsetsCountFromNow)
{
    EXPECT_EQ(read("3pm"), (WallClockTime{2026, 5, 20, 15, 0}));
    EXPECT_EQ(read("9am"), (WallClockTime{2026, 5, 21, 9, 0})); // already past today
    EXPECT_EQ(read("13:14"), (WallClockTime{2026, 5, 21, 13, 14}));
    EXPECT_EQ(read("now"), (WallClockTime{2026, 5, 20, 13, 14}));
    EXPECT_EQ(read("in 2 hours"), (WallClockTime{2026, 5, 20, 15, 14}));
    EXPECT_EQ(read("in an hour"), (WallClockTime{2026, 5, 20, 14, 14}));
    EXPECT_EQ(read("in half an hour"), (WallClockTime{2026, 5, 20, 13, 44}));
    EXPECT_EQ(read("in eleven hours"), (WallClockTime{2026, 5, 21, 0, 14}));
    EXPECT_EQ(read("in 3 weeks"), (WallClockTime{2026, 6, 10, 13, 14}));
}

TEST(DatePhrase, AnythingItCannotPlaceIsRefusedRatherThanGuessed)
{
    for (const std::string phrase :
         {"", "  ", "someday", "tomorrow-ish", "tomorrow today", "3pm 4pm", "at 13", "13pm", "25:00", "10:7",
          "february 30", "2026-02-29", "in 2 fortnights", "in -2 hours", "in 2 hours tomorrow", "next", "\"); drop",
          "tomorrow 3pm\n; rm -rf ~", "9"})
        EXPECT_EQ(read(phrase), std::nullopt) << phrase;
}

} // namespace
} // namespace twk
