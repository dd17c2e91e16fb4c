// TObj: holds that postpone a free, the destruction order, and clean-up that touches the dying
// object. ASan turns a second destruction or a missed one into a failure.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "toolkit/method.h"
#include "toolkit/obj.h"

namespace {

using Journal = std::vector<std::string>;
Journal journal;
int destroyed = 0;

class TProbe : public TObj {
protected:
    ~TProbe() override {
        journal.push_back("subclass");
        ++destroyed;
    }
};

// What clean-up does to the object that is dying: a control destroying its window gets its own
// window procedure's AddRef/ReleaseRef pair in the middle of its destruction.
enum Touch { kFree, kHoldAndRelease, kHoldFreeRelease, kStrayRelease };

struct Toucher {
    TObj* obj;
    Touch touch;
    void Run() {
        if (touch == kHoldAndRelease || touch == kHoldFreeRelease) obj->AddRef();
        if (touch == kFree || touch == kHoldFreeRelease) obj->Free();
        if (touch != kFree) obj->ReleaseRef();
    }
    void OnDestroyed(TObj* sender) {
        journal.push_back(sender == obj ? "ondestroy" : "ondestroy, wrong sender");
        Run();
    }
};

// Only the TObj part is left by now: OnDestroy has had its one call.
void TouchFromFreeList(void* arg) {
    auto* t = static_cast<Toucher*>(arg);
    journal.push_back(t->obj->OnDestroy ? "free list, ondestroy still set" : "free list");
    t->Run();
}

// Ways to end the object's life, each step + AddRef, - ReleaseRef or F Free, then the RefCount after
// it, or x where it is destroyed; times what clean-up does to the object then.
TEST(TObj, TheReleaseThatEndsTheHoldFreesOnceWhateverCleanUpDoesToTheObject) {
    for (const char* steps : {"Fx", "+2 +4 F3 -1 F1 -x", "+2 F1 +3 -1 -x", "+2 +4 -2 -0 Fx"}) {
        for (Touch touch : {kFree, kHoldAndRelease, kHoldFreeRelease, kStrayRelease}) {
            SCOPED_TRACE(steps + (", touch " + std::to_string(touch)));
            journal.clear();
            destroyed = 0;
            TProbe* obj = NewObj<TProbe>();
            Toucher toucher{obj, touch};
            obj->OnDestroy = MakeMethod<&Toucher::OnDestroyed>(&toucher);
            ASSERT_TRUE(obj->Add2FreeList(&TouchFromFreeList, &toucher));
            // The usual use: an owned object dies with its owner, in the list's order.
            ASSERT_TRUE(obj->Add2FreeList([](void* owned) { TObj::Free(static_cast<TObj*>(owned)); },
                                          NewObj<TProbe>()));
            std::istringstream in(steps);
            for (std::string step; in >> step;) {
                if (step[0] == '+') obj->AddRef();
                if (step[0] == '-') obj->ReleaseRef();
                if (step[0] == 'F') obj->Free();
                ASSERT_EQ(destroyed, step[1] == 'x' ? 2 : 0) << step;
                if (step[1] == 'x') break;
                EXPECT_EQ(obj->RefCount, std::stoi(step.substr(1))) << step;
            }
            EXPECT_EQ(journal, (Journal{"subclass", "ondestroy", "free list", "subclass"}));
        }
    }
}

}  // namespace
