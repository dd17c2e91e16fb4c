// Links: the emit loop with forwarding, pulls, the read rules and the hook slots.
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
    enum { kKeep, kForwardInt, kForwardStr, kForwardNull, kForwardCopy, kOverwrite, kRefire } mode = kKeep;
    int refires = 0;

    void act(TData& d, uint16_t index) {
        seen.push_back(std::to_string(d.Type) + ":" + ToString(d));
        indices.push_back(index);
        switch (mode) {
            case kKeep:
                break;
            case kForwardInt:
                ForwardInteger(d, out, static_cast<int32_t>(seen.size()));
                break;
            case kForwardStr:
                ForwardString(d, out, "fwd");
                break;
            case kForwardNull:
                ForwardNull(d, out);
                break;
            case kForwardCopy: {
                TData source = IntData(99);
                ForwardData(d, out, source);
                break;
            }
            case kOverwrite:
                SetString(d, "changed");
                break;
            case kRefire:
                if (refires-- > 0) EmitInt(out, refires);
                break;
        }
    }
    void get(TData& d, uint16_t index) {
        indices.push_back(index);
        SetString(d, "pulled");
    }
    void getNothing(TData& /*d*/, uint16_t /*index*/) {}
    void getNoValue(TData& d, uint16_t /*index*/) { PullData(d, out); }
};

TEST_F(Links, EmitPassesTheIndexAndTheCallersRecord) {
    Probe p;
    p.mode = Probe::kOverwrite;
    const TKV_Event e = MakeEvent<&Probe::act>(&p, 7);
    TData d = IntData(1);
    Emit(e, d);
    EXPECT_EQ(p.indices, std::vector<uint16_t>{7});
    EXPECT_EQ(ToString(d), "changed");  // Emit fires the caller's own record

    TData kept = IntData(1);
    EmitCopy(e, kept);
    EXPECT_EQ(ToInteger(kept), 1);  // EmitCopy does not
}

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

TEST_F(Links, ForwardingToAnUnconnectedOutletEndsTheChain) {
    Probe a;
    a.mode = Probe::kForwardStr;  // a.out stays unconnected
    TData d;
    Emit(MakeEvent<&Probe::act>(&a, 0), d);
    EXPECT_EQ(DataType(d), kTypeString);
    EXPECT_EQ(d.Str, "fwd");
}

TEST_F(Links, ForwardNullKeepsNextAndForwardDataCopies) {
    Probe a, b;
    a.mode = Probe::kForwardNull;
    a.out = MakeEvent<&Probe::act>(&b, 0);
    TData next = IntData(8);
    TData d = IntData(1);
    d.Next = &next;
    Emit(MakeEvent<&Probe::act>(&a, 0), d);
    EXPECT_EQ(b.seen, std::vector<std::string>{"0:"});
    EXPECT_EQ(d.Next, &next);

    Probe x, y;
    x.mode = Probe::kForwardCopy;
    x.out = MakeEvent<&Probe::act>(&y, 0);
    TData e = Str("in");
    Emit(MakeEvent<&Probe::act>(&x, 0), e);
    EXPECT_EQ(y.seen, std::vector<std::string>{"1:99"});
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

TEST_F(Links, PullAndPullData) {
    Probe p;
    TKV_Event none;
    TData d = IntData(4);
    Pull(none, d);
    EXPECT_EQ(DataType(d), kTypeInteger);  // unconnected: the record as it was
    EXPECT_EQ(ToInteger(d), 4);
    PullData(d, none);
    EXPECT_EQ(DataType(d), NoValue);

    TData e = IntData(4);
    PullData(e, MakeEvent<&Probe::getNothing>(&p, 0));
    EXPECT_EQ(ToInteger(e), 4);  // connected: pulled into without clearing first

    EXPECT_EQ(PullInteger(none), 0);
    EXPECT_EQ(PullInteger(MakeEvent<&Probe::get>(&p, 0)), 0);  // "pulled" reads as 0
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
        {"default wins over incoming", 0, "def", Str("in"), "def", false},
        {"incoming when no default", 0, "", Str("in"), "in", true},
        {"integer incoming as text", 0, "", IntData(-7), "-7", true},
        {"null incoming", 0, "", TData{}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TData in = c.incoming;
        EXPECT_EQ(ReadString(in, pins[c.pin], c.def), c.result);
        EXPECT_EQ(DataType(in), c.consumed ? kTypeNull : DataType(c.incoming));
    }
}

TEST_F(Links, ReadIntegerAndReadReal) {
    Probe p;
    const TKV_Event silent = MakeEvent<&Probe::getNothing>(&p, 0);
    TKV_Event none;
    TData in = Str("12");
    EXPECT_EQ(ReadInteger(in, none, 5), 5);
    EXPECT_EQ(ToString(in), "12");  // untouched whatever it holds
    EXPECT_EQ(ReadInteger(in, silent, 5), 0);
    EXPECT_EQ(ReadInteger(in, none, 0), 12);
    EXPECT_EQ(DataType(in), kTypeNull);

    TData r = Str("2.5");
    EXPECT_EQ(ReadReal(r, none, 1000.0), 1000.0);
    EXPECT_EQ(ReadReal(r, none, 0.0), 2.5);
    EXPECT_EQ(ReadReal(r, none, 0.0), 0.0);  // consumed: nothing left
}

TEST_F(Links, ReadDataRule) {
    Probe p;
    TKV_Event none;
    TData next = IntData(2);

    TData in = Str("in");
    in.Next = &next;
    TData pulled = ReadData(in, MakeEvent<&Probe::get>(&p, 0), nullptr);
    EXPECT_EQ(ToString(pulled), "pulled");
    EXPECT_EQ(pulled.Next, nullptr);
    EXPECT_EQ(ToString(in), "in");

    const TData def = IntData(9);
    EXPECT_EQ(ToInteger(ReadData(in, none, &def)), 9);
    const TData nullDefault;
    TData taken = ReadData(in, none, &nullDefault);
    EXPECT_EQ(ToString(taken), "in");
    EXPECT_EQ(taken.Next, nullptr);
    EXPECT_EQ(ToInteger(in), 2);  // advanced to the next value

    TData empty;
    empty.Next = &next;
    TData none_taken = ReadData(empty, none, nullptr);
    EXPECT_EQ(DataType(none_taken), kTypeNull);
    EXPECT_EQ(DataType(empty), kTypeNull);
    EXPECT_EQ(empty.Next, nullptr);  // a null record does not advance into its chain

    TData answered = Str("x");
    EXPECT_EQ(ToString(ReadData(answered, MakeEvent<&Probe::getNoValue>(&p, 0), nullptr)), "x");
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
    // A connected pin read while links are off yields the converted empty temporary.
    EXPECT_EQ(ReadInteger(d, MakeEvent<&Probe::get>(&p, 0), 5), 0);

    EnableLinks();
    EmitInt(e, 1);
    DisableLinks();
    EmitInt(e, 2);
    EXPECT_EQ(p.seen, std::vector<std::string>{"1:1"});
}

}  // namespace
