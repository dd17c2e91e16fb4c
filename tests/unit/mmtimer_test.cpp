// The timer logic over a service that ticks on demand: TMMTimer's enable and interval rules and
// destruction, and TKVMMTimer's count, stop, restart and busy rules.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "components/kvmmtimer.h"
#include "tests/unit/testdata.h"
#include "toolkit/mmtimer.h"

namespace {

using Calls = std::vector<std::string>;

class FakeTimers final : public TTimerService {
public:
    Calls calls;  // "start <interval> <resolution> <periodic>", "stop <handle>"
    std::map<uint32_t, TMMTimer*> live;
    uint32_t next = 1;

    uint32_t Start(TMMTimer& timer) override {
        calls.push_back("start " + std::to_string(timer.Interval) + " " + std::to_string(timer.Resolution) +
                        " " + std::to_string(timer.Periodic ? 1 : 0));
        if (timer.Interval <= 0) return 0;  // as winmm refuses a zero period
        live[next] = &timer;
        return next++;
    }
    void Stop(TMMTimer& timer, uint32_t handle) override {
        calls.push_back("stop " + std::to_string(handle));
        EXPECT_EQ(live[handle], &timer);
        live.erase(handle);
    }
    // One tick of every running event, as the platform would hand it over.
    void TickAll() {
        const auto now = live;
        for (const auto& [handle, timer] : now) {
            if (live.count(handle) != 0) timer->Tick();
        }
    }
    Calls Take() {
        Calls out;
        out.swap(calls);
        return out;
    }
};

using TimerPtr = std::unique_ptr<TMMTimer, TObjFree>;

// Each step: what is done ("on", "off", "once" for a one-shot, a number for SetInterval), the
// platform calls it makes, and the state after it. A refused start (interval 0) leaves Handle 0 with
// Enabled true; the next enable or interval tries again.
TEST(MMTimer, EnableAndIntervalFollowTheHandleNotTheRequest) {
    FakeTimers fake;
    TimerPtr t(NewMMTimer(1000, fake));
    t->Resolution = 1;
    struct Step {
        const char* ops;
        Calls calls;
        uint32_t handle;
        bool enabled;
    };
    const Step steps[] = {
        {"on", {"start 1000 1 1"}, 1, true},
        {"on", {}, 1, true},
        {"1000", {}, 1, true},
        {"500", {"stop 1", "start 500 1 1"}, 2, true},
        {"off", {"stop 2"}, 0, false},
        {"off", {}, 0, false},
        {"250", {}, 0, false},
        {"0 on", {"start 0 1 1"}, 0, true},
        {"on", {"start 0 1 1"}, 0, true},
        {"40", {"start 40 1 1"}, 3, true},
        {"once 41", {"stop 3", "start 41 1 0"}, 4, true},
        {"0 off", {"stop 4", "start 0 1 0"}, 0, false},
    };
    int n = 0;
    for (const Step& s : steps) {
        std::istringstream ops(s.ops);
        for (std::string op; ops >> op;) {
            if (op == "on" || op == "off") {
                t->SetEnabled(op == "on");
            } else if (op == "once") {
                t->Periodic = false;
            } else {
                t->SetInterval(std::stoi(op));
            }
        }
        SCOPED_TRACE("step " + std::to_string(++n) + ": " + s.ops);
        EXPECT_EQ(fake.Take(), s.calls);
        EXPECT_EQ(t->Handle, s.handle);
        EXPECT_EQ(t->Enabled, s.enabled);
    }
}

// The second tick's handler frees its timer: the event is cancelled once the handler has returned.
TEST(MMTimer, TicksReachTheHandlerWhichMayFreeItsTimer) {
    FakeTimers fake;
    struct Handler {
        FakeTimers* fake;
        std::vector<TObj*> senders;
        size_t callsDuringFree = 99;
        void onTick(TObj* sender) {
            senders.push_back(sender);
            if (senders.size() != 2) return;
            sender->Free();
            callsDuringFree = fake->calls.size();
        }
    } handler{&fake, {}};
    TMMTimer* t = NewMMTimer(100, fake);
    fake.TickAll();  // not started: nothing runs
    t->SetEnabled(true);
    t->Tick();  // no handler: nothing to call
    t->OnTimer = MakeOnEvent<&Handler::onTick>(&handler);
    fake.Take();
    fake.TickAll();
    fake.TickAll();
    EXPECT_EQ(handler.senders, (std::vector<TObj*>{t, t}));
    EXPECT_EQ(handler.callsDuringFree, 0u);
    EXPECT_EQ(fake.Take(), Calls{"stop 1"});
    EXPECT_TRUE(fake.live.empty());
}

// ---- TKVMMTimer

struct Outlets {
    TKVMMTimer* timer = nullptr;
    std::vector<std::string> events;
    void (*onTimer)(Outlets&) = nullptr;
    void tick(TData& d, uint16_t) {
        events.push_back(d.Type == kTypeNull ? "timer" : "timer?");
        if (onTimer != nullptr) onTimer(*this);
    }
    void stop(TData& d, uint16_t) {
        events.push_back(std::string(d.Type == kTypeNull ? "stop" : "stop?") +
                         (timer->Timer()->Enabled ? " running" : ""));
    }
};

class KVMMTimer : public ::testing::Test {
protected:
    void SetUp() override {
        EnableLinks();
        out.timer = &timer;
        timer.evTimer = MakeEvent<&Outlets::tick>(&out, 0);
        timer.evStop = MakeEvent<&Outlets::stop>(&out, 0);
        // As the scheme sets it up.
        timer.SetResolution(1);
        timer.SetInterval(1000);
        timer.SetEnable(false);
        timer.SetCount(0);
    }
    void TearDown() override { DisableLinks(); }
    void Act(void (TKVMMTimer::*entry)(TData&, uint16_t), TData data = TData{}) { (timer.*entry)(data, 0); }

