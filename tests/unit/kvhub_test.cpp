// Hub: fan-out in index order, each outlet with its own copy, whole chains one after another.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "components/kvhub.h"
#include "components/kvstrcatdelim.h"

#include "tests/unit/testdata.h"

namespace {

class Hub : public LinkedTest {
protected:
    std::vector<std::string> journal;
};

// Writes "name:value" into the journal, then does what it is told with the record it was handed.
struct Step {
    enum Mode { kKeep, kForward, kSpoil };
    Step(std::vector<std::string>* j, std::string n, Mode m = kKeep)
        : journal(j), name(std::move(n)), mode(m) {}

    std::vector<std::string>* journal;
    std::string name;
    Mode mode;
    TKV_Event out;

    void act(TData& d, uint16_t /*index*/) {
        journal->push_back(name + ":" + ToString(d));
        if (mode == kForward) ForwardString(d, out, name + "'");
        if (mode == kSpoil) SetString(d, "spoilt");
    }
};

TEST_F(Hub, OutletsRunInIndexOrderEachChainToItsEnd) {
    // A's chain is two steps long and a nested hub hangs off B: A, A2, B, B1, B2, C.
    Step a{&journal, "A", Step::kForward}, a2{&journal, "A2"}, b{&journal, "B", Step::kForward},
        b1{&journal, "B1"}, b2{&journal, "B2"}, c{&journal, "C"};
    TKVHub inner;
    inner.SetOutCount(2);
    inner.evOut[0] = MakeEvent<&Step::act>(&b1, 0);
    inner.evOut[1] = MakeEvent<&Step::act>(&b2, 0);
    a.out = MakeEvent<&Step::act>(&a2, 0);
    b.out = MakeEvent<&TKVHub::actIn>(&inner, 0);

    TKVHub hub;
    hub.InCount = 2;
    hub.SetOutCount(3);
    hub.evOut[0] = MakeEvent<&Step::act>(&a, 0);
    hub.evOut[1] = MakeEvent<&Step::act>(&b, 0);
    hub.evOut[2] = MakeEvent<&Step::act>(&c, 0);
    EmitInt(MakeEvent<&TKVHub::actIn>(&hub, 1), 4);
    EXPECT_EQ(journal, (std::vector<std::string>{"A:4", "A2:A'", "B:4", "B1:B'", "B2:B'", "C:4"}));
}

TEST_F(Hub, AChainThatConsumesOrSpoilsItsCopyLeavesTheOthersAlone) {
    // The joiner's empty parts consume its copy to the end; the next step overwrites its own.
    TKVStrCatDelim cat;
    cat.Str2 = "!";
    Step spoiler{&journal, "spoiler", Step::kSpoil}, last{&journal, "last"};
    TKVHub hub;
    hub.SetOutCount(3);
    hub.evOut[0] = MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0);
    hub.evOut[1] = MakeEvent<&Step::act>(&spoiler, 0);
    hub.evOut[2] = MakeEvent<&Step::act>(&last, 0);

    TData second = IntData(2);
    TData d;
    SetString(d, "code");
    d.Next = &second;
    Emit(MakeEvent<&TKVHub::actIn>(&hub, 0), d);
    EXPECT_EQ(cat.Result, "code2!");  // first and middle part took both values of its copy
    EXPECT_EQ(journal, (std::vector<std::string>{"spoiler:code", "last:code"}));
    EXPECT_EQ(DataType(d), kTypeString);  // the hub's caller keeps its record as it was
    EXPECT_EQ(d.Str, "code");
    EXPECT_EQ(d.Next, &second);
    EXPECT_EQ(ToInteger(second), 2);
}

// Unlinked outlets are skipped, and a count written past the array fires only what exists.
TEST_F(Hub, GapsAndACountPastTheArray) {
    TKVHub none;
    EmitInt(MakeEvent<&TKVHub::actIn>(&none, 0), 1);
    Step b{&journal, "B"};
    TKVHub hub;
    hub.SetOutCount(2);
    hub.evOut[1] = MakeEvent<&Step::act>(&b, 0);  // 0 stays unlinked
    hub.OutCount = 200;                           // written directly, bypassing the setter
    EmitInt(MakeEvent<&TKVHub::actIn>(&hub, 0), 1);
    EXPECT_EQ(journal, std::vector<std::string>{"B:1"});
}

}  // namespace
