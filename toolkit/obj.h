// TObj: the root of every toolkit object (lists, controls, canvases, timers).
//
// Lifetime rules shared by all of them:
// - Objects live on the heap and are made by NewObj<T>(...), which constructs and then calls the
//   virtual Init, so a subclass can finish setting up once its whole vtable is in place.
// - Free destroys at once unless the object is held. AddRef/ReleaseRef bracket code that may free,
//   indirectly, the object it works on; a Free inside the bracket is carried out by the ReleaseRef
//   that ends it. RefCount is twice the holds, plus 1 once a free was asked while held.
// - A subclass adds its own destruction step in its destructor. C++ runs destructors from the most
//   derived class down, so every subclass's clean-up runs first and ~TObj runs last: it calls
//   OnDestroy, then the FreeList pairs, and `delete` releases the memory. That is exactly the order
//   we need, with no "remember to call the base" rule a virtual Destroy method would bring.
//   Destructors are protected: only Free/ReleaseRef end an object's life.
// - OnDestroy receives the object while ~TObj runs: subclass parts are already gone, so a handler may
//   compare the sender or use its TObj part, nothing more.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "toolkit/method.h"

class TList;

// A clean-up call run when its object dies.
using TFreeProc = void (*)(void* arg);

class TObj {
public:
    int32_t RefCount = 0;
    TOnEvent OnDestroy;         // called once, with the dying object as sender
    TList* FreeList = nullptr;  // pairs (procedure, argument); created on first use

    TObj() = default;
    TObj(const TObj&) = delete;
    TObj& operator=(const TObj&) = delete;

    // Destroys now when not held; marks a requested free when held; a second request changes nothing.
    void Free();
    // Free that accepts null: the usual way to free a field that may not have been created.
    static void Free(TObj* obj) {
        if (obj != nullptr) obj->Free();
    }
    void AddRef() { RefCount += 2; }
    void ReleaseRef();

    // Queues proc(arg) for the object's destruction, after OnDestroy, first added first called.
    // False when memory ran out (nothing queued).
    bool Add2FreeList(TFreeProc proc, void* arg);

protected:
    virtual ~TObj();
    // Called by NewObj once construction is complete.
    virtual void Init() {}

private:
    template <class T, class... A>
    friend T* NewObj(A&&... args);

    void DestroyNow();
};

// Holds an object across a call that may free it (a handler, a chain it starts): a free asked
// meanwhile waits for the end of the hold. Freed tells whether one was asked since the hold began; a
// free asked before, under an outer hold, does not count, and the object goes on working until that
// hold ends.
class TKeepAlive {
public:
    explicit TKeepAlive(TObj* obj) : obj_(obj), freedBefore_(FreeAsked(obj)) { obj_->AddRef(); }
    ~TKeepAlive() { obj_->ReleaseRef(); }
    TKeepAlive(const TKeepAlive&) = delete;
    TKeepAlive& operator=(const TKeepAlive&) = delete;

    bool Freed() const { return !freedBefore_ && FreeAsked(obj_); }

private:
    static bool FreeAsked(const TObj* obj) { return (obj->RefCount & 1) != 0; }
    TObj* obj_;
    bool freedBefore_;
};

// The generic constructor: builds a T, calls its Init, returns it with RefCount 0; null when memory ran
// out.
template <class T, class... A>
T* NewObj(A&&... args) {
    static_assert(std::is_base_of_v<TObj, T>, "NewObj makes toolkit objects only");
    T* obj = new (std::nothrow) T(std::forward<A>(args)...);
    if (obj == nullptr) return nullptr;
    static_cast<TObj*>(obj)->Init();
    return obj;
}

// For C++ owners: std::unique_ptr<TList, TObjFree> frees through Free, so holds are respected.
struct TObjFree {
    void operator()(TObj* obj) const { TObj::Free(obj); }
};
