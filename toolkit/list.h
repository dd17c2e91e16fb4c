// TList: a growable array of pointer-sized entries.
//
// It grows by a fixed step (GrowBy, 4 unless changed), not by doubling: toolkit lists are short (child
// controls, handlers, clean-up pairs) and a small step keeps them tight. The list never owns what its
// entries point to. Fields may be read freely; change them only through the methods (GrowBy excepted).
#pragma once

#include <cstdint>

#include "toolkit/obj.h"

class TList : public TObj {
public:
    static constexpr int32_t kDefaultGrowBy = 4;

    void** Items = nullptr;  // Capacity entries; null while Capacity is 0
    int32_t Count = 0;
    int32_t Capacity = 0;
    int32_t GrowBy = kDefaultGrowBy;  // 0 or less is reset to kDefaultGrowBy at the next Add

    // False only when memory ran out; the list is then unchanged.
    bool Add(void* item);
    // index may be 0 .. Count (Count appends); any other index is refused with false, the list unchanged.
    bool Insert(int32_t index, void* item);
    // Null when index is outside 0 .. Count - 1.
    void* Get(int32_t index) const;
    // The first index holding item, or -1.
    int32_t IndexOf(const void* item) const;
    void Delete(int32_t index) { DeleteRange(index, 1); }
    // Removes up to length entries from index on, cut at the end of the list.
    void DeleteRange(int32_t index, int32_t length);
    // Frees the block: Count and Capacity become 0.
    void Clear();
    // Resizes the block to n entries (never below Count), keeping the content. False when memory ran out.
    bool SetCapacity(int32_t n);

protected:
    ~TList() override;
};
