// Window components on real windows: properties read back as styles, fonts and pixels; the key,
// wheel and resize routines; the main form's close veto and bounds storage; the edit's text actions;
// the lamps' pixels and GDI objects; tooltips on a real hover.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <sstream>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "tests/support/wintest.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"
#include "wincomponents/kvbutton.h"
#include "wincomponents/kvedit.h"
#include "wincomponents/kvlabel.h"
#include "wincomponents/kvled.h"

namespace {

// ---- Base: properties to styles, colours and the font

struct StyleCase {
    const char* name;
    int kind;  // 0 label, 1 edit, 2 button
    uint8_t ctl3d, border, flat, enabled;
    int32_t tabOrder;
    uint32_t color;
    DWORD styleOn, styleOff, exOn, exOff;
};

const StyleCase kStyles[] = {
    {"edit sunken", 1, 0, 0, 0, 1, 0, 0xFF000005, 0, 0, WS_EX_CLIENTEDGE, 0},
    {"edit flat", 1, 1, 0, 0, 1, 0, 0xFF000005, 0, 0, 0, WS_EX_CLIENTEDGE},
    // The form's Ctl3D 1 made it flat, and its children are made flat on a flat parent.
    {"edit as made", 1, 2, 0, 0, 1, 0, 0xFF000005, 0, 0, 0, WS_EX_CLIENTEDGE},
    {"edit static edge", 1, 0, 2, 0, 1, 0, 0xFF000005, 0, 0, WS_EX_STATICEDGE, WS_EX_CLIENTEDGE},
    {"edit edge ignored", 1, 1, 2, 0, 1, 0, 0xFF000005, 0, 0, 0, WS_EX_STATICEDGE},
    {"edit modal frame", 1, 0, 4, 0, 1, 0, 0xFF000005, 0, 0, WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME, 0},
    // A label or button is made flat, so Ctl3D 1 leaves it without a border.
    {"label flat as made", 0, 1, 0, 0, 1, 0, 0xFF00000F, 0, WS_BORDER, 0, WS_EX_CLIENTEDGE},
    {"button flat as made", 2, 1, 0, 0, 1, 0, 0, 0, WS_BORDER, 0, WS_EX_CLIENTEDGE},
    {"label tab stop", 0, 1, 0, 0, 1, 3, 0x0000FF, WS_TABSTOP, 0, 0, 0},
    {"label order 0", 0, 1, 0, 0, 1, 0, 0x00FF00, 0, WS_TABSTOP, 0, 0},
    {"label order -1", 0, 1, 0, 0, 1, -1, 0x00FF00, 0, WS_TABSTOP, 0, 0},
    {"label disabled", 0, 1, 0, 0, 0, 0, 0xFF00000F, WS_DISABLED, 0, 0, 0},
    {"button flat", 2, 1, 0, 1, 1, 0, 0, 0x8000 | BS_MULTILINE, 0, 0, 0},
    {"button", 2, 1, 0, 0, 1, 0, 0, BS_MULTILINE, 0x8000, 0, 0},
};

TEST(KVWin, PropertiesBecomeStylesFontAndColour) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(FontHeightAt(8, 96), -11);
    for (const StyleCase& c : kStyles) {
        SCOPED_TRACE(c.name);
        TKVWin* w = c.kind == 0   ? static_cast<TKVWin*>(Make<TKVLabel>(10, 10, 40, 20))
                    : c.kind == 1 ? static_cast<TKVWin*>(Make<TKVEdit>(10, 10, 40, 20))
                                  : static_cast<TKVWin*>(Make<TKVButton>(10, 10, 40, 20));
        w->Ctl3D = c.ctl3d;
        w->BorderStyle = c.border;
        w->Flat = c.flat;
        w->Enabled = c.enabled;
        w->TabOrder = c.tabOrder;
        if (c.color != 0) w->Color = c.color;
        w->InitControl();
        HWND h = Window(w);
        const DWORD style = GetWindowLongW(h, GWL_STYLE), ex = GetWindowLongW(h, GWL_EXSTYLE);
        EXPECT_EQ(style & c.styleOn, c.styleOn);
        EXPECT_EQ(style & c.styleOff, 0u);
        EXPECT_EQ(ex & c.exOn, c.exOn);
        EXPECT_EQ(ex & c.exOff, 0u);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        EXPECT_EQ(lf.lfHeight, FontHeightAt(8, dpi));
        if (c.kind == 0) {  // an empty label shows its background colour
            HDC mem = CreateCompatibleDC(nullptr);
            HBITMAP bmp = CreateBitmap(40, 20, 1, 32, nullptr);
            HGDIOBJ old = SelectObject(mem, bmp);
            SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT | PRF_ERASEBKGND);
            EXPECT_EQ(GetPixel(mem, 20, 10), Color2RGB(c.color));
            SelectObject(mem, old);
            DeleteObject(bmp);
            DeleteDC(mem);
        }
        delete w;
    }
}

