// TObj: holds that postpone a free, the destruction order, clean-up that touches the dying object,
// and Init dispatch. ASan turns a second destruction or a missed one into a failure.
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

// Init must reach the most derived override, once, after every constructor has run.
class TDerivedProbe : public TProbe {
public:
    explicit TDerivedProbe(Journal* journal) : TProbe(journal) { journal->entries.push_back("constructed"); }

protected:
    void Init() override { journal_->entries.push_back("derived init"); }
};

// ---- holds ----

// Each step: + AddRef, - ReleaseRef, F Free, then the RefCount after it, or x when it is destroyed.
TEST(TObjHolds, FreeIsCarriedOutByTheReleaseThatEndsTheHold) {
    const struct {
        const char* name;
        const char* steps;
    } cases[] = {
        {"free unheld destroys at once", "Fx"},
        {"free while held waits for the release", "+2 F1 F1 -x"},
        {"two holds, free between", "+2 +4 F3 -1 F1 -x"},
        {"hold ended before the free", "+2 -0 Fx"},
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
    Journal* journal = nullptr;
    std::vector<TObj*> senders;
    void OnDestroyed(TObj* sender) {
        senders.push_back(sender);
        journal->entries.push_back("ondestroy");
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
    Recorder recorder{&journal, {}};
    obj->OnDestroy = MakeOnEvent<&Recorder::OnDestroyed>(&recorder);

    EXPECT_EQ(obj->FreeList, nullptr) << "created on first use only";
    Tagged first{&journal, "first"};
    Tagged second{&journal, "second"};
    Tagged third{&journal, "third"};
    ASSERT_TRUE(obj->Add2FreeList(&RecordTag, &first));
    ASSERT_TRUE(obj->Add2FreeList(&RecordTag, &second));
    // The usual use: an owned object dies with its owner (LeakSanitizer reports it otherwise).
    ASSERT_TRUE(obj->Add2FreeList(&FreeObject, NewObj<TProbe>(&ownedJournal)));
    ASSERT_TRUE(obj->Add2FreeList(&RecordTag, &third));
    Watched watched{&journal, obj};
    ASSERT_TRUE(obj->Add2FreeList(&RecordOnDestroyCleared, &watched));

    TObj* const sender = obj;
    obj->Free();

    const std::vector<std::string> expected = {"init",   "subclass", "ondestroy",        "first",
                                               "second", "third",    "ondestroy cleared"};
    EXPECT_EQ(journal.entries, expected);
    EXPECT_EQ(journal.destroyed, 1);
    EXPECT_EQ(ownedJournal.destroyed, 1);
    ASSERT_EQ(recorder.senders.size(), 1U);
    EXPECT_EQ(recorder.senders[0], sender);
}

// What a clean-up step does to the object that is dying: a control destroying its window gets its own
// window procedure's AddRef/ReleaseRef pair in the middle of its destruction.
enum class Touch { Free, HoldAndRelease, HoldFreeRelease, StrayRelease };

void TouchObject(TObj* obj, Touch touch) {
    switch (touch) {
        case Touch::Free:
            obj->Free();
            break;
        case Touch::HoldAndRelease:
            obj->AddRef();
            obj->ReleaseRef();
            break;
        case Touch::HoldFreeRelease:
            obj->AddRef();
            obj->Free();
            obj->ReleaseRef();
            break;
        case Touch::StrayRelease:
            obj->ReleaseRef();
            break;
    }
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

// ---- creation ----

TEST(TObjCreation, NewObjCallsTheMostDerivedInitOnceAfterConstruction) {
    Journal journal;
    TDerivedProbe* obj = NewObj<TDerivedProbe>(&journal);
    EXPECT_EQ(obj->RefCount, 0);
    EXPECT_FALSE(obj->OnDestroy);
    const std::vector<std::string> expected = {"constructed", "derived init"};
    EXPECT_EQ(journal.entries, expected);
    obj->Free();
    EXPECT_EQ(journal.destroyed, 1);
}

}  // namespace
