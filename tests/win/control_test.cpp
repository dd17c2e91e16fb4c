// The control core and the application loop, through real windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "toolkit/applet.h"
#include "toolkit/control.h"
#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"

#include "tests/support/wintest.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;

int probes = 0;
int destroyedDuring = -1;
bool inHandler = false;

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

bool CountProbe(TControl*, MSG& m, LRESULT&) {
    if (m.message == kProbe) ++probes;
    return false;
}

// An application with a form holding a button (the first tab stop) and a label.
class Control : public ::testing::Test {
protected:
    void SetUp() override {
        app = NewApplet("app");
        form = NewForm(app, "form");
        a = NewButton(form, "a");
        b = NewLabel(form, "b");
        form->SetCreateVisible(true);
        ASSERT_TRUE(form->CreateWindow());
    }
    void TearDown() override {
        TObj::Free(app);  // null once Terminate has ended it
    }
    TControl* app = nullptr;
    TControl* form = nullptr;
    TControl* a = nullptr;
    TControl* b = nullptr;
};

TEST_F(Control, ToolsAreSharedWithTheParentUntilChangedAndChangesLeakNothing) {
    const auto windowFont = [](TControl* c) {
        return reinterpret_cast<HGDIOBJ>(SendMessageW(c->Handle, WM_GETFONT, 0, 0));
    };
    HGDIOBJ formFont = form->GetFont()->GetHandle();
    EXPECT_EQ(windowFont(a), formFont);
    EXPECT_EQ(a->BackgroundBrush(), form->BackgroundBrush());
    a->GetFont()->SetFontHeight(-20);
    const HGDIOBJ own = a->GetFont()->GetHandle();
    EXPECT_NE(own, formFont);
    EXPECT_EQ(windowFont(a), own);
    EXPECT_EQ(windowFont(b), formFont) << "the sibling keeps sharing";
    a->SetColor(0x0000FF);
    EXPECT_NE(a->BackgroundBrush(), form->BackgroundBrush());
    // Every change deletes what it replaced: of all the objects handed out, only the current brush
    // and font are left.
    std::set<HGDIOBJ> made;
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < 1000; ++i) {
        a->SetColor(static_cast<uint32_t>(i));
        made.insert(a->BackgroundBrush());
        made.insert(reinterpret_cast<HGDIOBJ>(
            SendMessageW(a->Handle, WM_CTLCOLORBTN + kMsgColorReflect, reinterpret_cast<WPARAM>(screen), 0)));
        a->GetFont()->SetFontHeight(-10 - i % 7);
        a->GetFont()->SetColor(static_cast<uint32_t>(i));
        made.insert(a->GetFont()->GetHandle());
        UpdateWindow(form->Handle);
    }
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(std::count_if(made.begin(), made.end(), [](HGDIOBJ h) { return GetObjectType(h) != 0; }), 2)
        << "of " << made.size() << " objects made";
    TControl* loose = NewLabel(nullptr, "Hello");
    EXPECT_GT(loose->GetCanvas()->TextExtent("Hello").cx, 10) << "measured without a window";
    TObj::Free(loose);
}

TEST_F(Control, AControlFreedDuringItsOwnDispatchGoesWhenTheDispatchEnds) {
    HWND w = a->Handle;
    ASSERT_EQ(form->FocusedChild, a) << "the first tab stop";
    // The window names its control to the toolkit and, by its property, to any program that asks.
    EXPECT_EQ(ControlOf(w), a);
    EXPECT_EQ(GetPropW(w, L"SELF_"), a);
    // A window of this process with extra bytes of its own, holding an address where the toolkit
    // keeps its control's: not the toolkit's, so it names none.
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = L"Foreign";
    RegisterClassW(&wc);
    HWND foreign =
        CreateWindowExW(0, L"Foreign", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(foreign, 0, reinterpret_cast<LONG_PTR>(a));
    EXPECT_EQ(ControlOf(foreign), nullptr) << "no window the toolkit did not make";
    DestroyWindow(foreign);
    a->AttachHandler(&CountProbe);
    a->AttachHandler(&FreeingHandler);
    a->OnDestroy = TOnEvent{[](void*, TObj*) { destroyedDuring = inHandler ? 1 : 0; }, nullptr};
    SendMessageW(w, kProbe, 0, 0);
    EXPECT_EQ(destroyedDuring, 0) << "destroyed after the handler returned, not inside it";
    EXPECT_EQ(probes, 0) << "a freed control handles nothing more";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(form->ChildCount(), 1);
    EXPECT_EQ(form->FocusedChild, nullptr) << "no dangling focus";
}

TEST_F(Control, TheLoopsStepShowsEveryMessageToTheFilterAndAQuitEndsTheLoop) {
    // The application's filter sees every message and may consume it.
    probes = 0;
    b->AttachHandler(&CountProbe);
    const HWND probe = b->Handle;
    static int filtered = 0;
    app->OnMessage = TOnAppMessage{[](void*, TControl*, MSG& m) {
                                       if (m.message != kProbe) return false;
                                       ++filtered;
                                       return m.wParam == 1;  // the marked ones are consumed
                                   },
                                   nullptr};
    PostMessageW(probe, WM_NULL, 0, 0);  // taken like any other: the batch goes on past it
    PostMessageW(probe, kProbe, 1, 0);
    PostMessageW(probe, kProbe, 0, 0);
    ProcessMessages(app);
    EXPECT_EQ(filtered, 2);
    EXPECT_EQ(probes, 1);
    // A quit ends the application's loop, after what was posted behind it is still taken.
    PostQuitMessage(3);
    PostMessageW(probe, kProbe, 1, 0);
    PostMessageW(probe, kProbe, 0, 0);
    ProcessMessages(app);
    EXPECT_EQ(filtered, 4);
    EXPECT_EQ(probes, 2);
    EXPECT_TRUE(AppletTerminated);
    Terminate(app);
}

}  // namespace