// ---- Base: keys, wheel, resize correction

TEST(KVWin, SwallowedEnterSuppressesItsCharacterAndOverridesReplaceKeys) {
    Probe p;
    auto* e = Make<TKVEdit>(10, 40, 100, 20);
    e->TextSource = MakeMethod<&TKVEdit::ReadText>(e);
    e->ClearAfterEnter = 1;
    e->Text = "host";
    e->evEnter = p.Out(1);
    e->evKeyDown = p.Out(2);
    e->evChar = p.Out(3);
    e->evChange = p.Out(4);
    e->InitControl();
    HWND h = Window(e);
    SetFocus(h);
    EXPECT_TRUE(p.Got.empty()) << "the initial text fires no change";

    // The loop's TranslateMessage makes the characters.
    PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(p.Got, std::vector<std::string>{"1:host"})
        << "no key, no character, no change for the clearing";
    EXPECT_EQ(e->Control->GetCaption(), "");

    // An action that sets KeyOverride while evChar runs replaces the character the edit gets.
    struct Over {
        TKVEdit* e;
        void act(TData&, uint16_t) { e->KeyOverride = 'z'; }
    } over{e};
    e->evChar = MakeEvent<&Over::act>(&over, 0);
    PostMessageW(h, WM_KEYDOWN, 'A', 0);
    Pump();
    EXPECT_EQ(e->Control->GetCaption(), "z");
    EXPECT_EQ(p.Got.back(), "4:z") << "the next change after the clearing is reported";
    delete e;
}

