// Memory: default, where a stored value comes from, forwarding of a copy.
#include <gtest/gtest.h>

#include <vector>

#include "components/kvmemory.h"

#include "tests/unit/testdata.h"

namespace {

class Memory : public LinkedTest {};

struct Pinned {
    TData value;
    int pulls = 0;
    TKV_Event unlinked;
    void get(TData& d, uint16_t /*index*/) {
        ++pulls;
        d = value;
    }
    void getNoAnswer(TData& d, uint16_t /*index*/) { PullData(d, unlinked); }
};

struct Overwriter {
    std::vector<TData> seen;
    void act(TData& d, uint16_t /*index*/) {
        seen.push_back(d);
        SetString(d, "overwritten downstream");
    }
};

TEST_F(Memory, DefaultIsTheStoredValueUntilTheFirstStoreAndKeepsNoChain) {
    TKVMemory mem;
    TData next = IntData(5);
    TData def = IntData(0);
    def.Next = &next;  // a chain reference must not be kept beyond the call
    mem.SetDefault(def);
    EXPECT_EQ(DataType(mem.Value), kTypeInteger);
    EXPECT_EQ(mem.Value.Next, nullptr);
    EXPECT_EQ(mem.Default.Next, nullptr);
}

TEST_F(Memory, WhereTheStoredValueComesFrom) {
    const struct {
        const char* name;
        int pin;  // 0 unlinked, 1 a getter with a value, 2 a getter that gives no answer
        TData incoming;
        TData stored;
    } cases[] = {
        {"unlinked pin: the incoming value", 0, Str("in"), Str("in")},
        {"a null incoming value is stored as null, not the default", 0, TData{}, TData{}},
        {"linked pin wins over the incoming value", 1, Str("in"), Str("pinned")},
        {"a pin with no answer falls back to the incoming value", 2, IntData(3), IntData(3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pinned source{Str("pinned"), 0, {}};
        TKVMemory mem;
        mem.SetDefault(IntData(0));
        if (c.pin == 1) mem.pinData = MakeEvent<&Pinned::get>(&source, 0);
        if (c.pin == 2) mem.pinData = MakeEvent<&Pinned::getNoAnswer>(&source, 0);
        Overwriter sink;
        mem.evData = MakeEvent<&Overwriter::act>(&sink, 0);

        TData d = c.incoming;
        Emit(MakeEvent<&TKVMemory::actValue>(&mem, 0), d);
        EXPECT_EQ(DataType(mem.Value), DataType(c.stored));
        EXPECT_EQ(ToString(mem.Value), ToString(c.stored));
        ASSERT_EQ(sink.seen.size(), 1u);
        EXPECT_EQ(ToString(sink.seen[0]), ToString(c.stored));
        EXPECT_EQ(ToString(d), "overwritten downstream");    // forwarded: fired with the caller's record...
        EXPECT_EQ(ToString(mem.Value), ToString(c.stored));  // ...which is a copy, not the memory itself
    }
}

}  // namespace
