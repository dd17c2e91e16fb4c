// Hub and memory: fan-out in index order with a copy for each outlet and whole chains one after
// another; where a stored value comes from, and the copy a memory passes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvhub.h"
#include "components/kvmemory.h"
#include "components/kvstrcatdelim.h"

#include "tests/unit/testdata.h"

namespace {

using Journal = std::vector<std::string>;

class HubAndMemory : public LinkedTest {};

// Writes "name:value" into the journal, then does what it is told with the record it was handed.
enum Mode { kKeep, kForward, kSpoil };
struct Step {
    Journal* journal;
    std::string name;
    Mode mode;
    TKV_Event out;

    void act(TData& d, uint16_t /*index*/) {
        journal->push_back(name + ":" + ToString(d));
        if (mode == kForward) ForwardString(d, out, name + "'");
        if (mode == kSpoil) SetString(d, "spoilt");
    }
};

TEST_F(HubAndMemory, HubRunsEachOutletsChainToItsEndOnACopyOfItsOwn) {
    // Outlet 0 forwards into a nested hub, the joiner at 1 consumes its copy to the end, 2 overwrites
    // its own and 3 stays unlinked.
    Journal journal;
    Step a{&journal, "A", kForward, {}}, b1{&journal, "B1", kKeep, {}}, b2{&journal, "B2", kKeep, {}},
        spoiler{&journal, "S", kSpoil, {}}, last{&journal, "L", kKeep, {}};
    TKVHub inner;
    inner.SetOutCount(2);
    inner.evOut = {MakeEvent<&Step::act>(&b1, 0), MakeEvent<&Step::act>(&b2, 0)};
    a.out = MakeEvent<&TKVHub::actIn>(&inner, 0);
    TKVStrCatDelim cat;
    cat.Str2 = "!";
    TKVHub hub;
    hub.SetOutCount(5);
    hub.evOut = {MakeEvent<&Step::act>(&a, 0), MakeEvent<&TKVStrCatDelim::actStrCat>(&cat, 0),
                 MakeEvent<&Step::act>(&spoiler, 0), TKV_Event{}, MakeEvent<&Step::act>(&last, 0)};

    std::vector<TData> chain = {Str("code"), IntData(2)};
    TData d = Chain(chain);
    Emit(MakeEvent<&TKVHub::actIn>(&hub, 1), d);
    EXPECT_EQ(journal, (Journal{"A:code", "B1:A'", "B2:A'", "S:code", "L:code"}));
    EXPECT_EQ(cat.Result, "code2!");  // first and middle part took both values of its copy
    EXPECT_EQ(d.Str, "code");         // the hub's caller keeps its record as it was
    EXPECT_EQ(d.Next, &chain[1]);
    EXPECT_EQ(ToInteger(chain[1]), 2);
}

// A count written past the setter is a programmer's error: found at once, not read past the array.
TEST_F(HubAndMemory, ACountBeyondTheOutletsStopsTheTestBuild) {
    TKVHub hub;
    hub.SetOutCount(2);
    hub.OutCount = 3;
    TData d = Str("x");
    EXPECT_DEATH(hub.actIn(d, 0), "programmer error: OutCount <= evOut.size");
}

TEST_F(HubAndMemory, MemoryStoresFromItsPinOrTheIncomingValueAndPassesOnACopy) {
    const struct {
        const char* name;
        int pin;  // 0 unlinked, 1 a getter with a value, 2 a getter that gives no answer
        TData incoming, stored;
    } cases[] = {
        {"a null incoming value is stored as null, not the default", 0, TData{}, TData{}},
        {"linked pin wins over the incoming value", 1, Str("in"), Str("pinned")},
        {"a pin with no answer falls back to the incoming value", 2, IntData(3), IntData(3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Source sources[] = {{Str("pinned")}, {Tagged(NoValue)}};
        TKVMemory mem;
        // A chain reference kept beyond the call would point into a stack frame long gone.
        std::vector<TData> def = {IntData(0), IntData(5)};
        mem.SetDefault(Chain(def));
        EXPECT_EQ(mem.Value.Next, nullptr);
        EXPECT_EQ(mem.Default.Next, nullptr);
        if (c.pin > 0) mem.pinData = MakeEvent<&Source::get>(&sources[c.pin - 1], 0);
        Journal journal;
        Step spoiler{&journal, "M", kSpoil, {}};
        mem.evData = MakeEvent<&Step::act>(&spoiler, 0);

        TData d = c.incoming;
        Emit(MakeEvent<&TKVMemory::actValue>(&mem, 0), d);
        EXPECT_EQ(journal, Journal{"M:" + ToString(c.stored)});
        EXPECT_EQ(ToString(d), "spoilt");  // forwarded: the caller's record went on down the chain...
        EXPECT_EQ(DataType(mem.Value), DataType(c.stored));  // ...as a copy, not the memory itself
        EXPECT_EQ(ToString(mem.Value), ToString(c.stored));
    }
}

}  // namespace
