// Time formatter: the template letters, and the platform clock behind its seam. The scheme's own
// stamps (every letter, padded below 10) are read in the scheme test.
#include <gtest/gtest.h>

#include "components/kvtime.h"
#include "support/localtime.h"

namespace {

// Saturday, 5 December 2026, 21:59:10.
TLocalTime FixedClock() {
    return TLocalTime{2026, 12, 6, 5, 21, 59, 10, 345};
}

TEST(TimeFormatter, EveryOccurrenceIsReplacedAndOtherCharactersStay) {
    EnableLinks();
    LocalTimeSource = FixedClock;
    TKVTime time;
    // Capital M month, small m minute; digits of a value are never read as letters.
    time.Format = "hh MmM s yxSdHw Y1";
    TData d = IntData(42);  // a getter overwrites what the record held
    Pull(MakeEvent<&TKVTime::getTime>(&time, 0), d);
    EXPECT_EQ(DataType(d), kTypeString);
    EXPECT_EQ(d.Str, "2121 125912 10 yxSdHw 20261");
    LocalTimeSource = nullptr;
    DisableLinks();
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
