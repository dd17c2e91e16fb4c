// 1-based string primitives: positions and clamping.
#include <gtest/gtest.h>

#include <climits>

#include "support/cp1251.h"
#include "support/strings.h"

namespace {

TEST(Copy, TakesThePartInsideTheText) {
    const struct {
        int start, count;
        const char* part;
    } cases[] = {{1, 3, "abc"},         {2, 2, "bc"}, {4, 10, "def"}, {6, 1, "f"}, {7, 1, ""},
                 {0, 2, "a"},           {-5, 7, "a"}, {3, 0, ""},     {3, -1, ""}, {1, INT_MAX, "abcdef"},
                 {INT_MAX, INT_MAX, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(Copy("abcdef", c.start, c.count), c.part) << c.start << ',' << c.count;
}

TEST(Delete, ClampsToTheText) {
    const struct {
        int start, count;
        const char* rest;
    } cases[] = {{1, 1, "bcdef"},  {2, 3, "aef"},    {5, 100, "abcd"}, {0, 2, "abcdef"},
                 {3, 0, "abcdef"}, {7, 1, "abcdef"}, {6, 1, "abcde"},  {1, INT_MAX, ""}};
    for (const auto& c : cases) {
        std::string s = "abcdef";
        Delete(s, c.start, c.count);
        EXPECT_EQ(s, c.rest) << c.start << ',' << c.count;
    }
}

TEST(Pos, FindsTheFirstOccurrence) {
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("b", "abcb"), 2);
    EXPECT_EQ(Pos("abc", "abc"), 1);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("abcd", "abc"), 0);
}

TEST(Cp1251, ConvertsLiteralsAtCompileTime) {
    static constexpr auto kHost = Cp1251("Имя узла:");
    static_assert(kHost.size == 9);
    static_assert(kHost.view()[0] == '\xC8');  // И
    EXPECT_EQ(kHost.str(), "\xC8\xEC\xFF \xF3\xE7\xEB\xE0:");
    EXPECT_EQ(Cp1251("Ёё№ «»—").str(), "\xA8\xB8\xB9 \xAB\xBB\x97");
    EXPECT_EQ(Cp1251("").str(), "");
    EXPECT_EQ(Cp1251("GO").str(), "GO");
}

TEST(Cp1251, EveryByteHasOneCodePoint) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(cp1251::FromUnicode(cp1251::ToUnicode(static_cast<unsigned char>(b))), b) << b;
}

}  // namespace
