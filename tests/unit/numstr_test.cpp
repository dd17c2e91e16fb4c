// Number and text conversions: the rules every log line and every typed period goes through.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "support/numstr.h"

namespace {

struct IntCase {
    const char* text;
    int32_t value;
};

TEST(StrToInt, ReadsSignAndLeadingDigitsOnly) {
    const IntCase cases[] = {
        {"12abc", 12},
        {" 7", 0},
        {"+7", 7},
        {"+-3", 0},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MIN},
        {"4294967297", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(StrToIndex, EmptyAndNonNumericTextsAreNoIndex) {
    const IntCase cases[] = {
        {"", -1}, {"abc", -1}, {"0x", 0}, {"-0", -1}, {"-3", -3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToIndex(c.text), c.value) << '"' << c.text << '"';
}

struct RealCase {
    const char* text;
    double value;
};

TEST(StrToReal, ScansLikeTheProgramDoes) {
    const RealCase cases[] = {
        {"1,5", 15.0},   {"1.2.3", 1.2},  {"3-", 3.0}, {"-2.5", -2.5}, {"abc", 0.0},
        {"1e-3", 0.001}, {"5E2x", 500.0}, {"7e", 7.0}, {".25", 0.25},  {"1 000", 1000.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(StrToReal(c.text), c.value) << '"' << c.text << '"';
}

TEST(StrToReal, HugeTextsSaturateInsteadOfTrapping) {
    EXPECT_EQ(StrToReal("1e999999"), HUGE_VAL);
    EXPECT_EQ(StrToReal("-1e400"), -HUGE_VAL);
    EXPECT_EQ(StrToReal("1e-999999"), 0.0);
    EXPECT_EQ(StrToReal(std::string(6000, '9')), HUGE_VAL);
}

TEST(RealToStr, FifteenDigitsNoExponent) {
    const RealCase cases[] = {
        {"0", -0.0},
        {"-2.5", -2.5},
        {"0.666666666666667", 2.0 / 3.0},
        {"123456789012346000", 123456789012345678.0},
        {"0.00000000000000000001", 1e-20},
        // The rule rounds once at fourteen digits before it settles on fifteen, so a run of nines
        // that rounds up there carries into the next power of ten.
        {"1000000000000000", 999999999999999.0},
        {"1", 0.999999999999999},
        {"0.3", 0.1 + 0.2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RealToStr(c.value), c.text) << c.value;
}

TEST(RealToStr, UsesExtendedPrecisionForTheScaling) {
    // 0.1 + 0.2 is 0.30000000000000004 in double; fifteen digits must hide that, and they do only
    // when no rounding error of the scaling loop creeps into the sixteenth digit.
    for (int k = 1; k < 1000; ++k) {
        const double x = k / 1000.0;
        std::string expect = std::to_string(k);
        expect.insert(0, 3 - std::min<size_t>(3, expect.size()), '0');
        expect = "0." + expect;
        while (expect.back() == '0')
            expect.pop_back();
        if (expect.back() == '.') expect.pop_back();
        ASSERT_EQ(RealToStr(x), expect) << k;
    }
}

TEST(RealToStr, NonFiniteValuesEndTheLoop) {
    EXPECT_EQ(RealToStr(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(RealToStr(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(RealToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
    // Found by fuzzing: fifteen digits of the largest double round above the double range.
    EXPECT_EQ(RealToStr(-DBL_MAX), "-179769313486232" + std::string(294, '0'));
    EXPECT_EQ(RealToStr(DBL_TRUE_MIN).substr(0, 7), "0.00000");
}

TEST(RoundToInt32, HalvesGoToEven) {
    const struct {
        double value;
        int32_t rounded;
    } cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {4294967296.0 + 5, 5}, {1e30, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundToInt32(c.value), c.rounded) << c.value;
}

TEST(IntToHex, PadsAndCuts) {
    EXPECT_EQ(IntToHex(0xDEADBEEF, 8), "DEADBEEF");
    EXPECT_EQ(IntToHex(0xABCDEF, 4), "CDEF");
    EXPECT_EQ(IntToHex(0xF, 10), "000000000F");
    EXPECT_EQ(IntToHex(5, 0), "");
}

}  // namespace