TEST(KVWin, WheelDeltaRoundsTowardZero) {
    Probe p;
    auto* l = Make<TKVLabel>(10, 70, 40, 20);
    l->evMouseWheel = p.Out(0);
    l->InitControl();
    SendMessageW(Window(l), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    SendMessageW(Window(l), WM_MOUSEWHEEL, MAKEWPARAM(MK_LBUTTON, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(p.Got, (std::vector<std::string>{"0:-120", "0:-119"}));
    delete l;
}

TEST(KVWin, ResizePinsCorrectOnlyRealSizeChanges) {
    struct Case {
        const char* name;
        TData answer;
        int newHeight, pulls, height;
    };
    TData str;
    SetString(str, "5");
    const Case cases[] = {
        {"same size pulls nothing", IntData(7), 30, 0, 30},
        {"unlinked answer keeps the request", TData{}, 40, 1, 40},
        {"string answer changes nothing", str, 40, 1, 40},
        {"integer answer is the change", IntData(5), 40, 1, 35},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probe p;
        p.Answer = c.answer;
        auto* l = Make<TKVLabel>(10, 100, 50, 30);
        if (c.answer.Type != kTypeNull) l->pinResizeHeight = p.Pin();
        l->InitControl();
        SetWindowPos(Window(l), nullptr, 0, 0, 50, c.newHeight, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(p.Pulls, c.answer.Type != kTypeNull ? c.pulls : 0);
        RECT r;
        GetWindowRect(Window(l), &r);
        EXPECT_EQ(r.bottom - r.top, c.height);
        delete l;
    }
}

// ---- Main form

TEST(KVMainForm, CanCloseRefusesAndAnUnaskedCloseHides) {
    Probe p;
    TKVMainForm* main = MainForm();
    main->pinCanClose = p.Pin();
    main->evClose = p.Out(1);
    p.Answer = IntData(1);
    SendMessageW(Window(main), WM_CLOSE, 0, 0);
    EXPECT_EQ(p.Pulls, 1);
    EXPECT_TRUE(IsWindowVisible(Window(main)));
    EXPECT_TRUE(p.Got.empty());
    main->pinCanClose = TKV_Event{};
    main->evClose = TKV_Event{};

    auto* second = Configured(new TKVMainForm(nullptr), 10, 10, 200, 150);
    EXPECT_EQ(second->OwnsApplication, 0);
    second->pinCanClose = p.Pin();
    second->InitControl();
    RunStartProcs();
    Pump();
    ASSERT_TRUE(IsWindowVisible(Window(second)));
    SendMessageW(Window(second), WM_CLOSE, 0, 1);
    EXPECT_EQ(p.Pulls, 1) << "a close not asked by the user does not ask the pin";
    EXPECT_FALSE(IsWindowVisible(Window(second)));
    delete second;
}

// The registry keeps values sorted by name, so only the INI file shows the order they were written in.
TEST(KVMainForm, BoundsPersistInRegistryAndIniFile) {
    struct Case {
        const char* key;
        const char* order;  // the INI file's text; null for the registry
    };
    const Case cases[] = {
        {"EchometerTest\\Bounds", nullptr},
        {"wincomp_bounds.ini\\Main", "[Main]\r\nLeft=31\r\nTop=32\r\nWidth=233\r\nHeight=144\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        auto* f = Configured(new TKVMainForm(nullptr), 31, 32, 233, 144);
        f->SaveKey = c.key;
        f->InitControl();
        f->PlaceStore(1);
        if (c.order == nullptr) {
            DWORD v = 0, size = sizeof v;
            EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\EchometerTest\\Bounds", L"Height",
                                   RRF_RT_REG_DWORD, nullptr, &v, &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(v, 144u);
        } else {
            std::ifstream in(GetStartDir() + "wincomp_bounds.ini", std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            std::string text = bytes.str();
            if (text.starts_with("\xFF\xFE")) {  // written as UTF-16
                text = FromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data() + 2),
                                                  (text.size() - 2) / 2));
            }
            EXPECT_EQ(text, c.order);
        }
        f->Control->SetBoundsRect(RECT{1, 2, 11, 12});
        f->PlaceStore(0);
        const RECT r = f->Control->GetBoundsRect();
        EXPECT_EQ(r.left, 31);
        EXPECT_EQ(r.top, 32);
        EXPECT_EQ(r.right - r.left, 233);
        EXPECT_EQ(r.bottom - r.top, 144);
        delete f;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\EchometerTest");
    DeleteFileW(ToWide(GetStartDir() + "wincomp_bounds.ini").c_str());
}

// ---- Edit

TEST(KVEdit, ActTextKeepsTheCaretIndex) {
    struct Case {
        const char* text;
        int caret;
        const char* next;
        DWORD expected;
    };
    const Case cases[] = {{"hello world", 5, "hi", 2}, {"hello", 1, "abcdefgh", 1}, {"", 0, "xyz", 0}};
    auto* e = Make<TKVEdit>(10, 140, 100, 20);
    e->MaxLength = 3;
    e->InitControl();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.next);
        e->Control->SetCaption(c.text);
        e->Control->Perform(EM_SETSEL, c.caret, c.caret);
        TData d;
        SetString(d, c.next);
        e->actText(d, 0);
        EXPECT_EQ(e->Control->GetCaption(), c.next) << "the typing limit does not limit actText";
        DWORD start = 0, end = 0;
        e->Control->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, c.expected);
        EXPECT_EQ(end, c.expected);
    }
    delete e;
}

// ---- Lamp

TKVLED* MakeLamp(std::string_view hint) {
    auto* led = Make<TKVLED>(100, 200, 25, 25);
    led->Color = 0xFF00000F;
    led->OnColor = 0x0000FF;
    led->OffColor = 0x000080;
    led->LightColor = 0xFFFFFF;
    led->Bevel = 1;
    led->Hint = hint;
    led->InitControl();
    led->AttachHint(nullptr);
    return led;
}

TEST(KVLED, StateOutletAndNoGdiLeak) {
    Probe p;
    TKVLED* led = MakeLamp("");
    led->evState = p.Out(0);
    EmitNull(MakeEvent<&TKVLED::actOn>(led, 0));
    EmitNull(MakeEvent<&TKVLED::actOn>(led, 0));  // already lit: nothing
    EmitNull(MakeEvent<&TKVLED::actOff>(led, 0));
    EXPECT_EQ(p.Got, (std::vector<std::string>{"0:1", "0:0"}));

    const int before = GdiProbe();
    for (int i = 0; i < 10000; ++i) {
        EmitNull(MakeEvent<&TKVLED::actOn>(led, 0));
        Pump();
        EmitNull(MakeEvent<&TKVLED::actOff>(led, 0));
        Pump();
    }
    EXPECT_EQ(GdiProbe(), before);
    delete led;
}

// ---- Hints

int TipCount() {
    int n = 0;
    for (HWND tip = nullptr; (tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) != nullptr;)
        ++n;
    return n;
}

// Moves the real pointer onto the lamp; true when its tip shows.
bool Hover(TKVLED* led) {
    HWND tip = TKVHintManager::TipWindow(led->HintTool);
    // Other test programs share the display and their forms sit at the same place.
    SetWindowPos(Window(MainForm()), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RECT r;
    GetWindowRect(Window(led), &r);
    SetCursorPos(r.left + 5, r.top + 5);
    Pump(100);
    SetCursorPos(r.left + 12, r.top + 12);
    for (int i = 0; i < 60 && !IsWindowVisible(tip); ++i)
        Pump(50);
    const bool shown = IsWindowVisible(tip);
    SetCursorPos(0, 0);
    Pump(100);
    return shown;
}

TEST(KVHintManager, EmptyHintMakesNoTipAndAHoverShowsTheText) {
    const int tips = TipCount();
    auto* plain = Make<TKVLabel>(10, 200, 60, 20);
    plain->InitControl();
    plain->AttachHint(nullptr);
    EXPECT_EQ(plain->HintTool, nullptr);
    EXPECT_EQ(TipCount(), tips);

    TKVLED* led = MakeLamp(Cp1251("Доступность ресурса"));
    HWND tip = TKVHintManager::TipWindow(led->HintTool);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(TipCount(), tips + 1);
    EXPECT_TRUE(Hover(led)) << "the tip shows on a real hover";
    wchar_t text[64] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = Window(led);
    ti.uId = reinterpret_cast<UINT_PTR>(ti.hwnd);
    ti.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(FromWide(text), std::string(Cp1251("Доступность ресурса")));

    const HGDIOBJ owned[] = {led->ShadowPen, led->HighlightPen, led->DarkPen,
                             led->LightPen,  led->WideWhitePen, led->WideOnPen,
                             led->OnBrush,   led->OffBrush,     led->HintTool->Font};
    delete led;
    EXPECT_FALSE(IsWindow(tip));
    for (HGDIOBJ o : owned)
        EXPECT_EQ(GetObjectType(o), 0u) << "the lamp's objects and the tip's font are deleted";
    delete plain;
}

}  // namespace
