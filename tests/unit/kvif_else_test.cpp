// Comparator: the Compare table across types and codes, one row a rule. A real period against the
// integer 0 is read in the scheme test's period table.
#include <gtest/gtest.h>

#include <string>

#include "components/kvif_else.h"
#include "support/cp1251.h"

#include "tests/unit/testdata.h"

namespace {

// Expected results for codes 0..5 ("=", "<", ">", "<=", ">=", "!="), then code 6.
struct CompareCase {
    const char* name;
    TData a, b;
    const char* results;  // seven characters, 'T' or 'F'
};

TEST(Compare, Table) {
    const std::string bigYa = Cp1251("Я");    // 0xDF
    const std::string smallYa = Cp1251("я");  // 0xFF
    const CompareCase cases[] = {
        // A null: true exactly when B is null too, whatever the code.
        {"null, null", TData{}, TData{}, "TTTTTTT"},
        {"null, integer 0", TData{}, IntData(0), "FFFFFFF"},
        // Integers: signed, B converted by the text-to-integer rule.
        {"-1, 1", IntData(-1), IntData(1), "FTFTFTF"},
        {"5, text abc", IntData(5), Str("abc"), "FFTFTTF"},
        {"2, real 2.5 rounds to 2", IntData(2), Real(2.5), "TFFTTFF"},
        // Strings: equality exact, ordering folds a-z only, bytes unsigned, prefix first.
        {"abc, ABC", Str("abc"), Str("ABC"), "FFFTTTF"},
        {"_, a: a folds up, past _", Str("_"), Str("a"), "FFTFTTF"},
        {"ab, abc: prefix is smaller", Str("ab"), Str("abc"), "FTFTFTF"},
        {"empty, null", Str(""), TData{}, "TFFTTFF"},
        {"Cyrillic capital, small: not folded", Str(bigYa), Str(smallYa), "FTFTFTF"},
        {"Cyrillic above ASCII: unsigned", Str(smallYa), Str("z"), "FFTFTTF"},
        {"text 10, integer 9: as texts", Str("10"), IntData(9), "FTFTFTF"},
        // Reals: B converted by ToReal.
        {"-0, integer 0", Real(-0.0), IntData(0), "TFFTTFF"},
        {"0.5, text 1,5 reads 15", Real(0.5), Str("1,5"), "FTFTFTF"},
        // Any other type of A.
        {"NoValue, null", Tagged(NoValue), TData{}, "FFFFFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint8_t code = 0; code <= 6; ++code) {
            SCOPED_TRACE(static_cast<int>(code));
            EXPECT_EQ(Compare(c.a, c.b, code), c.results[code] == 'T');
        }
    }
    EXPECT_FALSE(Compare(IntData(1), IntData(1), 255));
}

}  // namespace
