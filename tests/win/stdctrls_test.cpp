// The standard controls, keyboard navigation and the rich edit's formatting keys on one demo form,
// through real windows: keys typed through the system's input queue (SendInput), styles, sizes and
// formats read back from Win32, and a screenshot of the form saved beside the test.
#include <gtest/gtest.h>
#include <richedit.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/cp1251.h"
#include "toolkit/applet.h"
#include "toolkit/gdi.h"
#include "toolkit/navigation.h"
#include "toolkit/richkeys.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"
#include "toolkit/winthread.h"

#include "tests/support/wintest.h"

namespace {

struct Counter {
    int n = 0;
    void Hit(TObj* /*sender*/) { ++n; }
    TOnEvent Event() { return MakeOnEvent<&Counter::Hit>(this); }
};

// The demo form: a label, an edit, a button, a rich edit, a default and a cancel button.
class Demo : public ::testing::Test {
public:
    TControl *app, *form, *label, *edit, *button, *rich, *ok, *cancel;
    Counter okClicks, cancelClicks;

protected:
    void SetUp() override {
        InitCommonControlsEx(0xFF);
        app = NewApplet("Demo");
        form = NewForm(app, Cp1251("Демонстрация"));
        form->SetBoundsRect({100, 100, 500, 400});
        label = NewLabel(form, Cp1251("Хост:"));
        label->SetBoundsRect({10, 12, 60, 34});
        edit = NewEditbox(form, 0);
        edit->SetBoundsRect({60, 10, 260, 32});
        edit->SetCaption(Cp1251("локальная машина"));
        button = NewButton(form, Cp1251("Пуск"));
        button->SetBoundsRect({270, 10, 370, 34});
        rich = NewRichEdit(form, 0);
        rich->SetBoundsRect({10, 45, 370, 195});
        ok = NewButton(form, "OK");
        ok->SetBoundsRect({190, 210, 270, 234});
        ok->OnClick = okClicks.Event();
        cancel = NewButton(form, Cp1251("Отмена"));
        cancel->SetBoundsRect({280, 210, 370, 234});
        cancel->OnClick = cancelClicks.Event();
        SetDefaultButton(ok, VK_RETURN, true);
        SetDefaultButton(cancel, VK_ESCAPE, true);
        InstallTabNavigation(edit);
        AttachFormatKeys(rich);
        app->SetCreateVisible(true);
        app->CreateWindow();
        AppletRunning = true;  // these tests run the loop's steps themselves
        ASSERT_NE(form->GetWindowHandle(), nullptr);
        SetForegroundWindow(form->Handle);
        Pump();
    }

    void TearDown() override {
        TControl* a = app;
        Terminate(a);
        // The quit message that closing the application posted must not end the next test's loop.
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        Applet = nullptr;
        AppletRunning = AppletTerminated = AppletUsed = false;
    }

    // Handles what is queued, as the main loop does, until the queue stays empty a while.
    void Pump() {
        for (int idle = 0; idle < 3;)
            idle = ProcessMessage(app) ? 0 : (Sleep(5), idle + 1);
    }
    void Focus(TControl* c) {
        SetFocus(c->Handle);
        Pump();
    }
};

SIZE Extent(TControl* c, const std::string& text) {
    HDC dc = GetDC(c->Handle);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c->Handle, WM_GETFONT, 0, 0)));
    const std::wstring w = ToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(c->Handle, dc);
    return size;
}

