// Timers on winmm: ticks are handled on the thread that started them, also inside a modal box; a
// slow thread is not flooded and gets no late or stale tick; a fired one-shot keeps its identifier;
// the timer's windows are made and destroyed outside its lock; and TKVMMTimer can be freed from
// another thread while its tick's chain runs. Every test leaves no timer event and no home window.
// The component's count and busy rules are tested over a fake service (tests/unit/mmtimer_test).
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "components/kvmmtimer.h"
#include "tests/support/wintest.h"
#include "toolkit/mmtimer.h"

namespace {

struct Ticks {
    std::vector<double> at;
    const DWORD home = GetCurrentThreadId();  // the thread that starts the timer
    bool elsewhere = false;                   // a tick was handled on another thread
    bool closesTheBox = false;
    void onTick(TObj* /*sender*/) {
        at.push_back(NowMs());
        elsewhere = elsewhere || GetCurrentThreadId() != home;
        if (closesTheBox) EndDialog(FindWindowW(nullptr, L"Tick test box"), IDOK);
    }
    // Ticks that came at once with the first: a flood comes all at once, while ticks that keep
    // falling due on a loaded machine come a period apart.
    long Burst() const {
        return std::count_if(at.begin(), at.end(), [&](double t) { return t < at[0] + 1.0; });
    }
};

using TimerPtr = std::unique_ptr<TMMTimer, TObjFree>;

TimerPtr Started(Ticks& ticks, int32_t interval, bool periodic = true) {
    TimerPtr t(NewMMTimer(interval));
    t->Periodic = periodic;
    t->OnTimer = MakeMethod<&Ticks::onTick>(&ticks);
    t->SetEnabled(true);
    return t;
}

class MMTimerWin : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(TimerCounts().Running, 0);
        EXPECT_EQ(TimerCounts().Windows, 0);
    }
};

// If no tick closes the box, this does, with another answer.
void CALLBACK CancelTheBox(HWND /*hwnd*/, UINT /*msg*/, UINT_PTR /*id*/, DWORD /*time*/) {
    PostMessageW(FindWindowW(nullptr, L"Tick test box"), WM_COMMAND, IDCANCEL, 0);
}

// A one-shot's tick reaches its thread inside a modal box's own loop (a tick posted to the thread
// rather than to a window of it would be lost there). winmm may hand a fired one-shot's identifier
// to a new event at any moment, so a stop could cancel someone else's event: the identifier must
// stay the timer's own until it is stopped.
TEST_F(MMTimerWin, AOneShotTicksInsideAModalBoxAndKeepsItsIdentifierUntilStopped) {
    Ticks ticks;
    ticks.closesTheBox = true;
    TimerPtr timer = Started(ticks, 300, false);
    const UINT_PTR guard = SetTimer(nullptr, 0, 10000, &CancelTheBox);
    const int answer = MessageBoxW(nullptr, L"ticks", L"Tick test box", MB_OKCANCEL);
    KillTimer(nullptr, guard);
    ASSERT_GT(answer, 0) << "no box could be shown (error " << GetLastError() << ")";
    EXPECT_EQ(answer, IDOK) << "the tick did not reach the box's loop";
    PumpFor(100);
    EXPECT_EQ(ticks.at.size(), 1u);
    EXPECT_FALSE(ticks.elsewhere);
    EXPECT_EQ(timeKillEvent(timer->Handle), static_cast<MMRESULT>(TIMERR_NOERROR));
}

// A period past the platform's longest runs on a shorter event: only every count-th of its ticks
// reaches the timer (here 20 ms × 5: about ten ticks a second, not fifty or one).
TEST_F(MMTimerWin, OnlyEveryCountThTickOfTheShorterEventReachesTheTimer) {
    Ticks ticks;
    TimerPtr timer(NewMMTimer(100));
    timer->OnTimer = MakeMethod<&Ticks::onTick>(&ticks);
    const uint32_t handle = SystemTimerService().Start(*timer, 20, 5);
    ASSERT_NE(handle, 0u);
    PumpFor(1050);
    SystemTimerService().Stop(*timer, handle);
    EXPECT_GE(ticks.at.size(), 8u);
    EXPECT_LE(ticks.at.size(), 11u);
}

