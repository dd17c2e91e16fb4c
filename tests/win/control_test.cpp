// The control core and the application loop, through real windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cp1251.h"
#include "toolkit/applet.h"
#include "toolkit/control.h"
#include "toolkit/gdi.h"
#include "toolkit/wintext.h"
#include "toolkit/winthread.h"

#include "tests/support/wintest.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;

const TNotifyRec kButtonRec{nullptr, BN_CLICKED, BN_SETFOCUS, BN_KILLFOCUS, kNoNotify, kNoNotify, 0x100,
                            0x200,   0x300,      0,           14,           0};

// Every test starts with no application object and the run state of a fresh process.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
    void TearDown() override {
        if (Applet != nullptr) {
            TControl* a = Applet;
            Terminate(a);
        }
        ResetRunState();
    }
    static void ResetRunState() {
        Applet = nullptr;
        AppletRunning = AppletTerminated = AppletUsed = false;
        GlobalMessageFilter = nullptr;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

// ---- Class names, the window property, long texts, destruction with the owner

TEST_F(ControlTest, WindowsAreMadeLazilyUnderTheirClassesAndDieWithTheApplication) {
    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    TControl* button = NewCommandControl(form, "BUTTON", 0x50011000, kButtonRec, false);
    TControl* edit = NewCommandControl(form, "EDIT", 0x50810080, TNotifyRec{}, true);
    ASSERT_EQ(form->Handle, nullptr) << "no window before one is needed";
    ASSERT_TRUE(form->CreateWindow());
    ASSERT_NE(button->Handle, nullptr) << "the children's windows are made with the form's";
    const std::pair<TControl*, const wchar_t*> cases[] = {
        {app, L"obj_App"}, {form, L"obj_Form"}, {button, L"obj_BUTTON"}, {edit, L"obj_EDIT"}};
    for (const auto& [c, cls] : cases) {
        wchar_t buf[64] = {};
        GetClassNameW(c->Handle, buf, 64);
        EXPECT_STREQ(buf, cls);
        EXPECT_EQ(GetPropW(c->Handle, L"SELF_"), c);
        EXPECT_EQ(ControlOf(c->Handle), c);
    }
    EXPECT_EQ(GetWindow(form->Handle, GW_OWNER), app->Handle) << "forms are owned by the application window";
    EXPECT_EQ(GetDlgCtrlID(edit->Handle), button->CtlId + 1);
    EXPECT_EQ(form->FocusedChild, button) << "the first tab stop";

    // A 100,000-character caption, Russian, is taken whole and read back whole.
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big.push_back(Cp1251("Жж1").view()[static_cast<size_t>(i % 3)]);
    edit->SetCaption(big);
    EXPECT_EQ(GetWindowTextLengthW(edit->Handle), 100000);
    EXPECT_EQ(edit->GetCaption(), big);
    EXPECT_EQ(TextOf(edit->Handle), ToWide(big));

    HWND buttonWindow = button->Handle;
    TObj::Free(app);
    Applet = nullptr;
    EXPECT_FALSE(IsWindow(buttonWindow));
}

// ---- The order of the WndProc chain

std::vector<std::string>* trace = nullptr;
int stopAt = -1;  // the step that reports handled

// Step I of the chain: records itself and reports handled (result I + 1) when it is the one to stop.
template <int I>
bool At(TControl*, MSG& m, LRESULT& r) {
    if (m.message != kProbe) return false;
    trace->push_back(std::to_string(I));
    r = I + 1;
    return I == stopAt;
}
bool AfterStep(TControl*, MSG& m, LRESULT& r) {
    if (m.message == kProbe) trace->push_back("after " + std::to_string(r));
    return false;
}

TEST_F(ControlTest, HooksSeeAMessageInTheirOrderAndTheFirstThatHandlesEndsTheChain) {
    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    ASSERT_NE(form->GetWindowHandle(), nullptr);
    AppletRunning = true;  // the application's hook is asked only while the loop runs
    GlobalMessageFilter = &At<0>;
    app->MessageHook = TOnMessage{[](void*, MSG& m, LRESULT& r) { return At<1>(nullptr, m, r); }, nullptr};
    form->MessageHook = TOnMessage{[](void*, MSG& m, LRESULT& r) { return At<2>(nullptr, m, r); }, nullptr};
    form->AttachHandler(&At<4>);
    form->AttachHandler(&At<3>);  // the last attached is asked first
    form->AttachHandler(&At<4>);  // once only
    form->ParentHook = &At<5>;
    form->AfterHook = &AfterStep;
    // stopAt = 6: nobody handles, the message reaches default processing (result 0).
    for (stopAt = 0; stopAt <= 6; ++stopAt) {
        SCOPED_TRACE(testing::Message() << "handled at step " << stopAt);
        std::vector<std::string> seen, want;
        trace = &seen;
        const LRESULT r = form->Perform(kProbe, 0, 0);
        for (int i = 0; i <= std::min(stopAt, 5); ++i)
            want.push_back(std::to_string(i));
        want.push_back("after " + std::to_string(stopAt < 6 ? stopAt + 1 : 0));
        EXPECT_EQ(seen, want);
        EXPECT_EQ(r, stopAt < 6 ? stopAt + 1 : 0);
    }
    trace = nullptr;
    AppletRunning = false;
    GlobalMessageFilter = nullptr;
}

// ---- A handler that frees its control while the control dispatches

int destroyedDuring = -1;
bool inHandler = false;
bool laterHandlerRan = false;

bool FreeingHandler(TControl* self, MSG& m, LRESULT&) {
    if (m.message != kProbe) return false;
    inHandler = true;
    self->Free();
    // Still alive: the dispatch holds it. Touch it the way a handler would.
    self->SetCaption("still here");
    EXPECT_EQ(self->GetCaption(), "still here");
    inHandler = false;
    return false;  // not handled, yet the chain must stop: the control is on its way out
}

bool LaterHandler(TControl*, MSG& m, LRESULT&) {
    if (m.message == kProbe) laterHandlerRan = true;
    return false;
}

TEST_F(ControlTest, AControlFreedDuringItsDispatchDiesWhenTheDispatchReturns) {
    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    TControl* button = NewCommandControl(form, "BUTTON", 0x50011000, kButtonRec, false);
    ASSERT_NE(form->GetWindowHandle(), nullptr);
    HWND w = button->Handle;
    ASSERT_NE(w, nullptr);
    button->AttachHandler(&LaterHandler);
    button->AttachHandler(&FreeingHandler);
    button->OnDestroy = TOnEvent{[](void*, TObj*) { destroyedDuring = inHandler ? 1 : 0; }, nullptr};
    laterHandlerRan = false;
    destroyedDuring = -1;

    SendMessageW(w, kProbe, 0, 0);
    EXPECT_EQ(destroyedDuring, 0) << "destroyed after the handler returned, not inside it";
    EXPECT_FALSE(laterHandlerRan) << "a freed control handles nothing more";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(form->ChildCount(), 0);
    EXPECT_EQ(form->FocusedChild, nullptr) << "no dangling focus";
    // The window's later messages (none, it is gone) and the form's keep working.
    EXPECT_EQ(form->Perform(WM_GETTEXTLENGTH, 0, 0), 4);
}

// ---- The loop: OnClose refusing, quit with messages still queued

int refusals = 0;
int probes = 0;

LRESULT CALLBACK ProbeProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kProbe) {
        ++probes;
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

HWND ProbeWindow() {
    return MakeMessageWindow(L"CoreProbe", &ProbeProc);
}

TEST_F(ControlTest, ClosingTheMainFormEndsTheLoopOnlyWhenOnCloseAccepts) {
    TControl* app = NewApplet("app");
    TControl* main = NewForm(app, "main");
    TControl* other = NewForm(app, "other");
    main->SetCreateVisible(true);
    other->SetCreateVisible(true);
    refusals = 0;
    probes = 0;
    HWND probe = ProbeWindow();
    main->OnClose = TOnClose{[](void*, TControl*, bool& accept) { accept = ++refusals > 1; }, nullptr};
    // The first close is refused; the probe proves the loop went on; the second close is accepted.
    IdleHook = [](TControl* a) {
        static int step = 0;
        if (a == nullptr) return;
        TControl* m = a->Child(0);
        if (step == 0) PostMessageW(m->Handle, WM_CLOSE, 0, 0);
        if (step == 1)
            PostMessageW(FindWindowExW(HWND_MESSAGE, nullptr, L"CoreProbe", nullptr), kProbe, 0, 0);
        if (step == 2) {
            EXPECT_TRUE(static_cast<bool>(m->OnClose)) << "a refusing OnClose stays installed";
            PostMessageW(m->Handle, WM_CLOSE, 0, 0);
        }
        ++step;
    };
    PostMessageW(probe, WM_NULL, 0, 0);  // wakes the first wait
    TControl* runner = app;
    ::Run(runner);
    IdleHook = nullptr;
    EXPECT_EQ(runner, nullptr);
    EXPECT_EQ(Applet, nullptr);
    EXPECT_EQ(refusals, 2);
    EXPECT_EQ(probes, 1);
    EXPECT_TRUE(AppletTerminated);
    DestroyWindow(probe);
}

TEST_F(ControlTest, AQuitPostedBehindOtherMessagesLetsThemRunAndEndsTheLoop) {
    TControl* app = NewApplet("app");
    NewForm(app, "main");
    HWND probe = ProbeWindow();
    probes = 0;
    for (int i = 0; i < 3; ++i)
        PostMessageW(probe, kProbe, 0, 0);
    PostQuitMessage(0);
    PostMessageW(probe, kProbe, 0, 0);  // queued after the quit, still before the quit is handed out
    TControl* runner = app;
    ::Run(runner);
    EXPECT_EQ(probes, 4);
    EXPECT_EQ(runner, nullptr);
    // Terminate after the quit neither drains again nor closes anything: nothing is left to free.
    TControl* none = nullptr;
    Terminate(none);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "no second quit";
    DestroyWindow(probe);
}

// ---- The waits that keep the window answering take the loop's own step

TEST_F(ControlTest, APumpingWaitHandsEveryMessageToTheLoopsStep) {
    TControl* app = NewApplet("app");
    NewForm(app, "main");
    HWND probe = ProbeWindow();
    probes = 0;
    static int filtered = 0;
    filtered = 0;
    // The application's filter sees the wait's messages and may consume them, as in Run.
    app->OnMessage = TOnAppMessage{[](void*, TControl*, MSG& m) {
                                       if (m.message != kProbe) return false;
                                       return ++filtered == 1;  // the first is consumed
                                   },
                                   nullptr};
    PostMessageW(probe, kProbe, 0, 0);
    PostMessageW(probe, kProbe, 0, 0);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(PumpingWait(never, 200), TWaitResult::TimedOut);
    EXPECT_EQ(filtered, 2);
    EXPECT_EQ(probes, 1);
    // A quit taken by the wait ends the application's loop as it would in Run, and is kept for it.
    PostQuitMessage(3);
    EXPECT_EQ(PumpingWait(never, 200), TWaitResult::TimedOut);
    EXPECT_TRUE(AppletTerminated);
    MSG m;
    EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    CloseHandle(never);
    DestroyWindow(probe);
}

// ---- Tools: shared with the parent until changed; no GDI growth over many changes

TEST_F(ControlTest, ToolsAreSharedWithTheParentUntilChangedAndChangesLeakNothing) {
    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    TControl* a = NewCommandControl(form, "BUTTON", 0x50011000, kButtonRec, false);
    TControl* b = NewCommandControl(form, "STATIC", 0x5000018C, TNotifyRec{}, false);
    form->SetCreateVisible(true);
    ASSERT_TRUE(form->CreateWindow());

    HGDIOBJ formFont = form->GetFont()->GetHandle();
    EXPECT_EQ(a->GetFont()->GetHandle(), formFont);
    EXPECT_EQ(b->GetFont()->GetHandle(), formFont);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(a->Handle, WM_GETFONT, 0, 0)), formFont);
    EXPECT_EQ(a->BackgroundBrush(), form->BackgroundBrush());

    a->GetFont()->SetFontHeight(-20);
    EXPECT_NE(a->GetFont()->GetHandle(), formFont);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(a->Handle, WM_GETFONT, 0, 0)),
              a->GetFont()->GetHandle());
    EXPECT_EQ(b->GetFont()->GetHandle(), formFont) << "the sibling keeps sharing";
    const HGDIOBJ own = a->GetFont()->GetHandle();
    a->GetFont()->SetFontName(a->GetFont()->FontName());
    EXPECT_EQ(a->GetFont()->GetHandle(), own) << "the same name makes no new font";
    a->SetColor(0x0000FF);
    EXPECT_NE(a->BackgroundBrush(), form->BackgroundBrush());
    HDC screen = GetDC(nullptr);
    const int before = GdiProbe();
    for (int i = 0; i < 1000; ++i) {
        a->SetColor(static_cast<uint32_t>(i));
        a->BackgroundBrush();
        SendMessageW(a->Handle, WM_CTLCOLORBTN + kMsgColorReflect, reinterpret_cast<WPARAM>(screen), 0);
        a->GetFont()->SetFontHeight(-10 - i % 7);
        a->GetFont()->SetColor(static_cast<uint32_t>(i));
        a->GetCanvas()->TextExtent("x");
        a->GetCanvas()->SetHandle(nullptr);
        UpdateWindow(form->Handle);
    }
    // One object kept per change would move the probe by 1,000 or more; the system's own caches move
    // it by a few.
    EXPECT_LE(GdiProbe(), before + 50) << "GDI objects grew over 1,000 changes";
    ReleaseDC(nullptr, screen);

    // Measuring works without a window (through a memory DC).
    TControl* loose = NewCommandControl(nullptr, "STATIC", 0x5000018C, TNotifyRec{}, false);
    const SIZE s = loose->GetCanvas()->TextExtent("Hello");
    EXPECT_GT(s.cx, 10);
    EXPECT_GT(s.cy, 5);
    EXPECT_EQ(loose->Handle, nullptr);
    TObj::Free(loose);
}

}  // namespace
