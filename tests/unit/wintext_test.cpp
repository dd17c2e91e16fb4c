// The one 1251 <-> UTF-16 boundary, and the literals converted to 1251 at compile time.
#include <gtest/gtest.h>

#include <string>

#include "support/cp1251.h"
#include "toolkit/wintext.h"

TEST(WinTextTest, EveryByteCrossesBothWays) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(FromWide(ToWide(all)), all);
    for (int b = 1; b < 256; ++b)
        EXPECT_EQ(NarrowChar(WideChar(static_cast<char>(b))), static_cast<char>(b)) << b;
}

TEST(WinTextTest, TextsAndCharactersTheCodePageLacks) {
    static_assert(Cp1251("Имя").size == 3 && Cp1251("Имя").view()[0] == '\xC8');
    EXPECT_EQ(Cp1251("Ёё№ «»—").str(), "\xA8\xB8\xB9 \xAB\xBB\x97");
    const struct {
        std::wstring wide;
        std::string narrow;
    } cases[] = {
        {L"a\u4E2Db", "a?b"},                     // no such character in 1251
        {L"x\U0001F600y", "x?y"},                 // a surrogate pair is one character
        {std::wstring(1, wchar_t(0xD800)), "?"},  // a lone surrogate
        {L"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FromWide(c.wide), c.narrow);
}
