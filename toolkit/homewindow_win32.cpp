// The homes and their users under one lock. No window is made or destroyed with the lock held: a
// window call may wait for another thread, which may be waiting for the lock.
#include "toolkit/homewindow.h"

#include <algorithm>
#include <vector>

#include "support/runerror.h"
#include "toolkit/messages.h"
#include "toolkit/winlock.h"

namespace {

struct THome {
    DWORD thread;
    HWND window;
    int users;
};

struct TKind {
    UINT message;
    THomeWork work;
};

TLock homesLock;
std::vector<THome> homes;
std::vector<TKind> kinds;  // the same few for the whole run

// With the lock held.
THome* HomeOf(DWORD thread) {
    for (THome& h : homes) {
        if (h.thread == thread) return &h;
    }
    return nullptr;
}

bool Registered(HWND window) {
    TLockScope locked(homesLock);
    return std::any_of(homes.begin(), homes.end(), [&](const THome& h) { return h.window == window; });
}

THomeWork WorkOf(UINT message) {
    TLockScope locked(homesLock);
    for (const TKind& k : kinds) {
        if (k.message == message) return k.work;
    }
    return nullptr;
}

LRESULT CALLBACK HomeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // A home lives as long as its users need it: a close from another program would lose the work on
    // its way, and what waits for it would wait for ever.
    if (msg == WM_CLOSE) return 0;
    if (msg == kMsgRetire) {
        if (!Registered(hwnd)) DestroyWindow(hwnd);
        return 0;
    }
    const THomeWork work = msg >= WM_APP ? WorkOf(msg) : nullptr;
    if (work == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
    RestoreFloatTraps();
    // No exception crosses the platform's frames: it ends the program, as anywhere.
    try {
        work(hwnd, wp, lp);
    } catch (...) {
        RunError(kErrUnhandled);
    }
    return 0;
}

HWND CreateHome() {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &HomeProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EchometerHome";
        return RegisterClassW(&wc);
    }();
    return CreateWindowExW(0, MAKEINTATOM(cls), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

HWND AttachHome(UINT kind, THomeWork work) {
    const DWORD thread = GetCurrentThreadId();
    {
        TLockScope locked(homesLock);
        if (std::none_of(kinds.begin(), kinds.end(), [&](const TKind& k) { return k.message == kind; }))
            kinds.push_back({kind, work});
        if (THome* h = HomeOf(thread)) {
            ++h->users;
            return h->window;
        }
    }
    HWND made = CreateHome();
    if (made == nullptr) return nullptr;
    HWND spare = nullptr;
    HWND window = made;
    {
        TLockScope locked(homesLock);
        if (THome* h = HomeOf(thread)) {
            // An attach nested in the making (a hook) made one first.
            ++h->users;
            window = h->window;
            spare = made;
        } else {
            homes.push_back({thread, made, 1});
        }
    }
    if (spare != nullptr) DestroyWindow(spare);
    return window;
}

void DetachHome(HWND home) {
    DWORD owner = 0;
    {
        TLockScope locked(homesLock);
        auto it = std::find_if(homes.begin(), homes.end(), [&](const THome& h) { return h.window == home; });
        if (it == homes.end() || --it->users > 0) return;
        owner = it->thread;
        homes.erase(it);
    }
    if (owner == GetCurrentThreadId()) {
        DestroyWindow(home);
    } else {
        PostMessageW(home, kMsgRetire, 0, 0);
    }
}

int HomeWindows() {
    TLockScope locked(homesLock);
    return static_cast<int>(homes.size());
}
