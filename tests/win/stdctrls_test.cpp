// The standard controls on one demo form, through real windows: keys typed through the system's input
// queue (SendInput) move the focus, press the default and cancel buttons and format the rich edit's
// selection in the loop; what they did is read back from Win32.
#include <gtest/gtest.h>
#include <richedit.h>
#include <windows.h>

#include <string>

#include "support/cp1251.h"
#include "toolkit/applet.h"
#include "toolkit/gdi.h"
#include "toolkit/navigation.h"
#include "toolkit/richkeys.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"

#include "tests/support/wintest.h"

namespace {

int okClicks = 0, cancelClicks = 0;

// The demo form: an edit, a button, a rich edit, OK and cancel, three buttons Tab must pass over and
// a multi-line edit, with tab navigation, default and cancel buttons and the formatting keys.
class StdCtrls : public ::testing::Test {
protected:
    void SetUp() override {
        app = NewApplet("Demo");
        form = NewForm(app, Cp1251("Демонстрация"));
        form->SetBoundsRect({100, 100, 500, 400});
        edit = NewEditbox(form, 0);
        button = NewButton(form, Cp1251("Пуск"));
        rich = NewRichEdit(form, 0);
        ok = NewButton(form, "OK");
        cancel = NewButton(form, Cp1251("Отмена"));
        // Between the cancel button and the multi-line edit: disabled, hidden, without the tab-stop style.
        NewButton(form, "disabled")->SetEnabled(false);
        NewButton(form, "hidden")->SetVisible(false);
        NewCommandControl(form, "BUTTON", 0x50000000, {});
        multi = NewEditbox(form, eoMultiline);
        okClicks = cancelClicks = 0;
        ok->OnClick = TOnEvent{[](void*, TObj*) { ++okClicks; }, nullptr};
        cancel->OnClick = TOnEvent{[](void*, TObj*) { ++cancelClicks; }, nullptr};
        SetDefaultButton(ok, VK_RETURN, true);
        SetDefaultButton(cancel, VK_ESCAPE, true);
        InstallTabNavigation(edit);
        AttachFormatKeys(rich);
        app->SetCreateVisible(true);
        app->CreateWindow();
        AppletRunning = true;  // the test runs the loop's steps itself
        ASSERT_NE(form->GetWindowHandle(), nullptr);
        SetForegroundWindow(form->Handle);
    }
    void TearDown() override {
        Terminate(app);
        // The next scenario starts an application of its own.
        AppletTerminated = false;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    TControl* app = nullptr;
    TControl* form = nullptr;
    TControl *edit = nullptr, *button = nullptr, *rich = nullptr, *ok = nullptr, *cancel = nullptr;
    TControl* multi = nullptr;
};

TEST_F(StdCtrls, KeysMoveTheFocusAndPressTheDefaultAndCancelButtons) {
    const struct {
        TControl* from;
        WORD key, modifier;
        TControl* to;
        int ok = 0, cancel = 0;  // clicks
    } moves[] = {
        {rich, VK_TAB, 0, ok},               // Tab goes to the next (a rich edit gives it up),
        {cancel, VK_TAB, 0, multi},          // past the disabled, hidden and no-tab-stop ones;
        {multi, VK_TAB, 0, edit},            // the highest wraps to the lowest
        {edit, VK_TAB, VK_SHIFT, multi},     // and back
        {edit, VK_DOWN, 0, button},          // an edit gives up up and down,
        {edit, VK_LEFT, 0, edit},            // keeps left and right;
        {rich, VK_DOWN, 0, rich},            // a rich or multi-line edit keeps all but Tab
        {edit, VK_RETURN, 0, ok, 1, 0},      // Enter from a single-line edit presses OK,
        {button, VK_RETURN, 0, button},      // not from another button
        {rich, VK_ESCAPE, 0, cancel, 0, 1},  // Esc presses cancel
    };
    for (const auto& c : moves) {
        SCOPED_TRACE(testing::Message() << c.from->TabOrder << " key " << c.key);
        okClicks = cancelClicks = 0;
        SetFocus(c.from->Handle);
        PumpFor(50);
        c.modifier != 0 ? TypeKey(c.key, {c.modifier}) : TypeKey(c.key);
        PumpFor(50);
        EXPECT_EQ(ControlOf(GetFocus()), c.to);
        EXPECT_EQ(form->FocusedChild, c.to);
        EXPECT_EQ(okClicks, c.ok);
        EXPECT_EQ(cancelClicks, c.cancel);
    }
    // Characters whose codes equal navigation keys stay typing ('(' is VK_DOWN); no Tab landed.
    SetFocus(edit->Handle);
    TypeKey('9', {VK_SHIFT});
    PumpFor(50);
    EXPECT_EQ(GetWindowText1251(edit->Handle), "(");
    EXPECT_EQ(GetWindowText1251(rich->Handle), "");
}

// The formatting keys act on the selection, and none types its character too (Ctrl+I a Tab, Ctrl+J a
// line feed, Ctrl+Num+ a '+' over the selection).
TEST_F(StdCtrls, TheFormattingKeysActOnTheSelectionAndTypeNothing) {
    SetWindowTextW(rich->Handle, L"Эхо и ответ");
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_SIZE;
    cf.yHeight = 240;
    SendMessageW(rich->Handle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
    SetFocus(rich->Handle);
    PumpFor(50);
    SendMessageW(rich->Handle, EM_SETSEL, 0, 3);
    PARAFORMAT2 pf{};
    const DWORD kEffects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT;
    const struct {
        WORD key;
        bool shift;
        long (*read)(const CHARFORMAT2W&, const PARAFORMAT2&);
        long expected;
    } formats[] = {
#define CF(expr) [](const CHARFORMAT2W& c, const PARAFORMAT2&) -> long { return expr; }
#define PF(expr) [](const CHARFORMAT2W&, const PARAFORMAT2& p) -> long { return expr; }
        {'B', false, CF(c.dwEffects & kEffects), CFE_BOLD},
        {'B', true, CF(c.dwEffects & kEffects), CFE_BOLD},                // with Shift it passes on
        {'I', false, CF(c.dwEffects & kEffects), CFE_BOLD | CFE_ITALIC},  // its Tab is not typed
        {'B', false, CF(c.dwEffects & kEffects), CFE_ITALIC},
        {'U', false, CF(c.dwEffects & kEffects), CFE_ITALIC | CFE_UNDERLINE},
        {'J', false, PF(p.wAlignment), PFA_JUSTIFY},  // nor its line feed
        {VK_ADD, false, CF(c.yHeight), 270},          // 240 + 240 / 8; its '+' is not typed
        {VK_SUBTRACT, false, CF(c.yHeight), 237},     // 270 - 270 / 8, truncated
        {VK_ADD, true, CF(c.yOffset), 79},            // a third of 237
        {'N', false, PF(p.wNumbering), PFN_ARABIC},
        {'W', false, PF(p.wBorders & 0xF), 8},
#undef CF
#undef PF
    };
    for (const auto& c : formats) {
        SCOPED_TRACE(testing::Message() << "Ctrl+" << (c.shift ? "Shift+" : "") << c.key);
        c.shift ? TypeKey(c.key, {VK_CONTROL, VK_SHIFT}) : TypeKey(c.key, {VK_CONTROL});
        PumpFor(50);
        pf.cbSize = sizeof pf;
        SendMessageW(rich->Handle, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        SendMessageW(rich->Handle, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
        EXPECT_EQ(c.read(cf, pf), c.expected);
        EXPECT_EQ(GetWindowText1251(rich->Handle), Cp1251("Эхо и ответ").str());
    }
}

TEST_F(StdCtrls, AFaceNameOf32CharactersOrMoreIsCutToFitTheFontsField) {
    edit->GetFont()->SetFontName(std::string(40, 'A'));
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(edit->Handle, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(31, L'A'));
}

}  // namespace
