// String joiner: which part comes from where and the order the incoming values are read in. The
// scheme's joiners (fixed texts around a pinned value, a stamp and a code, a real) are read in the
// scheme test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvstrcatdelim.h"

#include "tests/unit/testdata.h"

namespace {

class Joiner : public LinkedTest {};

// Str1, Delimiter and Str2, then their pins, one letter a part: '-' unlinked, i integer 32, t text "pin".
TEST_F(Joiner, PartsComeFromPinPropertyOrIncoming) {
    Source sources[] = {{IntData(32)}, {Str("pin")}};
    const struct {
        const char* name;
        const char *str1, *delimiter, *str2, *pins;
        std::vector<TData> incoming;
        std::string result;
    } cases[] = {
        {"read order first, last, middle", "", "", "", "---", {IntData(1), IntData(2), IntData(3)}, "132"},
        {"first and last empty: first takes 1, last 2", "", "-", "", "---", {IntData(1), IntData(2)}, "1-2"},
        {"pins win over non-empty properties", "p1", "pd", "p2", "tit", {Str("in")}, "pin32pin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKVStrCatDelim cat;
        cat.Str1 = c.str1;
        cat.Delimiter = c.delimiter;
        cat.Str2 = c.str2;
        TKV_Event* ends[] = {&cat.pinStr1, &cat.pinDelimiter, &cat.pinStr2};
        for (int i = 0; i < 3; ++i)
            if (c.pins[i] != '-') *ends[i] = MakeEvent<&Source::get>(&sources[c.pins[i] == 't'], 0);
        std::vector<TData> chain = c.incoming;
        TData d = Chain(chain);
        Emit(MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0), d);
        EXPECT_EQ(cat.Result, c.result);
    }
}

TEST_F(Joiner, APinLeadingToItsOwnResultSeesThePreviousJoin) {
    // A running text: each join appends the incoming value to the last result.
    TKVStrCatDelim cat;
    cat.pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(&cat, 0);
    const TKV_Event in = MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0);
    for (const char* part : {"a", "b", "c"})
        EmitStr(in, part);
    EXPECT_EQ(cat.Result, "abc");
}

}  // namespace
