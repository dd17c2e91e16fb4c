// TList: fixed-step growth, shifting inserts and deletes, and indexes outside the list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/list.h"

namespace {

using OwnedList = std::unique_ptr<TList, TObjFree>;

// Entries are addresses of cells, so a value reads back as a small number; 0 stands for null.
char cells[64];

void* P(int v) {
    return v == 0 ? nullptr : &cells[v];
}

int V(const void* p) {
    return p == nullptr ? 0 : static_cast<int>(static_cast<const char*>(p) - cells);
}

OwnedList MakeList(const std::vector<int>& values) {
    OwnedList list(NewObj<TList>());
    for (int v : values)
        EXPECT_TRUE(list->Add(P(v)));
    return list;
}

std::vector<int> Contents(const TList& list) {
    std::vector<int> out;
    for (int32_t i = 0; i < list.Count; ++i)
        out.push_back(V(list.Get(i)));
    return out;
}

std::vector<int> Range(int n) {
    std::vector<int> out;
    for (int i = 1; i <= n; ++i)
        out.push_back(i);
    return out;
}

// A step of 0 or less would never make room: it becomes 4, and the entries survive every growth.
TEST(TListGrowth, AStepOfZeroOrLessBecomesFour) {
    OwnedList list(NewObj<TList>());
    list->GrowBy = -3;
    for (int i = 1; i <= 13; ++i)
        ASSERT_TRUE(list->Add(P(i)));
    EXPECT_EQ(list->GrowBy, 4);
    EXPECT_EQ(Contents(*list), Range(13));
}

TEST(TListInsert, ShiftsLaterEntriesAndRefusesIndexesPastTheEnd) {
    struct Case {
        int32_t index;
        bool accepted;
        std::vector<int> expected;
    };
    // The list starts full (Count = Capacity = 4), so every accepted insert also grows it.
    const Case cases[] = {
        {0, true, {9, 1, 2, 3, 4}}, {3, true, {1, 2, 3, 9, 4}}, {4, true, {1, 2, 3, 4, 9}},
        {5, false, {1, 2, 3, 4}},   {-1, false, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        OwnedList list = MakeList({1, 2, 3, 4});
        EXPECT_EQ(list->Insert(c.index, P(9)), c.accepted);
        EXPECT_EQ(Contents(*list), c.expected);
        EXPECT_GE(list->Capacity, list->Count);
        EXPECT_EQ(list->Get(list->Count), nullptr);
        EXPECT_EQ(list->Get(-1), nullptr);
    }
}

TEST(TListDelete, DeleteRangeClampsAtTheEndAndIgnoresIndexesOutside) {
    struct Case {
        int32_t index;
        int32_t length;
        std::vector<int> expected;
    };
    const std::vector<int> all = {0, 1, 2, 3, 4, 5};
    const Case cases[] = {
        {1, 2, {0, 3, 4, 5}}, {4, 10, {0, 1, 2, 3}}, {0, INT32_MAX, {}},
        {2, -1, all},         {-1, 2, all},          {6, 1, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("DeleteRange(" + std::to_string(c.index) + ", " + std::to_string(c.length) + ")");
        OwnedList list = MakeList({0, 1, 2, 3, 4, 5});
        list->DeleteRange(c.index, c.length);
        EXPECT_EQ(Contents(*list), c.expected);
    }
}

TEST(TListCapacity, SetCapacityNeverDropsEntries) {
    struct Case {
        int32_t request;
        int32_t capacity;
    };
    const Case cases[] = {{10, 10}, {5, 5}, {3, 5}, {-7, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE("SetCapacity(" + std::to_string(c.request) + ")");
        OwnedList list = MakeList(Range(5));
        ASSERT_EQ(list->Capacity, 8);
        EXPECT_TRUE(list->SetCapacity(c.request));
        EXPECT_EQ(list->Capacity, c.capacity);
        EXPECT_EQ(Contents(*list), Range(5));
        // The block really has the room it claims (ASan reports a write past a short block).
        while (list->Count < list->Capacity)
            list->Add(P(0));
        EXPECT_EQ(list->Capacity, std::max(c.capacity, 5));
    }
}

}  // namespace
