#include "toolkit/applet.h"

#include <commctrl.h>

#include "toolkit/gdi.h"
#include "toolkit/syslib.h"

TControl* Applet = nullptr;
bool AppletRunning = false;
bool AppletTerminated = false;
bool AppletUsed = false;
void (*IdleHook)(TControl* applet) = nullptr;

namespace {

HMODULE comCtlLibrary = nullptr;

// ---- The application window's handlers

void TrimSystemMenu(TControl* self) {
    HMENU menu = GetSystemMenu(self->Handle, FALSE);
    if (menu == nullptr) return;
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
}

bool AppletHandler(TControl* self, MSG& msg, LRESULT& result) {
    if (msg.message == WM_SETFOCUS) {
        TControl* form = self->FocusedChild;
        if (form == nullptr) return false;
        if (HWND w = form->GetWindowHandle(); w != nullptr) SetFocus(w);
        result = 0;
        return true;
    }
    if (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE) {
        // Closing from the taskbar goes through the main form's OnClose.
        TControl* main = self->Child(0);
        if (main == nullptr || main != MainWindow()) return false;
        main->Perform(WM_CLOSE, 0, 0);
        result = 0;
        return true;
    }
    return false;
}

// ---- Every form's handlers

bool FormHandler(TControl* self, MSG& msg, LRESULT& result) {
    switch (msg.message) {
        case WM_SETFOCUS: {
            if (Applet != nullptr) Applet->FocusedChild = self;
            TControl* child = self->FocusedChild;
            if (child == nullptr) return false;
            if (HWND w = child->GetWindowHandle(); w != nullptr) SetFocus(w);
            result = 0;
            return true;
        }
        case WM_ENDSESSION: {
            if (msg.wParam == 0) return false;
            AppletTerminated = true;
            AppletRunning = false;
            TControl* app = Applet;
            Applet = nullptr;
            TObj::Free(app);
            ExitProcess(0);
        }
        case WM_ERASEBKGND: {
            for (int32_t i = 0; i < self->ChildCount(); ++i)
                self->Child(i)->CreateWindow();
            if (self->Transparent != 0) return false;
            HDC dc = reinterpret_cast<HDC>(msg.wParam);
            RECT r;
            GetClientRect(msg.hwnd, &r);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, Color2RGB(self->Color));
            SetBrushOrgEx(dc, 0, 0, nullptr);
            FillRect(dc, &r, self->BackgroundBrush());
            result = 1;
            return false;  // default processing still follows
        }
        default:
            return false;
    }
}

// Takes the next message: input and paint first, then anything else. Posted messages (a timer's
// ticks among them) would otherwise always come before the person's keys and clicks.
bool PeekNext(MSG& msg) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_PAINT)) return true;
    return PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
}

}  // namespace

TControl* NewApplet(std::string_view caption) {
    TControl* a = NewControl(nullptr, kAppClass);
    if (a == nullptr) return nullptr;
    a->Style = 0x90CA0000;
    a->ExStyle = WS_EX_APPWINDOW;
    a->AttachHandler(&AppletHandler);
    a->AfterCreateHook = &TrimSystemMenu;
    a->SetCaption(caption);
    AppletUsed = true;
    if (Applet == nullptr) Applet = a;
    return a;
}

TControl* NewForm(TControl* parent, std::string_view caption) {
    TControl* f = NewControl(parent, "Form", true);
    if (f == nullptr) return nullptr;
    f->ClassStyle |= CS_DBLCLKS;
    f->AttachHandler(&FormHandler);
    f->SetCaption(caption);
    f->IsForm = 1;
    return f;
}

TControl* MainWindow() {
    if (AppletUsed) {
        TControl* app = Applet;
        return app != nullptr ? app->Child(0) : nullptr;
    }
    return nullptr;
}

bool ProcessMessage(TControl* applet, MSG& msg) {
    if (!PeekNext(msg)) return false;
    if (msg.message == WM_QUIT) {
        // A quit the program asks for (PostQuitMessage) belongs to no window; one posted to a window
        // of ours came from another program, which may not stop this one.
        if (msg.hwnd == nullptr) AppletTerminated = true;
        return true;
    }
    if (applet != nullptr && applet->OnMessage && applet->OnMessage(applet, msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

bool ProcessMessage(TControl* applet) {
    MSG msg;
    return ProcessMessage(applet, msg);
}

void ProcessMessages(TControl* applet) {
    while (ProcessMessage(applet)) {
    }
}

void Run(TControl*& applet) {
    AppletRunning = true;
    Applet = applet;
    if (applet != nullptr) applet->CreateWindow();
    while (!AppletTerminated) {
        WaitMessage();
        ProcessMessages(applet);
        if (IdleHook != nullptr) IdleHook(applet);
    }
    if (applet != nullptr) Terminate(applet);
}

void Terminate(TControl*& applet) {
    const bool already = AppletTerminated;
    AppletTerminated = true;
    AppletRunning = false;
    TControl* a = applet != nullptr ? applet : Applet;
    if (Applet == a) Applet = nullptr;
    if (a == nullptr) return;
    a->AddRef();
    if (!already) {
        ProcessMessages(a);
        a->Perform(WM_CLOSE, 0, 0);
    }
    applet = nullptr;
    a->Free();
    a->ReleaseRef();
}

void InitCommonControlsEx(uint32_t classes) {
    InitCommonControls();
    // The one the program's manifest chose, loaded with it.
    if (comCtlLibrary == nullptr) comCtlLibrary = GetModuleHandleW(L"comctl32.dll");
    if (comCtlLibrary == nullptr) comCtlLibrary = LoadSystemLibrary(L"comctl32.dll");
    if (comCtlLibrary == nullptr) return;
    using TInitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<TInitEx>(
        reinterpret_cast<void*>(GetProcAddress(comCtlLibrary, "InitCommonControlsEx")));
    if (init == nullptr) return;
    INITCOMMONCONTROLSEX rec{sizeof(rec), classes};
    init(&rec);
}