TEST_F(Demo, TabArrowsEnterAndEscInTheLoopAndDuringAPumpingWait) {
    // Between the demo's controls: disabled, hidden, without the tab-stop style; and a multi-line edit.
    TControl* skipped[] = {NewButton(form, "disabled"), NewButton(form, "hidden"),
                           NewCommandControl(form, "BUTTON", 0x50000000, {})};
    skipped[0]->SetEnabled(false);
    skipped[1]->SetVisible(false);
    TControl* multi = NewEditbox(form, eoMultiline);
    multi->SetBoundsRect({10, 240, 200, 290});
    for (TControl* c : {skipped[0], skipped[1], skipped[2], multi})
        ASSERT_NE(c->GetWindowHandle(), nullptr);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const struct {
        TControl* Demo::*from;  // null: the multi-line edit, in both columns
        WORD key, modifier;
        TControl* Demo::*to;
        int ok = 0, cancel = 0;  // clicks
    } cases[] = {
        {&Demo::edit, VK_TAB, 0, &Demo::button},
        {&Demo::button, VK_TAB, 0, &Demo::rich},
        {&Demo::rich, VK_TAB, 0, &Demo::ok},
        {&Demo::cancel, VK_TAB, 0, nullptr},
        {nullptr, VK_TAB, 0, &Demo::edit},         // the highest wraps to the lowest
        {&Demo::edit, VK_TAB, VK_SHIFT, nullptr},  // and back
        {&Demo::button, VK_RIGHT, 0, &Demo::rich},
        {&Demo::button, VK_PRIOR, 0, &Demo::edit},
        {&Demo::edit, VK_DOWN, 0, &Demo::button},  // an edit gives up up and down,
        {&Demo::edit, VK_LEFT, 0, &Demo::edit},    // keeps left and right;
        {&Demo::rich, VK_DOWN, 0, &Demo::rich},    // a rich or multi-line edit keeps all but Tab
        {nullptr, VK_NEXT, 0, nullptr},
        {&Demo::edit, VK_RETURN, 0, &Demo::ok, 1, 0},  // Enter from a single-line edit presses OK,
        {&Demo::button, VK_RETURN, 0, &Demo::button},  // not from another button,
        {&Demo::cancel, VK_RETURN, 0, &Demo::cancel},  // nor from the cancel button,
        {&Demo::rich, VK_RETURN, 0, &Demo::rich},      // nor from a rich edit
        {&Demo::ok, VK_RETURN, 0, &Demo::ok, 1, 0},
        {&Demo::rich, VK_ESCAPE, 0, &Demo::cancel, 0, 1},
    };
    for (const bool wait : {false, true}) {
        for (const auto& c : cases) {
            TControl* from = c.from != nullptr ? this->*c.from : multi;
            TControl* to = c.to != nullptr ? this->*c.to : multi;
            SCOPED_TRACE(testing::Message()
                         << from->TabOrder << " key " << c.key << (wait ? " waiting" : ""));
            okClicks.n = cancelClicks.n = 0;
            Focus(from);
            c.modifier != 0 ? TypeKey(c.key, {c.modifier}) : TypeKey(c.key);
            wait ? static_cast<void>(PumpingWait(never, 150)) : Pump();
            EXPECT_EQ(ControlOf(GetFocus()), to);
            EXPECT_EQ(form->FocusedChild, to);
            EXPECT_EQ(okClicks.n, c.ok);
            EXPECT_EQ(cancelClicks.n, c.cancel);
        }
    }
    CloseHandle(never);
    // Characters whose codes equal navigation keys stay typing ('(' is VK_DOWN); no Tab landed.
    edit->SetCaption("");
    Focus(edit);
    TypeKey('9', {VK_SHIFT});
    Pump();
    EXPECT_EQ(TextOf(edit->Handle), L"(");
    EXPECT_EQ(TextOf(rich->Handle), L"\r\n\r\n");  // its own two Enters, and no Tab
    // Taken back: Enter presses nothing, the application's hook is what it was, the look is plain.
    SetDefaultButton(ok, VK_RETURN, false);
    SetDefaultButton(cancel, VK_ESCAPE, false);
    EXPECT_FALSE(app->MessageHook);
    EXPECT_EQ(GetWindowLongW(ok->Handle, GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    TypeKey(VK_RETURN);
    Pump();
    EXPECT_EQ(okClicks.n, 0);
}

TEST_F(Demo, FormattingKeysActOnTheSelection) {
    SetWindowTextW(rich->Handle, L"Эхо и ответ");
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_SIZE;
    cf.yHeight = 240;
    SendMessageW(rich->Handle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    Focus(rich);
    SendMessageW(rich->Handle, EM_SETSEL, 0, 3);
    PARAFORMAT2 pf{};
    const DWORD kEffects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT;
    const struct {
        WORD key;
        bool shift;
        long (*read)(const CHARFORMAT2W&, const PARAFORMAT2&);
        long expected;
    } cases[] = {
#define CF(expr) [](const CHARFORMAT2W& c, const PARAFORMAT2&) -> long { return expr; }
#define PF(expr) [](const CHARFORMAT2W&, const PARAFORMAT2& p) -> long { return expr; }
        {'B', false, CF(c.dwEffects & kEffects), CFE_BOLD},
        {'B', false, CF(c.dwEffects & kEffects), 0},
        {'B', true, CF(c.dwEffects & kEffects), 0},  // with Shift it passes on
        {'I', false, CF(c.dwEffects & kEffects), CFE_ITALIC},
        {'I', false, CF(c.dwEffects & kEffects), 0},
        {'U', false, CF(c.dwEffects & kEffects), CFE_UNDERLINE},
        {'U', true, CF(c.bUnderlineType), CFU_UNDERLINENONE},  // the underline type steps down
        {'U', true, CF(c.bUnderlineType), CFU_UNDERLINEDOTTED},
        {'O', false, CF(c.dwEffects & kEffects), CFE_UNDERLINE | CFE_STRIKEOUT},
        {'R', false, PF(p.wAlignment), PFA_RIGHT},
        {'E', false, PF(p.wAlignment), PFA_CENTER},
        {'J', false, PF(p.wAlignment), PFA_JUSTIFY},
        {'L', false, PF(p.wAlignment), PFA_LEFT},
        {'R', true, PF(p.wAlignment), PFA_LEFT},
        {VK_ADD, false, CF(c.yHeight), 270},       // 240 + 240 / 8
        {VK_SUBTRACT, false, CF(c.yHeight), 237},  // 270 - 270 / 8, truncated
        {VK_ADD, true, CF(c.yOffset), 79},         // a third of 237
        {VK_SUBTRACT, true, CF(c.yOffset), 0},
        {'N', false, PF(p.wNumbering), PFN_ARABIC},
        {'N', false, PF(p.wNumbering), PFN_LCLETTER},
        {'N', true, PF(p.wNumberingStyle), PFNS_PARENS},
        {'W', false, PF(p.wBorders & 0xF), 8},
        {'W', true, PF(p.wBorders & 0xF), 12},
#undef CF
#undef PF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Ctrl+" << (c.shift ? "Shift+" : "") << c.key);
        c.shift ? TypeKey(c.key, {VK_CONTROL, VK_SHIFT}) : TypeKey(c.key, {VK_CONTROL});
        Pump();
        pf.cbSize = sizeof pf;
        SendMessageW(rich->Handle, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        SendMessageW(rich->Handle, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
        EXPECT_EQ(c.read(cf, pf), c.expected);
        EXPECT_EQ(TextOf(rich->Handle), L"Эхо и ответ");  // no key typed its character too
    }
    // Ctrl+Z stays the control's own undo; Ctrl+Shift+Z redoes.
    SendMessageW(rich->Handle, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"Звук"));
    TypeKey('Z', {VK_CONTROL});
    Pump();
    EXPECT_EQ(TextOf(rich->Handle), L"Эхо и ответ");
    TypeKey('Z', {VK_CONTROL, VK_SHIFT});
    Pump();
    EXPECT_EQ(TextOf(rich->Handle), L"Звук и ответ");
    Focus(edit);
    EXPECT_TRUE(SaveWindowBitmap(form->Handle, L"stdctrls_demo.bmp"));  // the artefact a person looks at
}

TEST_F(Demo, SizeToTextLinksAndLongTexts) {
    const std::string longer = Cp1251("Размер по тексту, подлиннее");
    SetAutoSize(label, true);  // text + 1 each way, and it follows the caption
    label->SetCaption(longer);
    EXPECT_EQ(label->Width(), Extent(label, longer).cx + 1);
    EXPECT_EQ(label->Height(), Extent(label, longer).cy + 1);
    label->GetFont()->SetFontStyle(2);  // italic: one blank more
    EXPECT_EQ(label->Width(), Extent(label, longer + " ").cx + 1);
    SetAutoSize(button, true);  // a button only its width, + 14
    EXPECT_EQ(button->Width(), Extent(button, Cp1251("Пуск")).cx + 14);
    EXPECT_EQ(button->Height(), 24);
    SetAutoSize(button, false);
    button->SetCaption(longer);
    EXPECT_EQ(button->Width(), Extent(button, Cp1251("Пуск")).cx + 14);

    // A face name of 32 characters or more is cut; 100,000 characters of caption or text are kept.
    label->GetFont()->SetFontName(std::string(40, 'A'));
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label->Handle, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(31, L'A'));
    SendText(rich->Handle, EM_REPLACESEL, 0, std::string(100000, 'x'));
    EXPECT_EQ(GetWindowTextLengthW(rich->Handle), 100000);

    Counter link, over, selection;
    rich->OnSelChange = selection.Event();
    SendMessageW(rich->Handle, EM_SETSEL, 1, 5);
    EXPECT_GE(selection.n, 1);
    SetOnLink(rich, link.Event());
    SetOnMouseOverLink(rich, over.Event());
    SetWindowTextW(rich->Handle, L"см. http://localhost/эхо сюда");
    POINTL at{};
    SendMessageW(rich->Handle, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), 8);
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
        SendMessageW(rich->Handle, m, m == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(at.x + 2, at.y + 4));
    EXPECT_GE(over.n, 1);
    EXPECT_EQ(link.n, 1);
    EXPECT_EQ(rich->LinkText, Cp1251("http://localhost/эхо").str());

    // Without a parent window nothing is made, and nothing fails.
    TControl* orphan = NewRichEdit(nullptr, eoReadonly);
    EXPECT_EQ(orphan->GetWindowHandle(), nullptr);
    SetAutoSize(orphan, true);
    orphan->Free();
}

TEST(RichEditLibrary, FallsBackThroughTheLibraries) {
    static const wchar_t* present;
    for (const auto& [libs, loaded, name] : {std::tuple{L"RICHED20.DLL RICHED32.DLL", true, "RichEdit20W"},
                                             {L"RICHED32.DLL", true, "RichEdit"},
                                             {L"RICHED.DLL", true, "RichEdit"},
                                             {L"", false, "RichEdit"}}) {
        present = libs;
        const TRichEditLibrary lib = LoadRichEditLibrary([](const wchar_t* n) {
            return wcsstr(present, n) != nullptr ? reinterpret_cast<HMODULE>(0x10000) : nullptr;
        });
        EXPECT_EQ(lib.Module != nullptr, loaded);
        EXPECT_STREQ(lib.ClassName, name);
    }
}

}  // namespace
