#include "wincomponents/kvhintmanager.h"

#include <cstring>
#include <new>

#include "toolkit/dpi.h"
#include "toolkit/gdi.h"
#include "toolkit/wintext.h"

TKVHintManager* HintManager = nullptr;

namespace {

constexpr uint32_t kInfoBackground = SchemeSysColor(COLOR_INFOBK);
constexpr uint32_t kInfoText = SchemeSysColor(COLOR_INFOTEXT);
constexpr DWORD kTipStyle = WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP;
// The tool's own control delivers the mouse messages: the tip subclasses it.
constexpr UINT kToolFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;

LRESULT Send(const THintTool* tool, UINT msg, WPARAM wp, LPARAM lp) {
    HWND tip = TKVHintManager::TipWindow(tool);
    return tip != nullptr ? SendMessageW(tip, msg, wp, lp) : 0;
}

}  // namespace

TKVHintManager::TKVHintManager() {
    ops_.CreateTool = MakeMethod<&TKVHintManager::CreateTool>(this);
    ops_.DestroyTool = MakeMethod<&TKVHintManager::DestroyTool>(this);
    ops_.SetToolText = MakeMethod<&TKVHintManager::SetToolText>(this);
    ops_.SetToolTitle = MakeMethod<&TKVHintManager::SetToolTitle>(this);
    ops_.ToolEnter = MakeMethod<&TKVHintManager::ToolEnter>(this);
    ops_.ToolLeave = MakeMethod<&TKVHintManager::ToolLeave>(this);
    ops_.ToolMove = MakeMethod<&TKVHintManager::ToolMove>(this);
}

void TKVHintManager::SetDefaults() {
    Standard = 1;
    BackColor = kInfoBackground;
    InitialDelay = 500;
    AutoPopDelay = 5000;
    Margin = 0;
    Tracking = 0;
    Font = TFontRec{.Name = "Tahoma", .Size = 8, .Style = 0, .Color = kInfoText, .CharSet = DEFAULT_CHARSET};
}

HWND TKVHintManager::TipWindow(const THintTool* tool) {
    return tool != nullptr ? reinterpret_cast<HWND>(tool->Info.lParam) : nullptr;
}

// The tip window is made when the pointer first moves on its control: nobody sees a tip before, and
// a tip window for every hinted control would cost the start what the person waits for.
THintTool* TKVHintManager::CreateTool(HWND window) {
    auto* tool = new (std::nothrow) THintTool;
    if (tool == nullptr) return nullptr;
    TTTOOLINFOW& ti = tool->Info;
    // The size without the v6 reserved field, which older common controls refuse.
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = kToolFlags;
    ti.hwnd = window;
    ti.uId = reinterpret_cast<UINT_PTR>(window);
    return tool;
}

void TKVHintManager::MakeTip(THintTool* tool) {
    TTTOOLINFOW& ti = tool->Info;
    if (tool->TipTried || !IsWindow(ti.hwnd)) return;
    tool->TipTried = true;
    const DWORD style = kTipStyle | (Standard == 0 ? TTS_BALLOON : 0);
    HWND tip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, ti.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    ti.lParam = reinterpret_cast<LPARAM>(tip);
    if (tip == nullptr) return;  // nothing will show; the tool is still released as usual

    LOGFONTW lf{};
    // The tip is shown on the display of the window it belongs to.
    lf.lfHeight = FontHeightAt(Font.Size, WindowDpi(ti.hwnd));
    lf.lfWeight = (Font.Style & kFontBold) != 0 ? FW_BOLD : 0;
    lf.lfItalic = (Font.Style & kFontItalic) != 0;
    lf.lfUnderline = (Font.Style & kFontUnderline) != 0;
    lf.lfStrikeOut = (Font.Style & kFontStrikeOut) != 0;
    lf.lfCharSet = Font.CharSet;
    // A face name that does not fit the record is cut, never written past it.
    const std::wstring face = ToWide(Font.Name);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    tool->Font = CreateTextFont(lf);
    SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(tool->Font), TRUE);

    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tip, TTM_SETTIPTEXTCOLOR, Color2RGB(Font.Color), 0);
    SendMessageW(tip, TTM_SETTIPBKCOLOR, Color2RGB(BackColor), 0);
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, InitialDelay);
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, AutoPopDelay);
    RECT margin{Margin, Margin, Margin, Margin};
    SendMessageW(tip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
    if (!tool->Title.empty())
        SendMessageW(tip, TTM_SETTITLEW, reinterpret_cast<WPARAM>(tool->Icon),
                     reinterpret_cast<LPARAM>(tool->Title.c_str()));
    // The pointer is already on the control: the tip starts counting its delay from here.
    MSG move{};
    GetCursorPos(&move.pt);
    POINT at = move.pt;
    ScreenToClient(ti.hwnd, &at);
    move.hwnd = ti.hwnd;
    move.message = WM_MOUSEMOVE;
    move.lParam = MAKELPARAM(at.x, at.y);
    SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void TKVHintManager::DestroyTool(THintTool* tool) {
    if (tool == nullptr) return;
    HWND tip = TipWindow(tool);
    // The tip dies with its control's window; then only the font is left to delete.
    if (tip != nullptr && IsWindow(tip)) {
        SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool->Info));
        DestroyWindow(tip);
    }
    if (tool->Font != nullptr) DeleteObject(tool->Font);
    delete tool;
}

void TKVHintManager::SetToolText(THintTool* tool, std::string_view text) {
    if (tool == nullptr) return;
    tool->Text = ToWide(text);
    tool->Info.lpszText = tool->Text.data();
    Send(tool, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool->Info));
}

void TKVHintManager::SetToolTitle(THintTool* tool, HICON icon, std::string_view title) {
    if (tool == nullptr) return;
    tool->Title = ToWide(title);
    tool->Icon = icon;
    Send(tool, TTM_SETTITLEW, reinterpret_cast<WPARAM>(icon), reinterpret_cast<LPARAM>(tool->Title.c_str()));
}

void TKVHintManager::ToolEnter(THintTool* tool) {
    if (tool != nullptr) MakeTip(tool);
    if (Tracking != 0 && tool != nullptr) {
        Send(tool, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool->Info));
    }
}

void TKVHintManager::ToolLeave(THintTool* tool) {
    if (Tracking != 0 && tool != nullptr) {
        Send(tool, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool->Info));
    }
}

void TKVHintManager::ToolMove(THintTool* tool, int32_t x, int32_t y) {
    if (tool != nullptr) MakeTip(tool);
    if (Tracking == 0 || tool == nullptr) return;
    // The tip takes a screen position; the mouse event gives one in the control's client area.
    POINT p{x, y};
    ClientToScreen(tool->Info.hwnd, &p);
    Send(tool, TTM_TRACKPOSITION, 0, MAKELPARAM(p.x, p.y));
}

void InitHintManager() {
    if (HintManager != nullptr) return;
    HintManager = new (std::nothrow) TKVHintManager;
    if (HintManager != nullptr) HintManager->SetDefaults();
}

void DoneHintManager() {
    delete HintManager;
    HintManager = nullptr;
}
