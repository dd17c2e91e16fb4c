// The timer logic over a service that ticks on demand, step by step: TMMTimer's enable and interval
// rules, TKVMMTimer's count, stop, restart and busy rules (the busy round spanning the work its chain
// started), and a component freed by its own tick's chain.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "components/kvmmtimer.h"
#include "tests/support/fakes.h"
#include "tests/unit/testdata.h"

namespace {

// One timer component set up as the scheme sets it up, over its own fake platform, and what it did.
struct TRig {
    TRig() {
        timer.evTimer = MakeEvent<&TRig::onTimer>(this, 0);
        timer.evStop = MakeEvent<&TRig::onStop>(this, 0);
        timer.evError = MakeEvent<&TRig::onError>(this, 0);
        timer.SetResolution(1);  // made stopped, at 1000 ms and endless, as the scheme wants it
    }
    ~TRig() {
        if (lent != nullptr) lent->Drop();
    }
    // The chain behind evTimer; "busy": lets another tick through, as a modal loop inside it would;
    // "send": starts work that ends later (an echo), as actPing does; "restart": starts the timer
    // again; "free": destroys the component whose tick it is (the program closing during a tick),
    // then lets another tick through.
    void onTimer(TData& d, uint16_t /*index*/) {
        events += d.Type == kTypeNull ? "timer " : "timer? ";
        TData none;
        if (chain == "busy") fake.Tick();
        if (chain == "send") lent = TRound::Borrow();
        if (chain == "restart") timer.actStart(none, 0);
        if (chain == "free") {
            delete doomed;
            events += fake.running == nullptr ? "freed " : "still running ";
            fake.Tick();
        }
    }
    // A refusal reports the period, with the timer stopped.
    void onError(TData& d, uint16_t /*index*/) {
        events += (timer.Timer()->Enabled ? "refused? " : "refused ") + ToString(d) + " ";
    }
    // A stop reports a null value once the timer is stopped.
    void onStop(TData& d, uint16_t /*index*/) {
        events += d.Type == kTypeNull && !timer.Timer()->Enabled ? "stop " : "stop? ";
    }
    // The operations, in turn.
    void Do(const char* what) {
        std::istringstream ops(what);
        TData none;
        for (std::string op; ops >> op;) {
            int32_t n = 0;
            if (op == "start") timer.actStart(none, 0);
            if (op == "stop") timer.actStop(none, 0);
            if (op == "tick") fake.Tick();
            if (op == "answer") std::exchange(lent, nullptr)->Drop();
            if (op == "busy" || op == "send" || op == "restart" || op == "free") chain = op;
            if (op == "refuse") fake.refuses = true;
            if (op == "count" && ops >> n) timer.SetCount(n);
            if (op == "iv" && ops >> n) {
                TData value;
                SetInteger(value, n);
                timer.actInterval(value, 0);
            }
            if (op == "doomed" && ops >> n) {
                doomed = new TKVMMTimer(fake);
                doomed->evTimer = MakeEvent<&TRig::onTimer>(this, 0);
                doomed->SetCount(n);
                doomed->actStart(none, 0);
            }
        }
    }

