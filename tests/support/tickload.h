// A window under tick load, driven by real X input: shared by the tick-starvation test and its
// measuring program. Windows only.
//
// The window thread runs the toolkit's own loop (Run) with a painted form holding a button and an
// edit, while a multimedia timer's ticks each spin for a set time on that thread. A driver thread clicks and
// types through xdotool (a Unix program, which Wine starts like any other) and waits for the window to react.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>

#include "tests/support/wintest.h"
#include "toolkit/applet.h"
#include "toolkit/control.h"
#include "toolkit/mmtimer.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"

// Runs xdotool with args and waits until it has finished; false when it could not start or hung.
// Wine starts a Unix program without a process handle to wait on, so a shell around it leaves a
// mark file, which is polled.
inline bool Xdotool(const std::string& args) {
    static int serial = 0;
    const std::string mark =
        "/tmp/echometer-xdo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    std::wstring markWin = L"Z:" + ToWide(mark);
    std::replace(markWin.begin(), markWin.end(), L'/', L'\\');
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
public:
    int Period;     // ms
    int Work;       // ms each tick spins
    int Ticks = 0;  // handled
    TControl* Form = nullptr;
    TControl* Button = nullptr;
    TControl* Edit = nullptr;
    HANDLE Painted = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    TTickLoad(int period, int work) : Period(period), Work(work) {}
    ~TTickLoad() {
        for (HANDLE h : {Clicked, Painted})
            CloseHandle(h);
    }

    // Builds and runs the window on this thread until driver(*this) returns (on its own thread).
    // False when the window, the timer or the thread could not be made.
    bool Run(std::function<void(TTickLoad&)> driver) {
        Driver = std::move(driver);
        Applet = nullptr;
        AppletRunning = AppletTerminated = AppletUsed = false;
        TControl* app = NewApplet("ticks");
        Form = NewForm(app, "ticks");
        Form->SetBoundsRect({40, 40, 440, 300});
        Button = NewButton(Form, "STOP");
        Button->SetBoundsRect({20, 20, 140, 60});
        Button->OnClick = MakeMethod<&TTickLoad::OnClick>(this);
        Edit = NewEditbox(Form, 0);
        Edit->SetBoundsRect({20, 80, 220, 104});
        Form->SetOnPaint(MakeMethod<&TTickLoad::OnPaint>(this));
        Form->SetCreateVisible(true);
        if (!Form->CreateWindow()) return false;
        SetForegroundWindow(Form->Handle);
        TMMTimer* timer = NewMMTimer(Period);
        if (timer == nullptr) return false;
        timer->Resolution = 1;
        timer->OnTimer = MakeMethod<&TTickLoad::OnTick>(this);
        timer->SetEnabled(true);
        HANDLE thread = CreateThread(nullptr, 0, &TTickLoad::Drive, this, 0, nullptr);
        if (thread != nullptr) ::Run(app);
        timer->SetEnabled(false);
        TObj::Free(timer);
        if (thread == nullptr) return false;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return true;
    }

    // Clicks the button with real X input; whether the click was handled within limitMs of it.
    bool Click(DWORD limitMs) {
        ResetEvent(Clicked);
        return Xdotool("mousemove " + CentreArgs(Button->Handle) + " click 1") &&
               WaitForSingleObject(Clicked, limitMs) == WAIT_OBJECT_0;
    }

private:
    std::function<void(TTickLoad&)> Driver;
    std::atomic<bool> Done{false};
    HANDLE Clicked = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    static DWORD WINAPI Drive(void* self) {
        auto* t = static_cast<TTickLoad*>(self);
        t->Driver(*t);
        // Ticks stop working, so that a queue they kept full drains and the close gets through.
        t->Done = true;
        PostMessageW(t->Form->Handle, WM_CLOSE, 0, 0);
        return 0;
    }

    void OnClick(TObj* /*sender*/) { SetEvent(Clicked); }

    void OnPaint(TControl* form, HDC dc) {
        RECT r;
        GetClientRect(form->Handle, &r);
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetEvent(Painted);
    }

    void OnTick(TObj* /*sender*/) {
        const double now = NowMs();
        ++Ticks;
        while (!Done && NowMs() - now < Work) {
        }
    }
};
