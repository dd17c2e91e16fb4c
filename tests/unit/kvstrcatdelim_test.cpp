// String joiner: which part comes from where, the order the parts are read in, forwarding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvstrcatdelim.h"
#include "support/cp1251.h"

#include "tests/unit/testdata.h"

namespace {

class Joiner : public LinkedTest {};

// Getters that say who was asked, in order, and an outlet end that keeps what reached it.
struct Source {
    std::vector<std::string>* journal = nullptr;
    const char* name = "";
    TData value;
    void get(TData& d, uint16_t /*index*/) {
        if (journal) journal->push_back(name);
        d = value;
    }
};

struct Sink {
    std::vector<TData> seen;
    void act(TData& d, uint16_t /*index*/) { seen.push_back(d); }
};

TEST_F(Joiner, PartsComeFromPinPropertyOrIncoming) {
    enum Pin { kNone, kInt32, kText, kHalf, kThousand };
    Source sources[] = {{}, {nullptr, "", IntData(32)}, {nullptr, "", Str("pin")}, {}, {}};
    SetReal(sources[kHalf].value, 0.5);
    SetReal(sources[kThousand].value, 1000.0);
    const std::string prefix = Cp1251("Обменн данными размером ");
    const std::string suffix = Cp1251(" байт, время ответа - ");

    const struct {
        const char* name;
        std::string str1, delimiter, str2;
        Pin pin1, pinDelimiter, pin2;
        std::vector<TData> incoming;  // a chain, first value first
        std::string result;
    } cases[] = {
        {"fixed texts around a pinned integer",
         prefix,
         "",
         suffix,
         kNone,
         kInt32,
         kNone,
         {},
         prefix + "32" + suffix},
        {"lone empty parts: the first takes the value", "", "", "", kNone, kNone, kNone, {IntData(7)}, "7"},
        {"an empty last part takes the incoming code",
         "T: ",
         "",
         "",
         kNone,
         kText,
         kNone,
         {IntData(3)},
         "T: pin3"},
        {"an empty middle part takes it when the others are set",
         "<",
         "",
         ">",
         kNone,
         kNone,
         kNone,
         {Str("x")},
         "<x>"},
        // The parts take successive incoming values first, last, middle: 1 | 3 | 2.
        {"read order first, last, middle",
         "",
         "",
         "",
         kNone,
         kNone,
         kNone,
         {IntData(1), IntData(2), IntData(3)},
         "132"},
        {"first and last empty: first takes 1, last takes 2",
         "",
         "-",
         "",
         kNone,
         kNone,
         kNone,
         {IntData(1), IntData(2)},
         "1-2"},
        {"pins win over non-empty properties",
         "p1",
         "pd",
         "p2",
         kText,
         kInt32,
         kText,
         {Str("in")},
         "pin32pin"},
        {"reals by the real-to-text rule", "", "", "", kHalf, kThousand, kNone, {}, "0.51000"},
        {"nothing anywhere gives an empty result", "", "", "", kNone, kNone, kNone, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKVStrCatDelim cat;
        cat.Str1 = c.str1;
        cat.Delimiter = c.delimiter;
        cat.Str2 = c.str2;
        const auto link = [&](TKV_Event& pin, Pin p) {
            if (p != kNone) pin = MakeEvent<&Source::get>(&sources[p], 0);
        };
        link(cat.pinStr1, c.pin1);
        link(cat.pinDelimiter, c.pinDelimiter);
        link(cat.pinStr2, c.pin2);

        std::vector<TData> chain = c.incoming;
        for (std::size_t i = 0; i + 1 < chain.size(); ++i)
            chain[i].Next = &chain[i + 1];
        TData d = chain.empty() ? TData{} : chain[0];
        Emit(MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0), d);
        EXPECT_EQ(cat.Result, c.result);
    }
}

TEST_F(Joiner, PinsArePulledFirstLastMiddle) {
    std::vector<std::string> journal;
    Source first{&journal, "first", Str("a")}, middle{&journal, "middle", Str("b")},
        last{&journal, "last", Str("c")};
    TKVStrCatDelim cat;
    cat.pinStr1 = MakeEvent<&Source::get>(&first, 0);
    cat.pinDelimiter = MakeEvent<&Source::get>(&middle, 0);
    cat.pinStr2 = MakeEvent<&Source::get>(&last, 0);
    EmitNull(MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0));
    EXPECT_EQ(journal, (std::vector<std::string>{"first", "last", "middle"}));
    EXPECT_EQ(cat.Result, "abc");
}

TEST_F(Joiner, ResultIsForwardedKeptAndOverwritten) {
    TKVStrCatDelim cat;
    cat.Str1 = "n=";
    Sink sink;
    cat.evResult = MakeEvent<&Sink::act>(&sink, 0);
    const TKV_Event in = MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0);

    TData d = IntData(5);
    Emit(in, d);
    ASSERT_EQ(sink.seen.size(), 1u);
    EXPECT_EQ(DataType(sink.seen[0]), kTypeString);  // the flag is gone before the outlet's target runs
    EXPECT_EQ(sink.seen[0].Str, "n=5");
    EXPECT_EQ(DataType(d), kTypeString);  // fired from the caller's loop: the value stays in its record
    EXPECT_EQ(d.Str, "n=5");

    EmitInt(in, 6);
    EXPECT_EQ(cat.Result, "n=6");
    TData pulled = IntData(0);
    Pull(MakeEvent<&TKVStrCatDelim::getResult>(&cat, 0), pulled);
    EXPECT_EQ(DataType(pulled), kTypeString);
    EXPECT_EQ(pulled.Str, "n=6");
}

TEST_F(Joiner, GetResultBeforeAnyJoinIsAnEmptyString) {
    TKVStrCatDelim cat;
    TData pulled = IntData(9);
    Pull(MakeEvent<&TKVStrCatDelim::getResult>(&cat, 0), pulled);
    EXPECT_EQ(DataType(pulled), kTypeString);
    EXPECT_EQ(pulled.Str, "");
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
