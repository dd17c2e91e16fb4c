// Timers on winmm: ticks are handled on the thread that started them, also inside a modal loop; a
// stopped, restarted or destroyed timer gets no stale tick; a slow thread is not flooded; and
// TKVMMTimer's count, stop, restart and busy rules hold on real ticks.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "components/kvmmtimer.h"
#include "tests/support/wintest.h"
#include "toolkit/mmtimer.h"
#include "toolkit/winthread.h"

namespace {

// Handles messages for ms milliseconds, as the window thread's loop would.
void Pump(DWORD ms) {
    static HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    PumpingWait(never, ms);
}

struct Ticks {
    std::vector<double> at;
    std::vector<DWORD> threads;
    void (*also)(Ticks&) = nullptr;
    void onTick(TObj*) {
        at.push_back(NowMs());
        threads.push_back(GetCurrentThreadId());
        if (also != nullptr) also(*this);
    }
};

using TimerPtr = std::unique_ptr<TMMTimer, TObjFree>;

TimerPtr Started(Ticks& ticks, int32_t interval) {
    TimerPtr t(NewMMTimer(interval));
    t->Resolution = 1;
    t->OnTimer = MakeOnEvent<&Ticks::onTick>(&ticks);
    t->SetEnabled(true);
    return t;
}

DWORD WINAPI Watchdog(void* closed) {
    if (WaitForSingleObject(static_cast<HANDLE>(closed), 10000) == WAIT_TIMEOUT) {
        PostMessageW(FindWindowW(nullptr, L"Tick test box"), WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
}

TEST(MMTimerWin, TicksAreHandledOnTheStartingThreadInsideAModalBox) {
    Ticks ticks;
    ticks.also = [](Ticks& t) {
        if (t.at.size() == 5) EndDialog(FindWindowW(nullptr, L"Tick test box"), IDOK);
    };
    TimerPtr timer = Started(ticks, 30);
    ASSERT_NE(timer->Handle, 0u);
    // If no tick came, this closes the box with another answer.
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE watchdog = CreateThread(nullptr, 0, &Watchdog, closed, 0, nullptr);
    const int answer = MessageBoxW(nullptr, L"ticks", L"Tick test box", MB_OKCANCEL);
    timer->SetEnabled(false);
    SetEvent(closed);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    CloseHandle(closed);
    const DWORD error = GetLastError();
    ASSERT_GT(answer, 0) << "no box could be shown (error " << error << ")";
    EXPECT_EQ(answer, IDOK) << "the ticks did not reach the box's loop";
    EXPECT_GE(ticks.at.size(), 5u);
    for (DWORD thread : ticks.threads)
        EXPECT_EQ(thread, GetCurrentThreadId());
    EXPECT_EQ(RunningTimerEvents(), 0);
    EXPECT_EQ(TickWindowCount(), 0);
}

// The thread does not handle messages for a while: ticks fall due all that time, but what then
// arrives is at most the one waiting tick, and one handed over before a stop, a restart or a
// destruction is not delivered at all.
TEST(MMTimerWin, NoFloodAndNoStaleTick) {
    struct Case {
        const char* what;
        void (*change)(TimerPtr&);
        size_t mostTicks;
    };
    const Case cases[] = {
        {"left running", [](TimerPtr&) {}, 2},
        {"stopped", [](TimerPtr& t) { t->SetEnabled(false); }, 0},
        {"restarted with a long period", [](TimerPtr& t) { t->SetInterval(5000); }, 0},
        {"destroyed", [](TimerPtr& t) { t.reset(); }, 0},
    };
    for (const Case& c : cases) {
        Ticks ticks;
        TimerPtr timer = Started(ticks, 2);
        Sleep(150);  // about 75 ticks fall due; none is handled
        c.change(timer);
        Pump(0);
        // A flood would come all at once; ticks that keep falling due while a loaded machine is
        // still in this pump come 2 ms apart.
        const auto burst =
            std::count_if(ticks.at.begin(), ticks.at.end(), [&](double t) { return t < ticks.at[0] + 1.0; });
        EXPECT_LE(static_cast<size_t>(burst), c.mostTicks) << c.what;
        Pump(40);
        if (c.mostTicks == 0) {
            EXPECT_EQ(ticks.at.size(), 0u) << c.what;
        }
        timer.reset();
    }
    EXPECT_EQ(RunningTimerEvents(), 0);
    EXPECT_EQ(TickWindowCount(), 0);
}

// winmm may hand a fired one-shot's identifier to a new event at any moment, so a stop could cancel
// someone else's event: the identifier must stay the timer's own until it is stopped.
TEST(MMTimerWin, AFiredOneShotKeepsItsIdentifierUntilStopped) {
    Ticks ticks;
    TimerPtr timer(NewMMTimer(5));
    timer->Resolution = 1;
    timer->Periodic = false;
    timer->OnTimer = MakeOnEvent<&Ticks::onTick>(&ticks);
    timer->SetEnabled(true);
    Pump(150);
    EXPECT_EQ(ticks.at.size(), 1u);
    EXPECT_EQ(timeKillEvent(timer->Handle), static_cast<MMRESULT>(TIMERR_NOERROR));
    timer.reset();
    EXPECT_EQ(RunningTimerEvents(), 0);
    EXPECT_EQ(TickWindowCount(), 0);
}

// The timer's own windows are made and destroyed without its lock held: a message sent to another
// thread from inside (here by a hook) is answered even while that thread starts or stops a timer.
struct TPeer {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE end = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    bool armed = false;
    LRESULT answered = -1;
};
TPeer peer;

// Each go starts a timer on this thread or frees it; meanwhile the thread answers sent messages.
DWORD WINAPI PeerMain(void*) {
    peer.window = MakeMessageWindow(L"TimerPeer", &DefWindowProcW);
    SetEvent(peer.ready);
    TMMTimer* timer = nullptr;
    HANDLE both[] = {peer.go, peer.end};
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(2, both, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 + 1) break;
        if (r == WAIT_OBJECT_0) {
            if (timer == nullptr) {
                timer = NewMMTimer(1000);
                timer->SetEnabled(true);
            } else {
                TObj::Free(timer);
                timer = nullptr;
            }
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    TObj::Free(timer);
    DestroyWindow(peer.window);
    return 0;
}

LRESULT CALLBACK SendToPeerHook(int code, WPARAM wp, LPARAM lp) {
    if (peer.armed && (code == HCBT_CREATEWND || code == HCBT_DESTROYWND)) {
        peer.armed = false;
        SetEvent(peer.go);
        Sleep(150);  // the peer is inside its start or stop by now
        DWORD_PTR result;
        peer.answered = SendMessageTimeoutW(peer.window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST(MMTimerWin, NoWindowIsMadeOrDestroyedUnderTheLock) {
    HANDLE thread = CreateThread(nullptr, 0, &PeerMain, nullptr, 0, nullptr);
    WaitForSingleObject(peer.ready, INFINITE);
    ASSERT_NE(peer.window, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_CBT, &SendToPeerHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Ticks ticks;
    peer.armed = true;
    TimerPtr timer = Started(ticks, 1000);  // makes this thread's tick window
    EXPECT_NE(peer.answered, 0) << "while making the window";
    peer.answered = -1;
    peer.armed = true;
    timer.reset();  // destroys it
    EXPECT_NE(peer.answered, 0) << "while destroying the window";
    UnhookWindowsHookEx(hook);
    SetEvent(peer.end);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(RunningTimerEvents(), 0);
    EXPECT_EQ(TickWindowCount(), 0);
}

// ---- TKVMMTimer on real ticks

// The first tick's chain waits 200 ms while pumping messages, as an echo does: the ticks handed
// over meanwhile are dropped, leave the count alone, and do not pile up behind it.
struct TBusy {
    TKVMMTimer* timer;
    std::vector<double> at;
    int32_t remainingBefore = 0, remainingAfter = 0;
    void tick(TData&, uint16_t) {
        at.push_back(NowMs());
        if (at.size() != 1) return;
        remainingBefore = timer->Remaining();
        Pump(200);
        remainingAfter = timer->Remaining();
    }
};

TEST(KVMMTimerWin, TicksDuringABusyHandlerAreDropped) {
    EnableLinks();
    TKVMMTimer timer;
    TBusy busy{&timer, {}};
    timer.evTimer = MakeEvent<&TBusy::tick>(&busy, 0);
    timer.SetResolution(1);
    timer.SetInterval(20);
    timer.SetCount(30);
    TData none;
    timer.actStart(none, 0);
    Pump(300);
    timer.actStop(none, 0);
    DisableLinks();
    EXPECT_EQ(busy.remainingBefore, 29);
    EXPECT_EQ(busy.remainingAfter, 29);
    ASSERT_GE(busy.at.size(), 3u);
    // Once the busy chain returned, at most the one waiting tick came at once.
    const double freed = busy.at[0] + 200;
    int burst = 0;
    for (double t : busy.at) {
        if (t >= freed && t < freed + 10) ++burst;
    }
    EXPECT_LE(burst, 2);
    EXPECT_LE(busy.at.size(), 1 + 100 / 20 + 3u);
}

// Another thread destroys the component while a tick's chain runs on the window thread: the
// destruction waits for the chain, and once it returns no timer event is left.
struct TCrossFree {
    TKVMMTimer* timer = nullptr;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> chainEnded{false};
    bool chainEndedWhenFreed = false;
    int runningWhenFreed = -1;
    void tick(TData&, uint16_t) {
        if (chainEnded) return;
        SetEvent(go);
        Pump(300);  // as an echo's wait
        chainEnded = true;
    }
};

DWORD WINAPI FreeFromOtherThread(void* p) {
    auto* c = static_cast<TCrossFree*>(p);
    WaitForSingleObject(c->go, INFINITE);
    Sleep(50);
    delete c->timer;
    c->chainEndedWhenFreed = c->chainEnded;
    c->runningWhenFreed = RunningTimerEvents();
    return 0;
}

TEST(KVMMTimerWinLife, StoppedAndFreedFromAnotherThreadDuringATick) {
    EnableLinks();
    TCrossFree c;
    c.timer = new TKVMMTimer;
    c.timer->evTimer = MakeEvent<&TCrossFree::tick>(&c, 0);
    c.timer->SetInterval(20);
    TData none;
    c.timer->actStart(none, 0);
    HANDLE thread = CreateThread(nullptr, 0, &FreeFromOtherThread, &c, 0, nullptr);
    EXPECT_EQ(PumpingWait(thread, 5000), TWaitResult::Signalled);
    CloseHandle(thread);
    CloseHandle(c.go);
    EXPECT_TRUE(c.chainEndedWhenFreed);
    EXPECT_EQ(c.runningWhenFreed, 0);
    Pump(50);
    EXPECT_EQ(TickWindowCount(), 0);
    DisableLinks();
}

}  // namespace
