// The real scheme in this process, made and started as the program body does, for measuring
// programs that drive it from another thread while this one runs the program's own loop. Windows
// only.
#pragma once

#include <windows.h>

#include <string>

#include "scheme/scheme.h"
#include "toolkit/applet.h"
#include "wincomponents/kvhintmanager.h"
#include "wincomponents/kvmainform.h"

class TSchemeRun {
public:
    TClassMainForm_4051E30* S;

    TSchemeRun() {
        InitCommonControlsEx(0xFF);
        InitHintManager();
        InitForms();
        S = new TClassMainForm_4051E30;
        Applet->SetCreateVisible(true);
        Applet->CreateWindow();
        EnableLinks();
        RunStartProcs();
    }
    ~TSchemeRun() {
        DisableLinks();
        delete S;
        DoneForms();
        DoneHintManager();
    }

    // On this thread: what typing the text into the edit would leave there.
    static void SetText(TKVEdit* edit, const std::string& text) {
        TData d;
        SetString(d, text);
        edit->actText(d, 0);
    }
    static HWND Window(TKVWin* w) { return w->Control->GetWindowHandle(); }
    // The program's loop until its window is closed.
    static void RunLoop() { Run(Applet); }
    // From any thread: closes the main window as a person would, which ends RunLoop.
    void Close() { PostMessageW(Window(S->Form), WM_CLOSE, 0, 0); }
};
