// The records on every link and the links themselves: conversions of every tag, the emit loop with
// forwarding, recursion and cycles, links switched off, the read rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/event.h"

#include "tests/unit/testdata.h"

namespace {

TEST(TData, ConversionsOfEveryTag) {
    const struct {
        TData data;
        int32_t integer;
        const char* text;
        double real;
        int32_t index;
    } cases[] = {
        {TData{}, 0, "", 0.0, -1},  //
        {IntData(-15), -15, "-15", -15.0, -15},
        {Str("1,5"), 1, "1,5", 15.0, 1},    // each conversion by its own text rule
        {Real(2.5), 2, "2.5", 2.5, 2},      // halves to even
        {Tagged(NoValue), 0, "", 0.0, -1},  // any other tag reads as null
        {Tagged(kTypeInteger | ForwardFlag), 0, "", 0.0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.data.Type));
        EXPECT_EQ(ToInteger(c.data), c.integer);
        EXPECT_EQ(ToString(c.data), c.text);
        EXPECT_DOUBLE_EQ(ToReal(c.data), c.real);
        EXPECT_EQ(ToIndex(c.data), c.index);
    }
}

// A stale forwarding target or chain left in a record would send the next fire somewhere else.
TEST(TData, SettersClearLinks) {
    TKV_Event outlet;
    TData d;
    d.Target = &outlet;
    d.Next = &d;
    SetString(d, static_cast<const char*>(nullptr));
    EXPECT_EQ(DataType(d), kTypeString);
    EXPECT_EQ(d.Target, nullptr);
    EXPECT_EQ(d.Next, nullptr);
}

class Links : public LinkedTest {};

// A target that records what reached it ("index:type:text" for each call) and can be told what to
// do with the record.
struct Probe {
    std::vector<std::string> seen;
    TKV_Event out;
    enum { kKeep, kForwardInt, kForwardStr, kRefire, kBounce } mode = kKeep;
    int left = 0;

    void act(TData& d, uint16_t index) {
        if (mode == kBounce) {
            if (--left > 0) ForwardInteger(d, out, left);
            return;
        }
        seen.push_back(std::to_string(index) + ":" + std::to_string(d.Type) + ":" + ToString(d));
        if (mode == kForwardInt) ForwardInteger(d, out, static_cast<int32_t>(seen.size()));
        if (mode == kForwardStr) ForwardString(d, out, "fwd");
        if (mode == kRefire && left-- > 0) EmitInt(out, left);
    }
    void get(TData& d, uint16_t /*index*/) { SetString(d, "pulled"); }
    void getNothing(TData& /*d*/, uint16_t /*index*/) {}
    void getNoValue(TData& d, uint16_t /*index*/) { PullData(d, out); }
};

TEST_F(Links, AForwardedValueRunsDownTheChainWithoutNestedCalls) {
    // a forwards to b, b forwards to c, c keeps.
    Probe a, b, c;
    a.mode = Probe::kForwardStr;
    b.mode = Probe::kForwardInt;
    a.out = MakeEvent<&Probe::act>(&b, 1);
    b.out = MakeEvent<&Probe::act>(&c, 2);
    TData d = IntData(0);
    Emit(MakeEvent<&Probe::act>(&a, 0), d);
    // The forwarding flag is gone before the target runs.
    EXPECT_EQ(b.seen, std::vector<std::string>{"1:" + std::to_string(kTypeString) + ":fwd"});
    EXPECT_EQ(c.seen, std::vector<std::string>{"2:" + std::to_string(kTypeInteger) + ":1"});
    EXPECT_EQ(d.Type, kTypeInteger);
    EXPECT_EQ(ToString(d), "1");
}

TEST_F(Links, AnOutletFiredIntoItselfNestsAndForwardingToItselfLoops) {
    Probe c;
    c.out = MakeEvent<&Probe::act>(&c, 3);
    // Fired back into itself, nested 100 deep.
    c.mode = Probe::kRefire;
    c.left = 100;
    EmitNull(c.out);
    EXPECT_EQ(c.seen.size(), 101u);
    EXPECT_EQ(c.seen.back(), "3:" + std::to_string(kTypeInteger) + ":0");
    // Forwarding to itself a million times would overflow a nested implementation.
    c.mode = Probe::kBounce;
    c.left = 1000000;
    EmitNull(c.out);
    EXPECT_EQ(c.left, 0);
}

TEST_F(Links, SwitchedOffNothingFiresAndNothingAnswers) {
    // As while the scheme is built and torn down.
    Probe a;
    TData d = IntData(1);
    DisableLinks();
    Emit(MakeEvent<&Probe::act>(&a, 0), d);
    Pull(MakeEvent<&Probe::get>(&a, 0), d);
    EXPECT_TRUE(a.seen.empty());
    EXPECT_EQ(ToInteger(d), 1);
}

// A value taken from the incoming record advances it along its chain; a null record does not. A pin
// over a set default and the incoming value without one are read by the joiner and memory tests.
TEST_F(Links, ReadStringAndReadDataFollowTheReadRule) {
    Probe p;
    const TKV_Event pins[] = {TKV_Event{}, MakeEvent<&Probe::getNothing>(&p, 0),
                              MakeEvent<&Probe::getNoValue>(&p, 0)};
    const struct {
        const char* name;
        int pin;
        const char* def;
        bool nullIncoming;
        std::string result;  // "in": taken from the incoming record, which then holds 2
    } cases[] = {
        {"silent getter gives empty, not default", 1, "def", false, ""},
        {"NoValue answer falls back to default", 2, "def", false, "def"},
        {"NoValue answer falls back to incoming", 2, "", false, "in"},
        {"null incoming", 0, "", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TData> chain = {c.nullIncoming ? TData{} : Str("in"), IntData(2)};
        TData in = Chain(chain), in2 = in;
        const TData def = *c.def != 0 ? Str(c.def) : TData{};
        EXPECT_EQ(ReadString(in, pins[c.pin], c.def), c.result);
        const TData taken = ReadData(in2, pins[c.pin], &def);
        EXPECT_EQ(ToString(taken), c.result);
        EXPECT_EQ(taken.Next, nullptr);
        EXPECT_EQ(ToString(in), c.result == "in" ? "2" : ToString(chain[0]));
        EXPECT_EQ(ToString(in2), ToString(in));
    }
}

}  // namespace
