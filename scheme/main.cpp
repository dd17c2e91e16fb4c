// The program body: start-up, the information switch, the run step, the message loop and the end.
#include <windows.h>

#include "scheme/scheme.h"
#include "support/cmdline.h"
#include "support/cp1251.h"
#include "support/runerror.h"
#include "toolkit/applet.h"
#include "toolkit/mmtimer.h"
#include "toolkit/syslib.h"
#include "toolkit/wintext.h"
#include "wincomponents/kvhintmanager.h"
#include "wincomponents/kvmainform.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*line*/, int /*show*/) {
    InstallErrorHandler();
    UseSystemLibrarySearch();
    // Every end of the program first silences it: no chain runs while an error is being reported.
    AddExitProc(&StopTimerEvents);
    AddExitProc(&DisableLinks);
    InitCommonControlsEx(0xFF);
    InitHintManager();
    InitForms();

    // The wide command line: a path outside the system code page must not hide the switch.
    if (ParamStr(reinterpret_cast<const char16_t*>(GetCommandLineW()), 1) == u"/ik") {
        MessageBoxW(nullptr, ToWide(Cp1251("Сделано в Kovra.")).c_str(), L"Kovra Info", MB_OK);
    } else {
        auto* scheme = new TClassMainForm_4051E30;
        // Without its window the program could never be closed, while the application window kept
        // a button on the taskbar: it ends with a report instead.
        TControl* form = scheme->Form->Control;
        if (form == nullptr || form->GetWindowHandle() == nullptr) RunError(kErrUnhandled);
        if (Applet != nullptr) Applet->SetCreateVisible(scheme->Form->Visible != 0);
        EnableLinks();
        RunStartProcs();
        Run(Applet);
        delete scheme;
    }

    RunExitProcs();
    DoneForms();
    DoneHintManager();
    RemoveErrorHandler();
    return ExitCode;
}