// The thread handles no message for 230 ms while ticks fall due. Then at most the one waiting tick
// arrives; it is dropped when it waited a whole period, and not delivered at all when the timer was
// stopped, restarted or destroyed meanwhile.
TEST_F(MMTimerWin, NoFloodAndNoLateOrStaleTick) {
    const struct {
        const char* what;
        int32_t period;
        void (*change)(TimerPtr&);
        long mostTicks;
    } cases[] = {
        {"left running", 2, [](TimerPtr&) {}, 2},
        {"late by a period", 100, [](TimerPtr&) {}, 0},
        {"stopped", 2, [](TimerPtr& t) { t->SetEnabled(false); }, 0},
        {"restarted with a long period", 2, [](TimerPtr& t) { t->SetInterval(5000); }, 0},
        {"destroyed", 2, [](TimerPtr& t) { t.reset(); }, 0},
    };
    for (const auto& [what, period, change, mostTicks] : cases) {
        Ticks ticks;
        TimerPtr timer = Started(ticks, period);
        Sleep(230);
        change(timer);
        PumpFor(0);
        EXPECT_LE(ticks.at.empty() ? 0 : ticks.Burst(), mostTicks) << what;
    }
}

// A window call may wait for another thread, which may be waiting for the timer's lock: inside the
// making and the destruction of the home window another thread must be able to take the lock.
std::vector<bool> lockFree;

DWORD WINAPI TakeTheLock(void* /*arg*/) {
    return static_cast<DWORD>(TimerCounts().Running);
}

LRESULT CALLBACK ProbeTheLock(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND || code == HCBT_DESTROYWND) {
        HANDLE thread = CreateThread(nullptr, 0, &TakeTheLock, nullptr, 0, nullptr);
        lockFree.push_back(WaitForSingleObject(thread, 2000) == WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(MMTimerWin, NoWindowIsMadeOrDestroyedUnderTheLock) {
    HHOOK hook = SetWindowsHookExW(WH_CBT, &ProbeTheLock, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Ticks ticks;
    Started(ticks, 1000).reset();  // makes this thread's home window, then destroys it
    UnhookWindowsHookEx(hook);
    EXPECT_GE(lockFree.size(), 2u);
    EXPECT_EQ(std::count(lockFree.begin(), lockFree.end(), false), 0);
}

// Another thread destroys the component while a tick's chain runs on the window thread: the
// destruction waits for the chain, and once it returns no timer event is left.
struct TCrossFree {
    TKVMMTimer* timer = new TKVMMTimer;
    std::atomic<bool> chainEnded{false};
    bool chainEndedWhenFreed = false;
    int runningWhenFreed = -1;
    HANDLE thread = nullptr;

    void tick(TData& /*d*/, uint16_t /*index*/) {
        if (thread != nullptr) return;
        thread = CreateThread(nullptr, 0, &FreeSoon, this, 0, nullptr);
        Sleep(300);  // a long chain
        chainEnded = true;
    }
    static DWORD WINAPI FreeSoon(void* p) {
        auto* c = static_cast<TCrossFree*>(p);
        Sleep(50);
        delete c->timer;
        c->chainEndedWhenFreed = c->chainEnded;
        c->runningWhenFreed = TimerCounts().Running;
        return 0;
    }
};

TEST_F(MMTimerWin, ComponentFreedFromAnotherThreadDuringATick) {
    EnableLinks();
    TCrossFree c;
    c.timer->evTimer = MakeEvent<&TCrossFree::tick>(&c, 0);
    c.timer->SetInterval(20);
    TData none;
    c.timer->actStart(none, 0);
    for (int i = 0; i < 100 && c.thread == nullptr; ++i)
        PumpFor(10);
    ASSERT_NE(c.thread, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(c.thread, 0) == WAIT_OBJECT_0; }, 5000));
    CloseHandle(c.thread);
    DisableLinks();
    EXPECT_TRUE(c.chainEndedWhenFreed);
    EXPECT_EQ(c.runningWhenFreed, 0);
    PumpFor(50);  // the home window, closed from the other thread, goes here
}

}  // namespace
