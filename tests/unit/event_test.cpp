// Links: the emit loop with forwarding and cycles, the read rules, links switched off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/event.h"

#include "tests/unit/testdata.h"

namespace {

class Links : public LinkedTest {};

// A target that records what reached it and can be told what to do with the record.
struct Probe {
    std::vector<std::string> seen;
    std::vector<uint16_t> indices;
    TKV_Event out;
    enum { kKeep, kForwardInt, kForwardStr, kRefire } mode = kKeep;
    int refires = 0;

    void act(TData& d, uint16_t index) {
        seen.push_back(std::to_string(d.Type) + ":" + ToString(d));
        indices.push_back(index);
        if (mode == kForwardInt) ForwardInteger(d, out, static_cast<int32_t>(seen.size()));
        if (mode == kForwardStr) ForwardString(d, out, "fwd");
        if (mode == kRefire && refires-- > 0) EmitInt(out, refires);
    }
    void get(TData& d, uint16_t index) {
        indices.push_back(index);
        SetString(d, "pulled");
    }
    void getNothing(TData& /*d*/, uint16_t /*index*/) {}
    void getNoValue(TData& d, uint16_t /*index*/) { PullData(d, out); }
};

TEST_F(Links, ForwardingRunsAsALoopAndLeavesTheValueInTheRecord) {
    // a forwards to b, b forwards to c, c keeps: the chain runs to c without nested calls.
    Probe a, b, c;
    a.mode = Probe::kForwardStr;
    b.mode = Probe::kForwardInt;
    a.out = MakeEvent<&Probe::act>(&b, 1);
    b.out = MakeEvent<&Probe::act>(&c, 2);
    TData d = IntData(0);
    Emit(MakeEvent<&Probe::act>(&a, 0), d);
    EXPECT_EQ(b.seen, std::vector<std::string>{"2:fwd"});  // the flag is gone before the target runs
    EXPECT_EQ(c.seen, std::vector<std::string>{"1:1"});
    EXPECT_EQ(c.indices, std::vector<uint16_t>{2});
    EXPECT_EQ(DataType(d), kTypeInteger);
    EXPECT_EQ(ToInteger(d), 1);
}

TEST_F(Links, RecursiveFiringAndCyclesThatEnd) {
    // A target that fires its own outlet back into itself a fixed number of times.
    Probe p;
    p.mode = Probe::kRefire;
    p.refires = 100;
    p.out = MakeEvent<&Probe::act>(&p, 3);
    EmitNull(p.out);
    EXPECT_EQ(p.seen.size(), 101u);
    EXPECT_EQ(p.seen.back(), "1:0");
}

TEST_F(Links, LongForwardingCycleDoesNotGrowTheStack) {
    // Two actions forwarding to each other a million times would overflow a nested implementation.
    struct PingPong {
        TKV_Event out;
        int* left;
        void act(TData& d, uint16_t /*index*/) {
            if (--*left > 0) ForwardInteger(d, out, *left);
        }
    };
    int left = 1000000;
    PingPong a{{}, &left}, b{{}, &left};
    a.out = MakeEvent<&PingPong::act>(&b, 0);
    b.out = MakeEvent<&PingPong::act>(&a, 0);
    EmitNull(a.out);
    EXPECT_EQ(left, 0);
}

TEST_F(Links, ReadStringFollowsTheReadRule) {
    Probe p;
    const TKV_Event pins[] = {TKV_Event{}, MakeEvent<&Probe::get>(&p, 0),
                              MakeEvent<&Probe::getNothing>(&p, 0), MakeEvent<&Probe::getNoValue>(&p, 0)};
    const struct {
        const char* name;
        int pin;
        const char* def;
        TData incoming;
        const char* result;
        bool consumed;
    } cases[] = {
        {"pin wins over default", 1, "def", Str("in"), "pulled", false},
        {"silent getter gives empty, not default", 2, "def", Str("in"), "", false},
        {"NoValue answer falls back to default", 3, "def", Str("in"), "def", false},
        {"NoValue answer falls back to incoming", 3, "", Str("in"), "in", true},
        {"incoming when no default", 0, "", Str("in"), "in", true},
        {"null incoming", 0, "", TData{}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TData in = c.incoming;
        EXPECT_EQ(ReadString(in, pins[c.pin], c.def), c.result);
        EXPECT_EQ(DataType(in), c.consumed ? kTypeNull : DataType(c.incoming));
    }
}

// A value taken from the incoming record advances it along its chain; a null record does not.
TEST_F(Links, ReadDataTakesTheIncomingValueAndAdvances) {
    TKV_Event none;
    TData next = IntData(2);
    TData in = Str("in");
    in.Next = &next;
    const TData nullDefault;
    TData taken = ReadData(in, none, &nullDefault);
    EXPECT_EQ(ToString(taken), "in");
    EXPECT_EQ(taken.Next, nullptr);
    EXPECT_EQ(ToInteger(in), 2);

    TData empty;
    empty.Next = &next;
    EXPECT_EQ(DataType(ReadData(empty, none, nullptr)), kTypeNull);
    EXPECT_EQ(empty.Next, nullptr);
}

TEST(LinksDisabled, FiresAndPullsDoNothing) {
    DisableLinks();
    Probe p;
    const TKV_Event e = MakeEvent<&Probe::act>(&p, 0);
    TData d = IntData(3);
    Emit(e, d);
    EmitInt(e, 1);
    Pull(MakeEvent<&Probe::get>(&p, 0), d);
    EXPECT_TRUE(p.seen.empty());
    EXPECT_TRUE(p.indices.empty());
    EXPECT_EQ(ToInteger(d), 3);

    EnableLinks();
    EmitInt(e, 1);
    DisableLinks();
    EmitInt(e, 2);
    EXPECT_EQ(p.seen, std::vector<std::string>{"1:1"});
}

}  // namespace
