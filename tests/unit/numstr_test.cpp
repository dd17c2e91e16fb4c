// Number and text conversions: the rules every log line and every typed period goes through.
// IntToHex is read through the run-time error report; the 1-based string primitives have no caller.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "support/numstr.h"

namespace {

TEST(StrToNumber, IntegerIndexAndRealRules) {
    const struct {
        const char* text;
        int32_t integer, index;
        double real;
    } cases[] = {
        {"12abc", 12, 12, 12.0},  // integers stop at the first non-digit, reals skip it
        {" 7", 0, -1, 7.0},
        {"+-3", 0, -1, 3.0},                                 // one sign position
        {"2147483648", INT32_MIN, INT32_MIN, 2147483648.0},  // wraps
        {"", 0, -1, 0.0},
        {"0x", 0, 0, 0.0},
        {"-0", 0, -1, -0.0},
        {"1,5", 1, 1, 15.0},
        {"1.2.3", 1, 1, 1.2},
        {"1e-3", 1, 1, 0.001},
        {"5E2x", 5, 5, 500.0},
        {".25", 0, -1, 0.25},
        {"1 000", 1, 1, 1000.0},
        {"1e999999", 1, 1, HUGE_VAL},  // saturates instead of trapping
        {"-1e400", -1, -1, -HUGE_VAL},
        {"1e-999999", 1, 1, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToInt(c.text), c.integer) << '"' << c.text << '"';
        EXPECT_EQ(StrToIndex(c.text), c.index) << '"' << c.text << '"';
        EXPECT_DOUBLE_EQ(StrToReal(c.text), c.real) << '"' << c.text << '"';
    }
    EXPECT_EQ(StrToReal(std::string(6000, '9')), HUGE_VAL);
}

TEST(RealToStr, FifteenDigitsNoExponent) {
    const struct {
        std::string text;
        double value;
    } cases[] = {
        {"0", -0.0},
        {"0.666666666666667", 2.0 / 3.0},
        {"123456789012346000", 123456789012345678.0},
        // The rule rounds once at fourteen digits before it settles on fifteen, so a run of nines
        // that rounds up there carries into the next power of ten.
        {"1000000000000000", 999999999999999.0},
        {"INF", std::numeric_limits<double>::infinity()},
        {"NAN", std::numeric_limits<double>::quiet_NaN()},
        // Found by fuzzing: fifteen digits of the largest double round above the double range.
        {"-179769313486232" + std::string(294, '0'), -DBL_MAX},
        {"0." + std::string(323, '0') + "494065645841247", DBL_TRUE_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RealToStr(c.value), c.text) << c.value;
}

TEST(RealToStr, UsesExtendedPrecisionForTheScaling) {
    // k / 1000 is not exact in double; fifteen digits must hide that, and they do only when no
    // rounding error of the scaling loop creeps into the sixteenth digit.
    for (int k = 1; k < 1000; ++k) {
        std::string expect = std::to_string(k);
        expect = "0." + std::string(3 - expect.size(), '0') + expect;
        while (expect.back() == '0')
            expect.pop_back();
        ASSERT_EQ(RealToStr(k / 1000.0), expect) << k;
    }
}

TEST(RoundToInt32, HalvesGoToEvenAndTheLow32BitsAreKept) {
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(4294967296.0 + 5), 5);
    EXPECT_EQ(RoundToInt32(1e30), 0);
}

}  // namespace
