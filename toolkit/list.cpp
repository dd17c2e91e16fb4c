#include "toolkit/list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

TList::~TList() {
    std::free(static_cast<void*>(Items));
}

bool TList::Add(void* item) {
    if (GrowBy <= 0) GrowBy = kDefaultGrowBy;
    if (Count >= Capacity) {
        if (GrowBy > INT32_MAX - Count || !SetCapacity(Count + GrowBy)) return false;
    }
    // Never write outside the block, whatever a caller did to the fields.
    if (Items == nullptr || Count < 0 || Count >= Capacity) return false;
    Items[Count] = item;
    ++Count;
    return true;
}

bool TList::Insert(int32_t index, void* item) {
    // Storing at an index past the new entry would write outside the block, so such an index is refused.
    if (index < 0 || index > Count) return false;
    const int32_t oldCount = Count;
    if (!Add(nullptr)) return false;
    if (index < oldCount) {
        std::memmove(&Items[index + 1], &Items[index], static_cast<size_t>(oldCount - index) * sizeof(void*));
    }
    Items[index] = item;
    return true;
}

void* TList::Get(int32_t index) const {
    if (index < 0 || index >= Count) return nullptr;
    return Items[index];
}

int32_t TList::IndexOf(const void* item) const {
    for (int32_t i = 0; i < Count; ++i) {
        if (Items[i] == item) return i;
    }
    return -1;
}

void TList::DeleteRange(int32_t index, int32_t length) {
    // An index outside the list removes nothing; moving from there would touch memory outside the block.
    if (length <= 0 || index < 0 || index >= Count) return;
    if (length > Count - index) length = Count - index;
    const int32_t tail = Count - index - length;
    if (tail > 0) {
        std::memmove(&Items[index], &Items[index + length], static_cast<size_t>(tail) * sizeof(void*));
    }
    Count -= length;
}

void TList::Clear() {
    std::free(static_cast<void*>(Items));
    Items = nullptr;
    Count = 0;
    Capacity = 0;
}

bool TList::SetCapacity(int32_t n) {
    if (n < Count) n = Count;
    if (n == Capacity) return true;
    if (n == 0) {
        Clear();
        return true;
    }
    if (static_cast<size_t>(n) > SIZE_MAX / sizeof(void*)) return false;
    void* block = std::realloc(static_cast<void*>(Items), static_cast<size_t>(n) * sizeof(void*));
    if (block == nullptr) return false;
    Items = static_cast<void**>(block);
    Capacity = n;
    return true;
}
