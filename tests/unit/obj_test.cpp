// TObj: holds that postpone a free, the destruction order, clean-up that touches the dying object,
// and Init. ASan turns a second destruction or a missed one into a failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/method.h"
#include "toolkit/obj.h"

namespace {

struct Journal {
    std::vector<std::string> entries;
    int destroyed = 0;
};

class TProbe : public TObj {
public:
    explicit TProbe(Journal* journal) : journal_(journal) {}
    Journal* journal_;

protected:
    void Init() override { journal_->entries.push_back("init"); }
    ~TProbe() override {
        journal_->entries.push_back("subclass");
        ++journal_->destroyed;
    }
};

// ---- holds ----

// Each step: + AddRef, - ReleaseRef, F Free, then the RefCount after it, or x when it is destroyed.
TEST(TObjHolds, FreeIsCarriedOutByTheReleaseThatEndsTheHold) {
    const struct {
        const char* name;
        const char* steps;
    } cases[] = {
        {"free unheld destroys at once", "Fx"},
        {"two holds, free between, twice", "+2 +4 F3 -1 F1 -x"},
        {"held again after the request", "+2 F1 +3 -1 -x"},
        {"releases alone never destroy", "+2 +4 -2 -0 Fx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        TProbe* obj = NewObj<TProbe>(&journal);
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            SCOPED_TRACE(step);
            if (step[0] == '+') obj->AddRef();
            if (step[0] == '-') obj->ReleaseRef();
            if (step[0] == 'F') obj->Free();
            const bool destroyed = step[1] == 'x';
            ASSERT_EQ(journal.destroyed, destroyed ? 1 : 0);
            if (!destroyed) {
                EXPECT_EQ(obj->RefCount, std::stoi(step.substr(1)));
            }
        }
        EXPECT_EQ(journal.destroyed, 1);
    }
}

// ---- destruction order ----

struct Recorder {
    Journal* journal;
    TObj* sender;
    void OnDestroyed(TObj* s) {
        journal->entries.push_back(s == sender ? "ondestroy" : "ondestroy, wrong sender");
    }
};

struct Tagged {
    Journal* journal;
    const char* tag;
};

void RecordTag(void* arg) {
    auto* t = static_cast<Tagged*>(arg);
    t->journal->entries.push_back(t->tag);
}

// Only the TObj part is left by now, so the object travels as a TObj.
struct Watched {
    Journal* journal;
    TObj* obj;
};

void RecordOnDestroyCleared(void* arg) {
    auto* w = static_cast<Watched*>(arg);
    w->journal->entries.push_back(w->obj->OnDestroy ? "ondestroy still set" : "ondestroy cleared");
}

void FreeObject(void* arg) {
    TObj::Free(static_cast<TObj*>(arg));
}

TEST(TObjDestruction, SubclassThenOnDestroyThenFreeListInOrder) {
    Journal journal;
    Journal ownedJournal;
    TProbe* obj = NewObj<TProbe>(&journal);
    Recorder recorder{&journal, obj};
    obj->OnDestroy = MakeOnEvent<&Recorder::OnDestroyed>(&recorder);

    Tagged first{&journal, "first"}, third{&journal, "third"};
    ASSERT_TRUE(obj->Add2FreeList(&RecordTag, &first));
    // The usual use: an owned object dies with its owner (LeakSanitizer reports it otherwise).
    ASSERT_TRUE(obj->Add2FreeList(&FreeObject, NewObj<TProbe>(&ownedJournal)));
    ASSERT_TRUE(obj->Add2FreeList(&RecordTag, &third));
    Watched watched{&journal, obj};
    ASSERT_TRUE(obj->Add2FreeList(&RecordOnDestroyCleared, &watched));

    obj->Free();

    const std::vector<std::string> expected = {"init",  "subclass", "ondestroy",
                                               "first", "third",    "ondestroy cleared"};
    EXPECT_EQ(journal.entries, expected);
    EXPECT_EQ(journal.destroyed, 1);
    EXPECT_EQ(ownedJournal.destroyed, 1);
}

// What a clean-up step does to the object that is dying: a control destroying its window gets its own
// window procedure's AddRef/ReleaseRef pair in the middle of its destruction.
enum class Touch { Free, HoldAndRelease, HoldFreeRelease, StrayRelease };

void TouchObject(TObj* obj, Touch touch) {
    if (touch != Touch::Free && touch != Touch::StrayRelease) obj->AddRef();
    if (touch == Touch::Free || touch == Touch::HoldFreeRelease) obj->Free();
    if (touch != Touch::Free) obj->ReleaseRef();
}

struct Toucher {
    Touch touch = Touch::Free;
    int calls = 0;
    void OnDestroyed(TObj* sender) {
        ++calls;
        TouchObject(sender, touch);
    }
};

struct TouchArg {
    TObj* obj;
    Touch touch;
    int calls;
};

void TouchFromFreeList(void* arg) {
    auto* t = static_cast<TouchArg*>(arg);
    ++t->calls;
    TouchObject(t->obj, t->touch);
}

TEST(TObjDestruction, CleanUpThatTouchesTheDyingObjectDoesNotDestroyItAgain) {
    const Touch touches[] = {Touch::Free, Touch::HoldAndRelease, Touch::HoldFreeRelease, Touch::StrayRelease};
    for (Touch touch : touches) {
        for (bool endedByRelease : {false, true}) {
            SCOPED_TRACE("touch " + std::to_string(static_cast<int>(touch)) +
                         (endedByRelease ? ", ended by ReleaseRef" : ", ended by Free"));
            Journal journal;
            TProbe* obj = NewObj<TProbe>(&journal);
            Toucher toucher{touch, 0};
            obj->OnDestroy = MakeOnEvent<&Toucher::OnDestroyed>(&toucher);
            TouchArg arg{obj, touch, 0};
            ASSERT_TRUE(obj->Add2FreeList(&TouchFromFreeList, &arg));

            if (endedByRelease) {
                obj->AddRef();
                obj->Free();
                EXPECT_EQ(journal.destroyed, 0);
                obj->ReleaseRef();
            } else {
                obj->Free();
            }
            EXPECT_EQ(journal.destroyed, 1);
            EXPECT_EQ(toucher.calls, 1);
            EXPECT_EQ(arg.calls, 1);
        }
    }
}

}  // namespace
