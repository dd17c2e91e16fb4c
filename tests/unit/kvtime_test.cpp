// Time formatter: the template letters, and the platform clock behind its seam. The scheme's own
// stamps (every letter, padded below 10) are read in the scheme test.
#include <gtest/gtest.h>

#include <chrono>

#include "components/kvtime.h"
#include "support/localtime.h"

namespace {

// Saturday, 5 December 2026, 21:59:10. Capital M is the month, small m the minute; the digits of a
// value are never read as letters. The getter with the scheme's template is read in the scheme test.
TEST(TimeFormatter, EveryOccurrenceIsReplacedAndOtherCharactersStay) {
    EXPECT_EQ(FormatTime("hh MmM s yxSdHw Y1", TLocalTime{2026, 12, 6, 5, 21, 59, 10, 345}),
              "2121 125912 10 yxSdHw 20261");
}

// A month, day or weekday taken from the wrong field shows as a weekday that does not fit the date.
TEST(LocalTimeSeam, PlatformClockFieldsAreInRangeAndAgree) {
    const TLocalTime t = SystemLocalTime();
    EXPECT_GE(t.Year, 2024);
    using namespace std::chrono;
    EXPECT_EQ(t.DayOfWeek, weekday(sys_days(year(t.Year) / t.Month / t.Day)).c_encoding());  // 0 = Sunday
    EXPECT_LE(t.Milliseconds, 999);
}

}  // namespace
