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
    for (int v : values) {
        EXPECT_TRUE(list->Add(P(v)));
    }
    return list;
}

std::vector<int> Contents(const TList& list) {
    std::vector<int> out;
    out.reserve(static_cast<size_t>(list.Count));
    for (int32_t i = 0; i < list.Count; ++i) {
        out.push_back(V(list.Get(i)));
    }
    return out;
}

std::vector<int> Range(int n) {
    std::vector<int> out;
    for (int i = 1; i <= n; ++i) {
        out.push_back(i);
    }
    return out;
}

// A step of 0 or less would never make room: it becomes 4.
TEST(TListGrowth, GrowsByAFixedStepAndKeepsEntries) {
    struct Case {
        int32_t growBy;
        int adds;
        int32_t growByAfter;
    };
    const Case cases[] = {{4, 13, 4}, {10, 11, 10}, {0, 1, 4}, {-3, 5, 4}, {1, 3, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE("GrowBy " + std::to_string(c.growBy) + ", " + std::to_string(c.adds) + " adds");
        OwnedList list(NewObj<TList>());
        list->GrowBy = c.growBy;
        for (int i = 1; i <= c.adds; ++i) {
            ASSERT_TRUE(list->Add(P(i)));
        }
        EXPECT_EQ(list->GrowBy, c.growByAfter);
        EXPECT_GE(list->Capacity, list->Count);
        EXPECT_EQ(Contents(*list), Range(c.adds));
    }
}

TEST(TListAccess, GetOutsideTheListIsNull) {
    OwnedList empty(NewObj<TList>());
    OwnedList list = MakeList({7, 8, 9});
    struct Case {
        const TList* list;
        int32_t index;
        int expected;
    };
    const Case cases[] = {
        {empty.get(), 0, 0}, {empty.get(), -1, 0}, {list.get(), -1, 0}, {list.get(), 0, 7},
        {list.get(), 2, 9},  {list.get(), 3, 0},   {list.get(), 4, 0},  {list.get(), INT32_MIN, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        EXPECT_EQ(V(c.list->Get(c.index)), c.expected);
    }
}

TEST(TListAccess, IndexOfFindsTheFirstOccurrence) {
    OwnedList list = MakeList({5, 6, 5, 0, 6});
    EXPECT_EQ(list->IndexOf(P(5)), 0);
    EXPECT_EQ(list->IndexOf(P(6)), 1);
    EXPECT_EQ(list->IndexOf(nullptr), 3);
    EXPECT_EQ(list->IndexOf(P(7)), -1);
    OwnedList empty(NewObj<TList>());
    EXPECT_EQ(empty->IndexOf(nullptr), -1);
}

TEST(TListInsert, ShiftsLaterEntriesAndRefusesIndexesPastTheEnd) {
    struct Case {
        int32_t index;
        bool accepted;
        std::vector<int> expected;
    };
    // The list starts full (Count = Capacity = 4), so every accepted insert also grows it.
    const Case cases[] = {
        {0, true, {9, 1, 2, 3, 4}}, {1, true, {1, 9, 2, 3, 4}}, {3, true, {1, 2, 3, 9, 4}},
        {4, true, {1, 2, 3, 4, 9}}, {5, false, {1, 2, 3, 4}},   {-1, false, {1, 2, 3, 4}},
        {100, false, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        OwnedList list = MakeList({1, 2, 3, 4});
        EXPECT_EQ(list->Insert(c.index, P(9)), c.accepted);
        EXPECT_EQ(Contents(*list), c.expected);
        EXPECT_GE(list->Capacity, list->Count);
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
        {1, 2, {0, 3, 4, 5}},
        {0, 1, {1, 2, 3, 4, 5}},
        {5, 1, {0, 1, 2, 3, 4}},
        {4, 10, {0, 1, 2, 3}},
        {0, 6, {}},
        {0, INT32_MAX, {}},
        {2, 0, all},
        {2, -1, all},
        {-1, 2, all},
        {6, 1, all},
        {50, 3, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("DeleteRange(" + std::to_string(c.index) + ", " + std::to_string(c.length) + ")");
        OwnedList list = MakeList({0, 1, 2, 3, 4, 5});
        list->DeleteRange(c.index, c.length);
        EXPECT_EQ(Contents(*list), c.expected);
    }
}

TEST(TListDelete, ClearFreesTheBlockAndTheListStaysUsable) {
    OwnedList list = MakeList(Range(6));
    list->Clear();
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->Capacity, 0);
    EXPECT_EQ(list->Items, nullptr);
    EXPECT_EQ(list->Get(0), nullptr);
    ASSERT_TRUE(list->Add(P(42)));
    EXPECT_EQ(Contents(*list), (std::vector<int>{42}));
}

TEST(TListCapacity, SetCapacityNeverDropsEntries) {
    struct Case {
        int32_t request;
        int32_t capacity;
    };
    const Case cases[] = {{10, 10}, {5, 5}, {3, 5}, {0, 5}, {-7, 5}, {8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE("SetCapacity(" + std::to_string(c.request) + ")");
        OwnedList list = MakeList(Range(5));
        ASSERT_EQ(list->Capacity, 8);
        EXPECT_TRUE(list->SetCapacity(c.request));
        EXPECT_EQ(list->Capacity, c.capacity);
        EXPECT_EQ(Contents(*list), Range(5));
        // The block really has the room it claims (ASan reports a write past a short block).
        while (list->Count < list->Capacity) {
            list->Add(P(0));
        }
        EXPECT_EQ(list->Capacity, std::max(c.capacity, 5));
    }
}

}  // namespace
