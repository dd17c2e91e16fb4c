// Window components on real windows: properties read back as styles and fonts; the edit's change
// reports and text action; the lamp's and its tip's GDI objects.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "wincomponents/kvbutton.h"
#include "wincomponents/kvedit.h"
#include "wincomponents/kvlabel.h"
#include "wincomponents/kvled.h"

namespace {

struct StyleCase {
    const char* name;
    int kind;  // 0 label, 1 edit, 2 button
    uint8_t ctl3d, border, flat;
    int32_t tabOrder;
    DWORD styleOn, styleOff, exOn, exOff;
};

const StyleCase kStyles[] = {
    {"edit sunken", 1, 0, 0, 0, 0, 0, 0, WS_EX_CLIENTEDGE, 0},
    {"edit flat", 1, 1, 0, 0, 0, 0, 0, 0, WS_EX_CLIENTEDGE},
    {"edit modal frame", 1, 0, 4, 0, 0, 0, 0, WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, 0},
    // A label or button is made flat, so Ctl3D 1 leaves it without a border.
    {"label flat as made", 0, 1, 0, 0, 0, 0, WS_BORDER, 0, WS_EX_CLIENTEDGE},
    {"button flat as made", 2, 1, 0, 0, 0, BS_MULTILINE, WS_BORDER | BS_FLAT, 0, WS_EX_CLIENTEDGE},
    {"button flat", 2, 1, 0, 1, 0, BS_FLAT | BS_MULTILINE, 0, 0, 0},
    {"label tab stop", 0, 1, 0, 0, 3, WS_TABSTOP, 0, 0, 0},
};

// Each row read back from the window; every component also gets the font at its display's dpi, and an
// empty hint makes no tip (most of the program's components have one).
TEST(KVWin, PropertiesBecomeStylesAndTheFont) {
    EXPECT_EQ(FontHeightAt(8, 96), -11);
    for (const StyleCase& c : kStyles) {
        SCOPED_TRACE(c.name);
        TKVWin* w = c.kind == 0   ? static_cast<TKVWin*>(Make<TKVLabel>(10, 10, 40, 20))
                    : c.kind == 1 ? static_cast<TKVWin*>(Make<TKVEdit>(10, 10, 40, 20))
                                  : static_cast<TKVWin*>(Make<TKVButton>(10, 10, 40, 20));
        w->Ctl3D = c.ctl3d;
        w->BorderStyle = c.border;
        w->Flat = c.flat;
        w->TabOrder = c.tabOrder;
        w->InitControl();
        w->AttachHint(nullptr);
        EXPECT_EQ(w->HintTool, nullptr);
        HWND h = Window(w);
        const DWORD style = GetWindowLongW(h, GWL_STYLE), ex = GetWindowLongW(h, GWL_EXSTYLE);
        EXPECT_EQ(style & c.styleOn, c.styleOn);
        EXPECT_EQ(style & c.styleOff, 0u);
        EXPECT_EQ(ex & c.exOn, c.exOn);
        EXPECT_EQ(ex & c.exOff, 0u);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        EXPECT_EQ(lf.lfHeight, FontHeightAt(8, WindowDpi(h)));
        delete w;
    }
}

// The initial text and the clearing on Enter are not reported as changes; the next typed one is, also
// when the edit was empty and so sent no change to arm the report. actText keeps the caret.
TEST(KVEdit, OnlyTheUsersChangesAreReported) {
    for (const std::string initial : {"host", ""}) {
        SCOPED_TRACE(initial);
        Probe p;
        auto* e = Make<TKVEdit>(10, 40, 100, 20);
        e->TextSource = MakeMethod<&TKVEdit::ReadText>(e);
        e->ClearAfterEnter = 1;
        e->MaxLength = 3;
        e->Text = initial;
        e->evEnter = p.Out(1);
        e->evKeyDown = p.Out(2);
        e->evChar = p.Out(3);
        e->evChange = p.Out(4);
        e->InitControl();
        HWND h = Window(e);
        SetFocus(h);
        // The loop's TranslateMessage makes the characters.
        PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
        PumpFor(0);
        EXPECT_EQ(p.Got, std::vector<std::string>{"1:" + initial}) << "no key, no character, no change";
        PostMessageW(h, WM_KEYDOWN, 'A', 0);
        PumpFor(0);
        EXPECT_EQ(p.Got.back(), "4:a");
        TData d;
        SetString(d, "abcdefgh");
        e->actText(d, 0);
        EXPECT_EQ(e->Control->GetCaption(), "abcdefgh") << "the typing limit does not limit actText";
        DWORD caret = 0;
        e->Control->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        EXPECT_EQ(caret, 1u);
        delete e;
    }
}

// The highest table slot among 256 fresh GDI objects. Freed slots are handed out first, in an order
// that varies, then new ones above every live object, so objects left alive by thousands push it up
// by about as many. (GetGuiResources reads 0 under Wine, and a single fresh slot misses a leak there:
// the lamp's paint frees an object after making one, which puts a slot back on top.)
int GdiTop() {
    HGDIOBJ made[256];
    int top = 0;
    for (HGDIOBJ& o : made) {
        o = CreateSolidBrush(0);
        top = std::max(top, static_cast<int>(reinterpret_cast<uintptr_t>(o) & 0xFFFF));
    }
    for (HGDIOBJ o : made)
        DeleteObject(o);
    return top;
}

// A lamp switched 10,000 times and rescaled 400 times leaves no GDI object behind; deleted, it deletes
// its own and its tip's.
TEST(KVLED, NoGdiGrowthAndEveryObjectDeleted) {
    auto* led = Make<TKVLED>(100, 200, 25, 25);
    led->OnColor = 0x0000FF;
    led->OffColor = 0x000080;
    led->LightColor = 0xFFFFFF;
    led->Bevel = 1;
    led->Hint = Cp1251("Доступность ресурса");
    led->InitControl();
    led->AttachHint(nullptr);
    ASSERT_NE(led->HintTool, nullptr);
    const int before = GdiTop();
    for (int i = 0; i < 10000; ++i) {
        EmitNull(MakeEvent<&TKVLED::actOn>(led, 0));
        PumpFor(0);
        EmitNull(MakeEvent<&TKVLED::actOff>(led, 0));
        PumpFor(0);
    }
    // Displays of another scale: new pens for the lamp's size each time.
    for (int i = 0; i < 400; ++i)
        led->ScaleTo(i % 2 == 0 ? 144 : 96);
    PumpFor(0);
    EXPECT_LT(GdiTop(), before + 2000) << "20,000 paints and 400 new sets of pens leave no GDI object behind";
    EXPECT_EQ(TKVHintManager::TipWindow(led->HintTool), nullptr) << "no tip before the pointer comes";
    led->HintLink->ToolEnter(led->HintTool);
    HWND tip = TKVHintManager::TipWindow(led->HintTool);
    ASSERT_TRUE(IsWindow(tip));
    const HGDIOBJ owned[] = {led->ShadowPen, led->HighlightPen, led->DarkPen,
                             led->LightPen,  led->WideWhitePen, led->WideOnPen,
                             led->OnBrush,   led->OffBrush,     led->HintTool->Font};
    delete led;
    EXPECT_FALSE(IsWindow(tip));
    for (HGDIOBJ o : owned)
        EXPECT_EQ(GetObjectType(o), 0u);
}

}  // namespace