    FakeTimers fake;
    TKVMMTimer timer{fake};
    Outlets out;
};

TEST_F(KVMMTimer, CountOfThreeGivesThreeTicksThenOneStop) {
    timer.SetCount(3);
    Act(&TKVMMTimer::actStart);
    EXPECT_EQ(fake.Take(), Calls{"start 1000 1 1"});
    for (int i = 0; i < 5; ++i)
        fake.TickAll();
    EXPECT_EQ(out.events, (std::vector<std::string>{"timer", "timer", "timer", "stop"}));
    EXPECT_EQ(fake.Take(), Calls{"stop 1"});
    EXPECT_EQ(timer.Remaining(), 0);
    // A new start counts afresh.
    out.events.clear();
    Act(&TKVMMTimer::actStart);
    for (int i = 0; i < 4; ++i)
        fake.TickAll();
    EXPECT_EQ(out.events, (std::vector<std::string>{"timer", "timer", "timer", "stop"}));
}

TEST_F(KVMMTimer, CountZeroRunsUntilStopAndEveryStopReports) {
    Act(&TKVMMTimer::actStart);
    for (int i = 0; i < 10; ++i)
        fake.TickAll();
    EXPECT_EQ(timer.Remaining(), -1);
    EXPECT_EQ(out.events.size(), 10u);
    fake.Take();
    out.events.clear();
    Act(&TKVMMTimer::actStop);
    Act(&TKVMMTimer::actStop);
    EXPECT_EQ(out.events, (std::vector<std::string>{"stop", "stop"}));
    EXPECT_EQ(fake.Take(), Calls{"stop 1"});
    fake.TickAll();
    EXPECT_EQ(out.events.size(), 2u);
}

TEST_F(KVMMTimer, StartWhileRunningOnlyResetsTheCount) {
    timer.SetCount(2);
    Act(&TKVMMTimer::actStart);
    fake.TickAll();
    EXPECT_EQ(timer.Remaining(), 1);
    Act(&TKVMMTimer::actStart);
    EXPECT_EQ(timer.Remaining(), 2);
    EXPECT_EQ(fake.Take(), Calls{"start 1000 1 1"});
    EXPECT_EQ(fake.live.size(), 1u);
}

TEST_F(KVMMTimer, IntervalEntryTakesAnyValueAsAnInteger) {
    struct Case {
        TData value;
        Calls calls;
    };
    Act(&TKVMMTimer::actStart);
    fake.Take();
    const Case cases[] = {
        {Str("5000"), {"stop 1", "start 5000 1 1"}},
        {Real(2500.4), {"stop 2", "start 2500 1 1"}},
        {Str("2500"), {}},
        {TData{}, {"stop 3", "start 0 1 1"}},
    };
    for (const Case& c : cases) {
        Act(&TKVMMTimer::actInterval, c.value);
        EXPECT_EQ(fake.Take(), c.calls) << ToString(c.value);
    }
    EXPECT_TRUE(out.events.empty()) << "a restart is not a stop";
}

// The chain behind evTimer lets another tick through (the echo's wait pumps messages): it is
// dropped and leaves the count alone; on the last tick the stop follows the chain.
TEST_F(KVMMTimer, TickDuringABusyHandlerIsDropped) {
    timer.SetCount(2);
    out.onTimer = [](Outlets& o) {
        const int32_t before = o.timer->Remaining();
        o.timer->Timer()->Tick();
        EXPECT_EQ(o.timer->Remaining(), before);
    };
    Act(&TKVMMTimer::actStart);
    fake.TickAll();
    EXPECT_EQ(out.events, std::vector<std::string>{"timer"});
    EXPECT_EQ(timer.Remaining(), 1);
    fake.TickAll();
    EXPECT_EQ(out.events, (std::vector<std::string>{"timer", "timer", "stop"}));
    // Not busy any more: the next start ticks again.
    out.onTimer = nullptr;
    Act(&TKVMMTimer::actStart);
    fake.TickAll();
    EXPECT_EQ(out.events.back(), "timer");
}

// The last tick's stop was decided before its chain ran: a restart inside the chain is overridden.
TEST_F(KVMMTimer, LastTickStopsEvenIfItsChainStartsAgain) {
    timer.SetCount(1);
    out.onTimer = [](Outlets& o) {
        TData none;
        o.timer->actStart(none, 0);
    };
    Act(&TKVMMTimer::actStart);
    fake.TickAll();
    EXPECT_EQ(out.events, (std::vector<std::string>{"timer", "stop"}));
    EXPECT_FALSE(timer.Timer()->Enabled);
}

// The chain behind evTimer destroys the component (the program closing during a tick): the event is
// cancelled at once, so no later tick reaches the freed component, and nothing of it is touched once
// the chain has returned (ASan sees any write).
TEST(KVMMTimerLife, FreedInsideItsOwnTickChain) {
    for (const int32_t count : {0, 1}) {
        FakeTimers fake;
        struct Killer {
            TKVMMTimer* timer;
            FakeTimers* fake;
            size_t liveAfterFree = 99;
            void tick(TData&, uint16_t) {
                delete timer;
                liveAfterFree = fake->live.size();
                fake->TickAll();  // a tick the chain's nested wait lets through
            }
        } killer{new TKVMMTimer(fake), &fake};
        EnableLinks();
        killer.timer->evTimer = MakeEvent<&Killer::tick>(&killer, 0);
        killer.timer->SetCount(count);
        TData none;
        killer.timer->actStart(none, 0);
        fake.TickAll();
        DisableLinks();
        EXPECT_EQ(killer.liveAfterFree, 0u) << count;
    }
}

}  // namespace
