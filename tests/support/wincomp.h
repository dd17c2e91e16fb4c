// Helpers of the window-component tests and the log measurement: one main form on the virtual display,
// components made on it with the program's common properties, and a probe that records
// outlets and answers pins. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/event.h"
#include "tests/support/wintest.h"
#include "toolkit/applet.h"
#include "toolkit/gdi.h"
#include "wincomponents/kvmainform.h"

// Sets what every window component of the program shares.
template <class T>
T* Configured(T* c, int32_t left, int32_t top, int32_t width, int32_t height) {
    c->Left = left;
    c->Top = top;
    c->Width = width;
    c->Height = height;
    c->Font = TFontRec{"MS Sans Serif", 8, 0, 0, 1};
    return c;
}

// The one main form, shown, with links enabled; made on first use and kept for the process.
inline TKVMainForm* MainForm() {
    static TKVMainForm* form = [] {
        InitHintManager();
        InitForms();
        auto* f = Configured(new TKVMainForm(nullptr), 0, 0, 420, 374);
        f->Color = SchemeSysColor(COLOR_BTNFACE);
        f->Ctl3D = 1;
        f->SetBorderStyle(1);
        f->InitControl();
        EnableLinks();
        RunStartProcs();
        PumpFor(100);
        return f;
    }();
    return form;
}

template <class T>
T* Make(int32_t left, int32_t top, int32_t width, int32_t height) {
    return Configured(new T(MainForm()->Control), left, top, width, height);
}

// Records every outlet fired into it as "index:text" and answers pins with Answer (when not null).
struct Probe {
    std::vector<std::string> Got;
    TData Answer;
    void on(TData& d, uint16_t i) { Got.push_back(std::to_string(i) + ":" + ToString(d)); }
    void get(TData& d, uint16_t) {
        if (Answer.Type != kTypeNull) d = Answer;
    }
    TKV_Event Out(uint16_t i) { return MakeEvent<&Probe::on>(this, i); }
    TKV_Event Pin() { return MakeEvent<&Probe::get>(this, 0); }
};

inline HWND Window(TKVWin* c) {
    return c->Control->GetWindowHandle();
}
