// Comparator: the Compare table across types and codes, and which outlet gets which value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvif_else.h"
#include "support/cp1251.h"

#include "tests/unit/testdata.h"

namespace {

TData Tagged(uint8_t type) {
    TData d = IntData(0);
    d.Type = type;
    return d;
}

// Expected results for codes 0..5 ("=", "<", ">", "<=", ">=", "!="), then code 6.
struct CompareCase {
    const char* name;
    TData a, b;
    const char* results;  // seven characters, 'T' or 'F'
};

TEST(Compare, Table) {
    const std::string bigYa = Cp1251("Я");    // 0xDF
    const std::string smallYa = Cp1251("я");  // 0xFF
    const std::string bigBe = Cp1251("Б");    // 0xC1
    const std::string smallBe = Cp1251("б");  // 0xE1
    const CompareCase cases[] = {
        // A null: true exactly when B is null too, whatever the code.
        {"null, null", TData{}, TData{}, "TTTTTTT"},
        {"null, integer 0", TData{}, IntData(0), "FFFFFFF"},
        {"null, empty string", TData{}, Str(""), "FFFFFFF"},
        // Integers: signed, B converted by the text-to-integer rule.
        {"-1, 1", IntData(-1), IntData(1), "FTFTFTF"},
        {"7, text 7", IntData(7), Str("7"), "TFFTTFF"},
        {"0, text abc", IntData(0), Str("abc"), "TFFTTFF"},
        {"5, text abc", IntData(5), Str("abc"), "FFTFTTF"},
        {"2, real 2.5 rounds to 2", IntData(2), Real(2.5), "TFFTTFF"},
        {"0, null", IntData(0), TData{}, "TFFTTFF"},
        {"min, max", IntData(INT32_MIN), IntData(INT32_MAX), "FTFTFTF"},
        // Strings: equality exact, ordering folds a-z only, bytes unsigned, prefix first.
        {"abc, ABC", Str("abc"), Str("ABC"), "FFFTTTF"},
        {"abc, abc", Str("abc"), Str("abc"), "TFFTTFF"},
        {"a, B: folded to A < B", Str("a"), Str("B"), "FTFTFTF"},
        {"_, a: a folds up, past _", Str("_"), Str("a"), "FFTFTTF"},
        {"ab, abc: prefix is smaller", Str("ab"), Str("abc"), "FTFTFTF"},
        {"abc, ab", Str("abc"), Str("ab"), "FFTFTTF"},
        {"empty, a", Str(""), Str("a"), "FTFTFTF"},
        {"empty, null", Str(""), TData{}, "TFFTTFF"},
        {"Cyrillic capital, small: not folded", Str(bigYa), Str(smallYa), "FTFTFTF"},
        {"Cyrillic small, capital", Str(smallBe), Str(bigBe), "FFTFTTF"},
        {"Cyrillic above ASCII: unsigned", Str(smallYa), Str("z"), "FFTFTTF"},
        {"text 10, integer 9: as texts", Str("10"), IntData(9), "FTFTFTF"},
        {"text 0.5, real 0.5", Str("0.5"), Real(0.5), "TFFTTFF"},
        // Reals: B converted by ToReal.
        {"5000, integer 0", Real(5000.0), IntData(0), "FFTFTTF"},
        {"0, integer 0", Real(0.0), IntData(0), "TFFTTFF"},
        {"-0, integer 0", Real(-0.0), IntData(0), "TFFTTFF"},
        {"2.5, text 2.5", Real(2.5), Str("2.5"), "TFFTTFF"},
        {"0.5, text 1,5 reads 15", Real(0.5), Str("1,5"), "FTFTFTF"},
        // Any other type of A.
        {"NoValue, null", Tagged(NoValue), TData{}, "FFFFFFF"},
        {"flagged integer, integer", Tagged(ForwardFlag | kTypeInteger), IntData(0), "FFFFFFF"},
        {"tag 3, tag 3", Tagged(3), Tagged(3), "FFFFFFF"},
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

class Comparator : public LinkedTest {};

struct Named {
    std::vector<std::string>* journal;
    const char* name;
    void act(TData& d, uint16_t /*index*/) {
        journal->push_back(std::string(name) + ":" + std::to_string(DataType(d)) + ":" + ToString(d));
    }
};

TEST_F(Comparator, SendsTheValueAsItArrived) {
    const struct {
        const char* name;
        uint8_t type;
        bool pinOp1;  // first operand pinned to a getter giving integer 4
        TData op1;
        TData incoming;
        const char* fired;
    } cases[] = {
        // The scheme's settings: Type 0, Op1 null, Op2 integer 0, pins unlinked.
        {"a period is accepted", 0, false, TData{}, Real(5000.0), "false:7:5000"},
        {"a zero period is refused", 0, false, TData{}, Real(0.0), "true:7:0"},
        {"null against integer 0", 0, false, TData{}, TData{}, "false:0:"},
        {"text 0 against integer 0", 0, false, TData{}, Str("0"), "true:2:0"},
        {"code 6 never holds", 6, false, TData{}, IntData(0), "false:1:0"},
        {"pinned first operand wins", 2, true, IntData(-1), IntData(0), "true:1:0"},
        {"default first operand before incoming", 2, false, IntData(-1), IntData(9), "false:1:9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> journal;
        Named yes{&journal, "true"}, no{&journal, "false"};
        Source four{IntData(4)};
        TKVIf_else cmp;
        cmp.Type = c.type;
        cmp.Op1 = c.op1;
        cmp.Op2 = IntData(0);
        if (c.pinOp1) cmp.pinOp1 = MakeEvent<&Source::get>(&four, 0);
        cmp.evTrue = MakeEvent<&Named::act>(&yes, 0);
        cmp.evFalse = MakeEvent<&Named::act>(&no, 0);
        TData d = c.incoming;
        Emit(MakeEvent<&TKVIf_else::actCompare>(&cmp, 0), d);
        EXPECT_EQ(journal, std::vector<std::string>{c.fired});
    }
}

TEST_F(Comparator, BothOperandsFromTheIncomingChainStillPassTheWholeValueOn) {
    // Op1 and Op2 null: A takes the first value, B the second; the outlet still gets the first,
    // with its chain, exactly as it arrived.
    TKVIf_else cmp;
    cmp.Type = 1;
    Sink sink;
    cmp.evTrue = MakeEvent<&Sink::act>(&sink, 0);
    TData second = IntData(8);
    TData d = IntData(3);
    d.Next = &second;
    Emit(MakeEvent<&TKVIf_else::actCompare>(&cmp, 0), d);
    ASSERT_EQ(sink.seen.size(), 1u);
    EXPECT_EQ(ToInteger(sink.seen[0]), 3);
    EXPECT_EQ(sink.seen[0].Next, &second);
    EXPECT_EQ(ToInteger(second), 8);
}

}  // namespace
