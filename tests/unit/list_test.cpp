// TList: fixed-step growth, shifting inserts and deletes, capacity, and indexes outside the list.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <vector>

#include "toolkit/list.h"

namespace {

// Entries are addresses of cells, so a value reads back as a small number.
char cells[16];

// Each case: steps on the list 1 2 3 4 5 (Count 5, Capacity 8), then its entries. "a" adds 9, "i3"
// inserts 9 at 3, "d1,2" deletes 2 entries from 1, "c3" asks for a capacity of 3, "g-3" sets GrowBy.
TEST(TList, StepsKeepTheEntriesInOrderAndTheBlockAsLargeAsItClaims) {
    const struct {
        const char* steps;
        std::vector<int> expected;
    } cases[] = {
        {"g-3 a a a a a", {1, 2, 3, 4, 5, 9, 9, 9, 9, 9}},  // a step of 0 or less would never make room
        {"a a a i0", {9, 1, 2, 3, 4, 5, 9, 9, 9}},          // a full list grows for the insert
        {"i6 i-1", {1, 2, 3, 4, 5}},                        // past the end: refused
        {"d1,2", {1, 4, 5}},
        {"d0,2147483647", {}},  // cut at the end
        {"d2,-1 d-1,2 d5,1", {1, 2, 3, 4, 5}},
        {"c10 c3 c-7", {1, 2, 3, 4, 5}},  // never below Count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        std::unique_ptr<TList, TObjFree> list(NewObj<TList>());
        for (int v = 1; v <= 5; ++v)
            ASSERT_TRUE(list->Add(&cells[v]));
        std::istringstream in(c.steps);
        for (char step; in >> step;) {
            int32_t a = 0, b = 0;
            if (step != 'a') in >> a;
            if (step == 'd') in.ignore() >> b;
            const int32_t count = list->Count;
            bool ok = true;
            if (step == 'a') ok = list->Add(&cells[9]);
            if (step == 'i') ok = list->Insert(a, &cells[9]);
            if (step == 'd') list->DeleteRange(a, b);
            if (step == 'c') ok = list->SetCapacity(a);
            if (step == 'g') list->GrowBy = a;
            // Only a refused insert answers false, and it leaves the list as it was.
            EXPECT_EQ(ok, step != 'i' || list->Count > count) << step << a;
        }
        std::vector<int> entries;
        for (int32_t i = 0; i < list->Count; ++i)
            entries.push_back(static_cast<int>(static_cast<char*>(list->Get(i)) - cells));
        EXPECT_EQ(entries, c.expected);
        EXPECT_EQ(list->Get(list->Count), nullptr);
        EXPECT_EQ(list->Get(-1), nullptr);
        // ASan reports a write past a block shorter than the claimed capacity.
        ASSERT_GE(list->Capacity, list->Count);
        while (list->Count < list->Capacity)
            list->Items[list->Count++] = nullptr;
    }
}

}  // namespace
