// Multimedia timer events whose ticks are handled on the thread that started them.
//
// winmm calls back on its own thread; the callback only posts the tick to a message-only window
// owned by the starting thread. A registry of running events, under one lock, lets the callback and
// the window check that the event is still the one the tick belongs to: each start gets a fresh
// serial, so a tick posted before a stop or a restart finds nothing and is dropped. The registry
// also keeps at most one tick per event in the queue.
#include <windows.h>

#include <mmsystem.h>

#include <mutex>
#include <vector>

#include "toolkit/mmtimer.h"

namespace {

constexpr UINT kTickMessage = WM_APP + 0x54;  // lParam: the event's serial

struct TEvent {
    uint32_t serial;
    TMMTimer* timer;  // one running event per timer
    HWND window;
    bool pending;  // a tick is posted and not yet handled
    bool spent;    // a one-shot event has fired: winmm may give its identifier to a new event
    UINT handle;   // winmm's identifier, once timeSetEvent answered
};

struct TTickWindow {
    DWORD thread;
    HWND window;
    int events;  // running events whose ticks it receives
};

std::mutex registryLock;
std::vector<TEvent> running;
std::vector<TTickWindow> windows;
uint32_t lastSerial = 0;

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

LRESULT CALLBACK TickWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kTickMessage) return DefWindowProcW(hwnd, msg, wp, lp);
    TMMTimer* timer = nullptr;
    {
        std::lock_guard<std::mutex> hold(registryLock);
        if (TEvent* e = FindBySerial(static_cast<uint32_t>(lp))) {
            e->pending = false;
            timer = e->timer;
        }
    }
    // The event is on this thread: only this thread can stop it, so timer stays valid until Tick.
    if (timer != nullptr) timer->Tick();
    return 0;
}

HWND CreateTickWindow() {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TickWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EchometerTicks";
        return RegisterClassW(&wc);
    }();
    return CreateWindowExW(0, MAKEINTATOM(cls), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// This thread's tick window, made on first use; with the lock held.
HWND AttachTickWindow() {
    const DWORD thread = GetCurrentThreadId();
    for (TTickWindow& w : windows) {
        if (w.thread == thread) {
            ++w.events;
            return w.window;
        }
    }
    HWND window = CreateTickWindow();
    if (window != nullptr) windows.push_back({thread, window, 1});
    return window;
}

// With the lock held; a window no event uses any more is destroyed (on its own thread, as it must be).
void DetachTickWindow(HWND window) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->window != window) continue;
        if (--it->events == 0) {
            if (it->thread == GetCurrentThreadId()) {
                DestroyWindow(window);
            } else {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            windows.erase(it);
        }
        return;
    }
}

void CALLBACK OnTimerThread(UINT /*id*/, UINT /*msg*/, DWORD_PTR user, DWORD_PTR /*dw1*/, DWORD_PTR /*dw2*/) {
    std::lock_guard<std::mutex> hold(registryLock);
    TEvent* e = FindBySerial(static_cast<uint32_t>(user));
    if (e == nullptr) return;
    if (!e->timer->Periodic) e->spent = true;
    if (e->pending) return;
    e->pending = PostMessageW(e->window, kTickMessage, 0, static_cast<LPARAM>(e->serial)) != FALSE;
}

class TWinTimerService final : public TTimerService {
public:
    uint32_t Start(TMMTimer& timer) override {
        uint32_t serial;
        {
            std::lock_guard<std::mutex> hold(registryLock);
            HWND window = AttachTickWindow();
            if (window == nullptr) return 0;
            serial = ++lastSerial;
            running.push_back({serial, &timer, window, false, false, 0});
        }
        // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns, the callback is not running.
        const UINT kind =
            (timer.Periodic ? TIME_PERIODIC : TIME_ONESHOT) | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS;
        const MMRESULT handle =
            timeSetEvent(static_cast<UINT>(timer.Interval), static_cast<UINT>(timer.Resolution),
                         &OnTimerThread, serial, kind);
        std::lock_guard<std::mutex> hold(registryLock);
        if (TEvent* e = FindBySerial(serial)) {
            if (handle == 0) {
                Forget(e);
            } else {
                e->handle = handle;
            }
        }
        return handle;
    }

    void Stop(TMMTimer& timer, uint32_t handle) override {
        bool spent;
        {
            std::lock_guard<std::mutex> hold(registryLock);
            const TEvent* e = FindByTimer(&timer);
            spent = e != nullptr && e->spent;
        }
        // Not under the lock: the callback may be waiting for it, and timeKillEvent waits for the
        // callback. A spent one-shot's identifier may already name someone else's event.
        if (!spent) timeKillEvent(handle);
        std::lock_guard<std::mutex> hold(registryLock);
        if (TEvent* e = FindByTimer(&timer)) Forget(e);
    }

private:
    // With the lock held.
    static void Forget(TEvent* e) {
        DetachTickWindow(e->window);
        running.erase(running.begin() + (e - running.data()));
    }
};

}  // namespace

TTimerService& SystemTimerService() {
    static TWinTimerService service;
    return service;
}

void StopTimerEvents() {
    // The exit path may have faulted inside the registry: then its ticks find nothing to run anyway.
    std::unique_lock<std::mutex> hold(registryLock, std::try_to_lock);
    if (!hold.owns_lock()) return;
    std::vector<UINT> handles;
    for (const TEvent& e : running) {
        if (!e.spent && e.handle != 0) handles.push_back(e.handle);
    }
    // Forgotten first: a tick already posted finds no event and is dropped.
    running.clear();
    hold.unlock();
    for (UINT h : handles)
        timeKillEvent(h);
}

int RunningTimerEvents() {
    std::lock_guard<std::mutex> hold(registryLock);
    return static_cast<int>(running.size());
}

int TickWindowCount() {
    std::lock_guard<std::mutex> hold(registryLock);
    return static_cast<int>(windows.size());
}
