#include "toolkit/obj.h"

#include "toolkit/list.h"

namespace {

// RefCount while an object is being destroyed: odd, so Free does nothing, and far from zero, so
// AddRef/ReleaseRef pairs (or a stray ReleaseRef) made by a clean-up step never come back to destroy
// it twice. A control that destroys its window during destruction gets exactly such a pair from its
// own window procedure.
constexpr int32_t kDying = 0x40000001;

}  // namespace

void TObj::Free() {
    if (RefCount == 0) {
        DestroyNow();
    } else if (RefCount % 2 == 0) {
        RefCount -= 1;
    }
}

void TObj::ReleaseRef() {
    RefCount -= 2;
    if (RefCount < 0 && RefCount % 2 != 0) DestroyNow();
}

bool TObj::Add2FreeList(TFreeProc proc, void* arg) {
    if (FreeList == nullptr) {
        FreeList = NewObj<TList>();
        if (FreeList == nullptr) return false;
    }
    if (!FreeList->Add(reinterpret_cast<void*>(proc))) return false;
    // A lone procedure without its argument would shift every later pair.
    if (!FreeList->Add(arg)) {
        FreeList->Delete(FreeList->Count - 1);
        return false;
    }
    return true;
}

void TObj::DestroyNow() {
    RefCount = kDying;
    delete this;
}

TObj::~TObj() {
    if (OnDestroy) {
        OnDestroy(this);
        OnDestroy = TOnEvent{};
    }
    if (FreeList != nullptr) {
        // Count is read afresh: a procedure may still queue another one, which then runs too.
        for (int32_t i = 0; i + 1 < FreeList->Count; i += 2) {
            auto proc = reinterpret_cast<TFreeProc>(FreeList->Get(i));
            proc(FreeList->Get(i + 1));
        }
        TList* list = FreeList;
        FreeList = nullptr;
        Free(list);
    }
}
