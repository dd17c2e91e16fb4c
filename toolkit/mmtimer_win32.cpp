// Multimedia timer events whose ticks are handled on the thread that started them.
//
// winmm calls back on its own thread; the callback only posts the tick to the starting thread's home
// window (toolkit/homewindow). A registry of running events, under one lock, lets the callback and
// the window check that the event is still the one the tick belongs to: each start gets a fresh
// serial, so a tick posted before a stop or a restart finds nothing and is dropped. The registry
// also keeps at most one tick per event in the queue, and the ticks being handled, so that a stop
// from another thread can wait until the timer is no longer in use.
//
// No window call is made with the lock held: it may wait for another thread, which may be waiting
// for the lock.
//
// Any program on the desktop can post to the home: a tick is run only when the registry has one
// posted and not yet handled for that serial, so made-up or stale ticks run nothing. Each running
// event is one user of its home.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "toolkit/homewindow.h"
#include "toolkit/messages.h"
#include "toolkit/mmtimer.h"
#include "toolkit/syslib.h"
#include "toolkit/winlock.h"

namespace {

// winmm is not one of the system's known libraries: it is loaded from the system directory, never
// imported (see toolkit/syslib.h).
struct TWinmm {
    decltype(&timeSetEvent) SetEvent = SystemFunction<decltype(&timeSetEvent)>(L"winmm.dll", "timeSetEvent");
    decltype(&timeKillEvent) KillEvent =
        SystemFunction<decltype(&timeKillEvent)>(L"winmm.dll", "timeKillEvent");
    decltype(&timeGetDevCaps) GetDevCaps =
        SystemFunction<decltype(&timeGetDevCaps)>(L"winmm.dll", "timeGetDevCaps");
    decltype(&timeGetTime) GetTime = SystemFunction<decltype(&timeGetTime)>(L"winmm.dll", "timeGetTime");
};

const TWinmm& Winmm() {
    static const TWinmm winmm;
    return winmm;
}

struct TEvent {
    uint32_t serial;
    TMMTimer* timer;  // one running event per timer
    HWND window;      // the home its ticks go to
    bool oneShot;
    bool pending;    // a tick is posted and not yet handled
    bool spent;      // a one-shot has had its tick
    UINT handle;     // winmm's identifier, once timeSetEvent answered
    uint32_t count;  // the platform's ticks per tick of the timer
    uint32_t left;   // the platform's ticks until the next one of the timer
};

struct TDispatch {
    uint32_t serial;
    DWORD thread;
};

TLock registryLock;
std::vector<TEvent> running;
std::vector<TDispatch> dispatching;  // ticks being handled, nested ones included
uint32_t lastSerial = 0;
int64_t droppedTicks = 0;

// Set whenever a tick has been handled (manual reset).
HANDLE DispatchEnded() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// With the lock held, as for the next two.
TEvent* FindBySerial(uint32_t serial) {
    for (TEvent& e : running) {
        if (e.serial == serial) return &e;
    }
    return nullptr;
}

TEvent* FindByTimer(const TMMTimer* timer) {
    for (TEvent& e : running) {
        if (e.timer == timer) return &e;
    }
    return nullptr;
}

// kMsgTick's wParam: when it was posted; lParam: the event's serial.
void TickReturned(HWND home, WPARAM wp, LPARAM lp) {
    const auto serial = static_cast<uint32_t>(lp);
    const DWORD thread = GetCurrentThreadId();
    TMMTimer* timer = nullptr;
    {
        TLockScope locked(registryLock);
        TEvent* e = FindBySerial(serial);
        if (e != nullptr && e->window == home && e->pending) {
            e->pending = false;
            // A periodic tick that waited a whole period is late: the next one is due already. It is
            // dropped, not run late, so a window thread that cannot keep up gets room for its input
            // and painting instead of a queue of stale ticks.
            const DWORD waited = Winmm().GetTime() - static_cast<DWORD>(wp);
            if (!e->oneShot && e->timer->Interval > 0 && waited >= static_cast<DWORD>(e->timer->Interval)) {
                ++droppedTicks;
            } else {
                timer = e->timer;
                dispatching.push_back({serial, thread});
            }
        }
    }
    if (timer == nullptr) return;
    // Stopped on this thread, the timer is held by Tick; stopped from another, the stop waits for
    // this tick to end.
    timer->Tick();
    TLockScope locked(registryLock);
    for (auto it = dispatching.rbegin(); it != dispatching.rend(); ++it) {
        if (it->serial == serial && it->thread == thread) {
            dispatching.erase(std::next(it).base());
            break;
        }
    }
    SetEvent(DispatchEnded());
}

// Removes the event, and with it one user of its home.
void Forget(uint32_t serial) {
    HWND home = nullptr;
    {
        TLockScope locked(registryLock);
        TEvent* e = FindBySerial(serial);
        if (e == nullptr) return;
        home = e->window;
        running.erase(running.begin() + (e - running.data()));
    }
    DetachHome(home);
}

// Returns once no other thread is handling a tick of the event. Messages sent to this thread are
// answered meanwhile: the tick's chain may be waiting for one.
void WaitForDispatch(uint32_t serial) {
    const DWORD self = GetCurrentThreadId();
    HANDLE ended = DispatchEnded();
    for (;;) {
        {
            TLockScope locked(registryLock);
            const bool elsewhere =
                std::any_of(dispatching.begin(), dispatching.end(),
                            [&](const TDispatch& d) { return d.serial == serial && d.thread != self; });
            if (!elsewhere) return;
            ResetEvent(ended);
        }
        // The time limit covers a wake-up taken by another waiter's reset.
        if (MsgWaitForMultipleObjectsEx(1, &ended, 50, QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

void CALLBACK OnTimerThread(UINT /*id*/, UINT /*msg*/, DWORD_PTR user, DWORD_PTR /*dw1*/, DWORD_PTR /*dw2*/) {
    TLockScope locked(registryLock);
    TEvent* e = FindBySerial(static_cast<uint32_t>(user));
    if (e == nullptr || e->spent) return;
    // A long period runs on a shorter event: only every count-th of its ticks is the timer's. Counted
    // here, so no sub-tick is lost to a busy window thread and the period does not drift.
    if (--e->left != 0) return;
    e->left = e->count;
    if (e->oneShot) e->spent = true;
    if (e->pending) {
        ++droppedTicks;
        return;
    }
    // Posting never waits for the window's thread. wParam: when it was posted, to tell a late tick.
    e->pending =
        PostMessageW(e->window, kMsgTick, Winmm().GetTime(), static_cast<LPARAM>(e->serial)) != FALSE;
}

class TWinTimerService final : public TTimerService {
public:
    uint32_t LongestPeriod() override {
        TIMECAPS caps{};
        if (Winmm().GetDevCaps == nullptr || Winmm().GetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR)
            return 0;
        return caps.wPeriodMax;
    }

    uint32_t Start(TMMTimer& timer, uint32_t period, uint32_t count) override {
        // The library and every function it is used through, or no timer.
        const TWinmm& w = Winmm();
        if (w.SetEvent == nullptr || w.KillEvent == nullptr || w.GetTime == nullptr || count == 0) return 0;
        HWND window = AttachHome(kMsgTick, &TickReturned);
        if (window == nullptr) return 0;
        uint32_t serial;
        {
            TLockScope locked(registryLock);
            serial = ++lastSerial;
            running.push_back({.serial = serial,
                               .timer = &timer,
                               .window = window,
                               .oneShot = !timer.Periodic,
                               .pending = false,
                               .spent = false,
                               .handle = 0,
                               .count = count,
                               .left = count});
        }
        // A one-shot runs on a periodic event too and lets only its first tick through: winmm may
        // give a fired one-shot's identifier to a new event at any moment, so a stop racing with
        // the tick could cancel someone else's event. TIME_KILL_SYNCHRONOUS: once timeKillEvent
        // returns, the callback is not running.
        const MMRESULT handle =
            Winmm().SetEvent(period, static_cast<UINT>(timer.Resolution), &OnTimerThread, serial,
                             TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
        if (handle == 0) {
            Forget(serial);
        } else {
            TLockScope locked(registryLock);
            if (TEvent* e = FindBySerial(serial)) e->handle = handle;
        }
        return handle;
    }

    void Stop(TMMTimer& timer, uint32_t handle) override {
        uint32_t serial = 0;
        {
            TLockScope locked(registryLock);
            if (const TEvent* e = FindByTimer(&timer)) serial = e->serial;
        }
        // Not under the lock: the callback may be waiting for it, and timeKillEvent waits for the
        // callback.
        Winmm().KillEvent(handle);
        Forget(serial);
        WaitForDispatch(serial);
    }
};

}  // namespace

TTimerService& SystemTimerService() {
    static TWinTimerService service;
    return service;
}

void StopTimerEvents() {
    // The exit path may have faulted inside the registry: then its ticks find nothing to run anyway.
    if (!registryLock.TryLock()) return;
    std::vector<UINT> handles;
    for (const TEvent& e : running) {
        if (e.handle != 0) handles.push_back(e.handle);
    }
    // Forgotten first: a tick already posted finds no event and is dropped. A one-shot's identifier
    // is still its own (it runs on a periodic event), so every one is cancelled.
    running.clear();
    registryLock.Unlock();
    for (UINT h : handles)
        Winmm().KillEvent(h);
}

TTimerCounts TimerCounts() {
    const int homes = HomeWindows();
    TLockScope locked(registryLock);
    return {static_cast<int>(running.size()), homes, droppedTicks};
}
