// A window under tick load, driven by real X input: shared by the tick-starvation test and its
// measuring program. Windows only.
//
// The window thread runs the toolkit's own loop (Run) with a form holding a button, an edit and a
// painted pad, while a multimedia timer's ticks each spin for a set time on that thread. A driver
// thread clicks and types through xdotool (a Unix program, which Wine starts like any other) and
// waits for the window to react.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "tests/support/wintest.h"
#include "toolkit/applet.h"
#include "toolkit/control.h"
#include "toolkit/mmtimer.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"
#include "toolkit/winthread.h"

// Runs xdotool with args and waits until it has finished; false when it could not start or hung.
// Wine starts a Unix program without a process handle to wait on, so a shell around it leaves a
// mark file, which is polled.
inline bool Xdotool(const std::string& args) {
    static int serial = 0;
    const std::string mark =
        "/tmp/echometer-xdo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::wstring markWin = L"Z:" + ToWide(mark);
    for (auto& ch : markWin)
        if (ch == L'/') ch = L'\\';
    std::wstring cmd = L"/bin/sh -c \"/usr/bin/xdotool " + ToWide(args) + L"; : > " + ToWide(mark) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread != nullptr) CloseHandle(pi.hThread);
    if (pi.hProcess != nullptr) CloseHandle(pi.hProcess);
    const double end = NowMs() + 10000;
    while (GetFileAttributesW(markWin.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (NowMs() > end) return false;
        Sleep(1);
    }
    DeleteFileW(markWin.c_str());
    return true;
}

inline std::string CentreArgs(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2);
}

class TTickLoad {
    template <class Driver>
    struct TCall {
        TTickLoad* load;
        Driver* driver;
        static DWORD WINAPI Main(void* p) {
            auto* c = static_cast<TCall*>(p);
            (*c->driver)(*c->load);
            // Ticks stop working, so that a queue they kept full drains and the close gets through.
            c->load->Done = true;
            PostMessageW(c->load->Form->Handle, WM_CLOSE, 0, 0);
            return 0;
        }
    };

public:
    int Period;  // ms
    int Work;    // ms each tick spins
    int Ticks = 0;
    double FirstTick = 0, LastTick = 0;
    TControl* App = nullptr;
    TControl* Form = nullptr;
    TControl* Button = nullptr;
    TControl* Edit = nullptr;
    TControl* Pad = nullptr;
    HANDLE Clicked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE Painted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    double ClickedAt = 0;
    std::atomic<bool> Done{false};
    int64_t DroppedAtStart = 0;

    bool Pumping = false;  // a tick's work is a pumping wait (as an echo's), not a spin
    bool Busy = false;     // a pumping tick is under way: a nested one is dropped, as the component does

    TTickLoad(int period, int work, bool pumping = false) : Period(period), Work(work), Pumping(pumping) {}
    ~TTickLoad() {
        CloseHandle(Clicked);
        CloseHandle(Painted);
    }

    // Builds and runs the window on this thread until driver(*this) returns (on its own thread).
    // False when the window or the timer could not be made.
    template <class Driver>
    bool Run(Driver driver) {
        Applet = nullptr;
        AppletRunning = AppletTerminated = AppletUsed = false;
        App = NewApplet("ticks");
        Form = NewForm(App, "ticks");
        Form->SetBoundsRect({40, 40, 440, 300});
        Button = NewButton(Form, "STOP");
        Button->SetBoundsRect({20, 20, 140, 60});
        Button->OnClick = TOnEvent{[](void* self, TObj*) {
                                       auto* t = static_cast<TTickLoad*>(self);
                                       t->ClickedAt = NowMs();
                                       SetEvent(t->Clicked);
                                   },
                                   this};
        Edit = NewEditbox(Form, 0);
        Edit->SetBoundsRect({20, 80, 220, 104});
        Pad = NewControl(Form, "Form");
        Pad->Style = WS_CHILD | WS_VISIBLE;
        Pad->SetBoundsRect({240, 20, 380, 200});
        Pad->SetOnPaint(TOnPaint{[](void* self, TControl* pad, HDC dc) {
                                     RECT r;
                                     GetClientRect(pad->Handle, &r);
                                     FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                                     SetEvent(static_cast<TTickLoad*>(self)->Painted);
                                 },
                                 this});
        Form->SetCreateVisible(true);
        if (!Form->CreateWindow()) return false;
        SetForegroundWindow(Form->Handle);

        TMMTimer* timer = NewMMTimer(Period);
        if (timer == nullptr) return false;
        timer->Resolution = 1;
        timer->OnTimer = TOnEvent{[](void* self, TObj*) {
                                      auto* t = static_cast<TTickLoad*>(self);
                                      if (t->Busy) return;
                                      const double now = NowMs();
                                      if (t->Ticks++ == 0) t->FirstTick = now;
                                      t->LastTick = now;
                                      if (t->Pumping) {
                                          t->Busy = true;
                                          HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
                                          if (!t->Done) PumpingWait(never, static_cast<DWORD>(t->Work));
                                          CloseHandle(never);
                                          t->Busy = false;
                                          return;
                                      }
                                      while (!t->Done && NowMs() - now < t->Work) {
                                      }
                                  },
                                  this};
        DroppedAtStart = DroppedTicks();
        timer->SetEnabled(true);

        TCall<Driver> call{this, &driver};
        HANDLE thread = CreateThread(nullptr, 0, &TCall<Driver>::Main, &call, 0, nullptr);
        if (thread == nullptr) {
            TObj::Free(timer);
            return false;
        }
        TControl* app = App;
        ::Run(app);
        timer->SetEnabled(false);
        TObj::Free(timer);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return true;
    }

    // Clicks the button; the ms from the end of the X input (xdotool finished) to the click's
    // handling, or -1 when it was not handled within limitMs. LastFromStart is the same from the
    // start of xdotool: an upper bound that includes starting it.
    double Click(DWORD limitMs) {
        ResetEvent(Clicked);
        const double start = NowMs();
        if (!Xdotool("mousemove " + CentreArgs(Button->Handle) + " click 1")) return -1;
        const double sent = NowMs();
        if (WaitForSingleObject(Clicked, limitMs) != WAIT_OBJECT_0) return -1;
        LastFromStart = ClickedAt - start;
        return std::max(0.0, ClickedAt - sent);
    }
    double LastFromStart = 0;

    double TicksPerSecond() const {
        return Ticks > 1 && LastTick > FirstTick ? (Ticks - 1) * 1000.0 / (LastTick - FirstTick) : 0;
    }
};
