// Time formatter: the template letters, padding, and the platform clock behind its seam.
#include <gtest/gtest.h>

#include <string>

#include "components/kvtime.h"
#include "support/localtime.h"

namespace {

TLocalTime gClock;
TLocalTime FixedClock() {
    return gClock;
}

// Saturday, 5 December 2026, 21:59:07.
constexpr TLocalTime kSaturdayEvening{2026, 12, 6, 5, 21, 59, 7, 345};

class TimeFormatter : public ::testing::Test {
protected:
    void SetUp() override {
        EnableLinks();
        LocalTimeSource = FixedClock;
    }
    void TearDown() override {
        LocalTimeSource = nullptr;
        DisableLinks();
    }
};

TEST_F(TimeFormatter, TemplateLetters) {
    TLocalTime nineSeconds = kSaturdayEvening;
    nineSeconds.Second = 9;
    TLocalTime tenSeconds = kSaturdayEvening;
    tenSeconds.Second = 10;
    const struct {
        const char* format;
        TLocalTime time;
        const char* text;
    } cases[] = {
        {"D W:M:Y  h:m:s", kSaturdayEvening, "05 06:12:2026  21:59:07"},
        {"hh", kSaturdayEvening, "2121"},        // every occurrence
        {"s", nineSeconds, "09"},                // padded below 10
        {"s", tenSeconds, "10"},                 // not above
        {"MmM", kSaturdayEvening, "125912"},     // capital M month, small m minute
        {"yxSdHw", kSaturdayEvening, "yxSdHw"},  // letters outside the set stay
        {"Y1", kSaturdayEvening, "20261"},       // digits of a value are never read as letters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        gClock = c.time;
        TKVTime time;
        time.Format = c.format;
        TData d = IntData(42);  // a getter overwrites what the record held
        Pull(MakeEvent<&TKVTime::getTime>(&time, 0), d);
        EXPECT_EQ(DataType(d), kTypeString);
        EXPECT_EQ(d.Str, c.text);
        EXPECT_EQ(time.Format, c.format);  // the template is not worked on in place
    }
}

// Sakamoto's day of the week, 0 = Sunday, as a reference for the platform clock.
int DayOfWeek(int y, int m, int d) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + offsets[m - 1] + d) % 7;
}

TEST(LocalTimeSeam, PlatformClockFieldsAreInRangeAndAgree) {
    const TLocalTime t = SystemLocalTime();
    EXPECT_GE(t.Year, 2024);
    ASSERT_GE(t.Month, 1);
    ASSERT_LE(t.Month, 12);
    EXPECT_EQ(t.DayOfWeek, DayOfWeek(t.Year, t.Month, t.Day));
    EXPECT_LE(t.Milliseconds, 999);
}

}  // namespace