    FakeTimers fake;
    TKVMMTimer timer{fake};
    std::string events;
    std::string chain;
    TKVMMTimer* doomed = nullptr;  // started by "doomed COUNT", freed by its own tick's chain
    TRound* lent = nullptr;        // the round of the last "send" chain, until "answer"
};

class KVMMTimer : public LinkedTest {};

// Each case, on a timer of its own: what is done, the outlets fired, the platform calls, and the
// timer's state after it. A refused start or restart (interval 0, or a platform that refuses) is
// reported and leaves the timer stopped: nothing looks as if it ran. A period past the platform's
// longest runs as sub-ticks. A component freed by its tick's chain stops its event at once, so the
// tick the chain lets through reaches nothing, and nothing of it is touched after the chain (ASan
// sees any access).
TEST_F(KVMMTimer, StepsFireTheOutletsAndCallThePlatformAsWritten) {
    const struct {
        const char* what;   // the operations, in turn
        const char* fired;  // the outlets fired
        const char* calls;  // the platform calls: +interval/resolution, -handle
        uint32_t handle;    // the timer's state after it
        bool enabled;
        int32_t remaining;
    } cases[] = {
        {"start", "", "+1000/1 ", 1, true, 0},
        {"start tick tick", "timer timer ", "+1000/1 ", 1, true, -1},  // one event; count 0 is endless
        {"start iv 1000", "", "+1000/1 ", 1, true, 0},                 // the same period restarts nothing
        {"start iv 500", "", "+1000/1 -1 +500/1 ", 2, true, 0},        // a restart is not a stop
        {"start stop stop tick", "stop stop ", "+1000/1 -1 ", 0, false, 0},  // every stop reports
        {"start stop iv 250", "stop ", "+1000/1 -1 ", 0, false, 0},          // stopped stays stopped
        {"iv 0 start start", "refused 0 refused 0 ", "+0/1 +0/1 ", 0, false, 0},
        {"iv 0 start stop", "refused 0 stop ", "+0/1 ", 0, false, 0},
        {"iv 70000 start", "", "+35000x2/1 ", 1, true, 0},
        {"iv 70000 start iv 999000", "", "+35000x2/1 -1 +55500x18/1 ", 2, true, 0},
        {"iv 40 start refuse iv 5000", "refused 5000 ", "+40/1 -1 +5000/1 ", 0, false, 0},  // a restart
        {"refuse iv 5000 start", "refused 5000 ", "+5000/1 ", 0, false, 0},
        {"count 3 start tick tick start", "timer timer ", "+1000/1 ", 1, true, 3},  // resets the count
        {"count 3 start tick tick tick tick", "timer timer timer stop ", "+1000/1 -1 ", 0, false, 0},
        {"count 1 start tick start tick", "timer stop timer stop ", "+1000/1 -1 +1000/1 -2 ", 0, false, 0},
        {"busy count 2 start tick", "timer ", "+1000/1 ", 1, true, 1},  // the nested tick leaves the count
        {"busy count 2 start tick tick", "timer timer stop ", "+1000/1 -1 ", 0, false, 0},  // after the chain
        {"restart count 1 start tick", "timer stop ", "+1000/1 -1 ", 0, false, 1},  // decided before it
        {"free doomed 0 tick", "timer freed ", "+1000/0 -1 ", 0, false, 0},
        {"free doomed 1 tick", "timer freed ", "+1000/0 -1 ", 0, false, 0},
        {"send count 3 start tick tick", "timer ", "+1000/1 ", 1, true, 2},  // dropped: its echo is out
        {"send count 3 start tick answer tick", "timer timer ", "+1000/1 ", 1, true, 1},  // round over
        {"send count 3 start tick answer stop", "timer stop ", "+1000/1 -1 ", 0, false, 2},
    };
    for (const auto& [what, fired, calls, handle, enabled, remaining] : cases) {
        SCOPED_TRACE(what);
        TRig rig;
        rig.Do(what);
        EXPECT_EQ(rig.events, fired);
        EXPECT_EQ(rig.fake.calls, calls);
        EXPECT_EQ(rig.timer.Timer()->Handle, handle);
        EXPECT_EQ(rig.timer.Timer()->Enabled, enabled);
        EXPECT_EQ(rig.timer.Remaining(), remaining);
    }
}

// The fewest sub-ticks whose period divides the interval, so the long period stays exact.
TEST(SplitPeriod, ALongPeriodRunsAsTheFewestSubTicksThatFitTheLongestExactly) {
    const struct {
        int32_t interval;
        uint32_t longest, period, count;
    } cases[] = {
        {65535, 65535, 65535, 1},  {999000, 1000000, 999000, 1},  // the two long ones: in the steps
        {131071, 65535, 43691, 3},                                // prime: within 3 ms of the period
        {0, 65535, 0, 1},          {10, 65535, 10, 1},
    };
    for (const auto& c : cases) {
        const TPeriodSplit s = SplitPeriod(c.interval, c.longest);
        EXPECT_EQ(s.Period, c.period) << c.interval;
        EXPECT_EQ(s.Count, c.count) << c.interval;
    }
}

}  // namespace
