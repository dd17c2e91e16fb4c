// The timer logic over a service that ticks on demand, step by step: TMMTimer's enable and interval
// rules, TKVMMTimer's count, stop, restart and busy rules (the busy round spanning the work its chain
// started), and a component freed by its own tick's chain.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "components/kvmmtimer.h"
#include "tests/unit/testdata.h"
#include "toolkit/mmtimer.h"

namespace {

// One timer event at a time, as the steps need.
class FakeTimers final : public TTimerService {
public:
    std::string calls;  // "+INTERVAL/RESOLUTION " per start, "-HANDLE " per stop
    TMMTimer* running = nullptr;
    uint32_t next = 1;

    uint32_t Start(TMMTimer& timer) override {
        calls += "+" + std::to_string(timer.Interval) + "/" + std::to_string(timer.Resolution) + " ";
        if (timer.Interval <= 0) return 0;  // as winmm refuses a zero period
        EXPECT_EQ(running, nullptr);
        running = &timer;
        return next++;
    }
    void Stop(TMMTimer& timer, uint32_t handle) override {
        calls += "-" + std::to_string(handle) + " ";
        EXPECT_EQ(running, &timer);
        running = nullptr;
    }
    // One tick, as the platform would hand it over.
    void Tick() {
        if (running != nullptr) running->Tick();
    }
};

class KVMMTimer : public LinkedTest {
public:
    void SetUp() override {
        LinkedTest::SetUp();
        timer.evTimer = MakeEvent<&KVMMTimer::onTimer>(this, 0);
        timer.evStop = MakeEvent<&KVMMTimer::onStop>(this, 0);
        // As the scheme sets it up.
        timer.SetResolution(1);
        timer.SetInterval(1000);
        timer.SetEnable(false);
        timer.SetCount(0);
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
    // A stop reports a null value once the timer is stopped.
    void onStop(TData& d, uint16_t /*index*/) {
        events += d.Type == kTypeNull && !timer.Timer()->Enabled ? "stop " : "stop? ";
    }

    FakeTimers fake;
    TKVMMTimer timer{fake};
    std::string events;
    std::string chain;
    TKVMMTimer* doomed = nullptr;  // started by "doomed COUNT", freed by its own tick's chain
    TRound* lent = nullptr;        // the round of the last "send" chain, until "answer"
};

// Each step: what is done, the outlets fired, the platform calls, and the timer's state after it. A
// refused start (interval 0) leaves Handle 0 with Enabled true; the next start or interval tries
// again. A component freed by its tick's chain stops its event at once, so the tick the chain lets
// through reaches nothing, and nothing of it is touched after the chain (ASan sees any access).
TEST_F(KVMMTimer, StepsFireTheOutletsAndCallThePlatformAsWritten) {
    const struct {
        const char* what;   // the operations, in turn
        const char* fired;  // the outlets fired
        const char* calls;  // the platform calls: +interval/resolution, -handle
        uint32_t handle;    // the timer's state after it
        bool enabled;
        int32_t remaining;
    } steps[] = {
        {"start", "", "+1000/1 ", 1, true, 0},
        {"start tick tick", "timer timer ", "", 1, true, -1},   // one event, not two; count 0 is endless
        {"iv 1000", "", "", 1, true, -1},                       // the same period restarts nothing
        {"iv 500", "", "-1 +500/1 ", 2, true, -1},              // a restart is not a stop
        {"stop stop tick", "stop stop ", "-2 ", 0, false, -1},  // every stop reports; no tick after
        {"iv 250", "", "", 0, false, -1},                       // a stopped timer stays stopped
        {"iv 0 start", "", "+0/1 ", 0, true, 0},
        {"start", "", "+0/1 ", 0, true, 0},
        {"stop", "stop ", "", 0, false, 0},
        {"iv 40 start", "", "+40/1 ", 3, true, 0},
        {"count 3 start tick tick start", "timer timer ", "", 3, true, 3},  // a start only resets the count
        {"tick tick tick tick", "timer timer timer stop ", "-3 ", 0, false, 0},
        {"start tick tick tick", "timer timer timer stop ", "+40/1 -4 ", 0, false, 0},
        {"busy count 2 start tick", "timer ", "+40/1 ", 5, true, 1},  // the nested tick leaves the count
        {"tick", "timer stop ", "-5 ", 0, false, 0},                  // the stop follows the chain
        {"restart count 1 start tick", "timer stop ", "+40/1 -6 ", 0, false, 1},  // decided before it
        {"free doomed 0 tick", "timer freed ", "+1000/0 -7 ", 0, false, 1},
        {"free doomed 1 tick", "timer freed ", "+1000/0 -8 ", 0, false, 1},
        {"send count 3 start tick tick", "timer ", "+40/1 ", 9, true, 2},  // dropped: its echo is out
        {"answer tick", "timer ", "", 9, true, 1},                         // the round ended with it
        {"answer stop", "stop ", "-9 ", 0, false, 1},
    };
    for (const auto& [what, fired, calls, handle, enabled, remaining] : steps) {
        SCOPED_TRACE(what);
        std::istringstream ops(what);
        TData none;
        for (std::string op; ops >> op;) {
            int32_t n = 0;
            if (op == "start") timer.actStart(none, 0);
            if (op == "stop") timer.actStop(none, 0);
            if (op == "tick") fake.Tick();
            if (op == "answer") std::exchange(lent, nullptr)->Drop();
            if (op == "busy" || op == "send" || op == "restart" || op == "free") chain = op;
            if (op == "count" && ops >> n) timer.SetCount(n);
            if (op == "iv" && ops >> n) {
                TData value;
                SetInteger(value, n);
                timer.actInterval(value, 0);
            }
            if (op == "doomed" && ops >> n) {
                doomed = new TKVMMTimer(fake);
                doomed->evTimer = MakeEvent<&KVMMTimer::onTimer>(this, 0);
                doomed->SetCount(n);
                doomed->actStart(none, 0);
            }
        }
        EXPECT_EQ(events, fired);
        EXPECT_EQ(fake.calls, calls);
        EXPECT_EQ(timer.Timer()->Handle, handle);
        EXPECT_EQ(timer.Timer()->Enabled, enabled);
        EXPECT_EQ(timer.Remaining(), remaining);
        events.clear();
        fake.calls.clear();
    }
}

}  // namespace
