// TControl: the toolkit's one window class. The application window, forms and every child control
// (button, edit, static text, rich edit) are TControls that differ only in the class they wrap, their
// styles and the handlers attached to them.
//
// Windows only. A control exists without a window until something needs the handle
// (GetWindowHandle); every setter works either way and always updates its field. One window
// procedure serves every toolkit class: it finds the control through the window property "SELF_"
// (or the slot for the control being created) and runs its WndProc chain:
//   global filter, the application's MessageHook, MessageHook, attached handlers (the control held
//   meanwhile), ParentHook, the built-in message table, AfterHook.
// A control freed during its own dispatch is destroyed when the dispatch returns.
//
// Texts are 1251 strings; they cross to the window through toolkit/wintext.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/gdi.h"
#include "toolkit/list.h"
#include "toolkit/messages.h"
#include "toolkit/method.h"
#include "toolkit/obj.h"

// windows.h maps these names to its A/W functions; here they are the toolkit's own.
#undef CreateWindow

class TControl;
class TCanvas;
class TGraphicTool;

constexpr int32_t kDefaultSize = static_cast<int32_t>(0x80000000);  // CW_USEDEFAULT

// Codes of a notification a kind does not have.
constexpr uint16_t kNoNotify = 0xFFFF;

// ---- Handlers, hooks and events

// A message handler: true when it handled the message, the message result then in result.
using THandler = bool (*)(TControl* self, MSG& msg, LRESULT& result);

// The mouse record delivered to mouse events (and kept by window components).
struct TMouseEventData {
    uint8_t Button = 0;        // 1 left, 2 right, 3 middle; 0 for moves and wheel turns
    uint8_t StopHandling = 0;  // set by a handler that wants no default processing
    uint32_t Shift = 0;  // the message's wParam (MK_ bits; wheel delta in the high word), + 0x20 with Alt
    int16_t X = 0;       // client coordinates
    int16_t Y = 0;
};

using TOnClose = TMethod<void(TControl* sender, bool& accept)>;
using TOnPaint = TMethod<void(TControl* sender, HDC dc)>;
using TOnMouse = TMethod<void(TControl* sender, TMouseEventData& mouse)>;
// key: the virtual-key code; a handler may change it (0 swallows the key).
using TOnKey = TMethod<void(TControl* sender, int32_t& key, uint32_t shift)>;
// ch: the 1251 character; a handler may change it (0 swallows it).
using TOnChar = TMethod<void(TControl* sender, char& ch, uint32_t shift)>;
// Tried before the control's own handlers: true when handled, with the result in result.
using TOnMessage = TMethod<bool(MSG& msg, LRESULT& result)>;
// The application object's filter in the message loop: true consumes the message.
using TOnAppMessage = TMethod<bool(TControl* applet, MSG& msg)>;
// A custom hit test for the pointer-tracking handler: true when the pointer is inside.
using TOnHitTest = TMethod<bool(TControl* sender, POINT client)>;

// The per-kind record of a standard control, copied by NewCommandControl.
struct TNotifyRec {
    void (*SetText)(TControl* self, std::string_view text) = nullptr;  // null: the window text
    uint16_t Click = kNoNotify;
    uint16_t Enter = kNoNotify;
    uint16_t Leave = kNoNotify;
    uint16_t Change = kNoNotify;
    uint16_t SelChange = kNoNotify;
    uint32_t AlignLeft = 0;
    uint32_t AlignRight = 0;
    uint32_t AlignCenter = 0;
    uint32_t ExtraMask = 0;  // cleared by SetTextAlign
    uint16_t WidthMargin = 0;
    uint16_t HeightMargin = 0;
};

// Navigation keys a child control gives up to its form (TabKeys).
constexpr uint8_t kTabKeyTab = 1;
constexpr uint8_t kTabKeyLeftRight = 2;
constexpr uint8_t kTabKeyUpDown = 4;
constexpr uint8_t kTabKeyPage = 8;

// The wrapped classes (ClassName) the toolkit treats apart.
inline constexpr std::string_view kAppClass = "App";
inline constexpr std::string_view kButtonClass = "BUTTON";
inline constexpr std::string_view kEditClass = "EDIT";
inline constexpr std::string_view kStaticClass = "STATIC";

// Align: the side of the parent's client area a control fills.
enum TAlign : uint8_t { kAlignNone, kAlignLeft, kAlignTop, kAlignRight, kAlignBottom, kAlignClient };
// PositionSet: which of the control's coordinates were set (a top-level window without them is placed
// by the system).
enum TPositionSet : uint8_t { kLeftSet = 1, kTopSet = 2 };
// WindowState, as WM_SIZE reports it.
enum TWindowState : uint8_t { kWindowNormal, kWindowMinimised, kWindowMaximised };

class TControl : public TObj {
public:
    // ---- window
    HWND Handle = nullptr;
    std::string ClassName;  // the wrapped class: "App", "Form", "BUTTON", "EDIT", "STATIC", ...
    UINT ClassStyle = 32;   // forms add CS_DBLCLKS (8); own/class/parent DC bits are dropped
    DWORD Style = 0x16CF0000;
    DWORD ExStyle = WS_EX_CONTROLPARENT;
    WNDPROC DefWndProc = nullptr;    // where default processing goes; null: DefWindowProcW
    WNDPROC ClassWndProc = nullptr;  // the common window procedure, set by Init
    uint16_t CtlId = 0;
    HICON Icon = nullptr;      // kNoIcon: none; null: not loaded yet
    HCURSOR Cursor = nullptr;  // null: the class cursor

    // ---- tree
    TControl* Parent = nullptr;
    TList* Children = nullptr;  // child controls in creation order; made by Init
    uint8_t IsControl = 0;
    uint8_t IsForm = 0;
    TControl* FocusedChild = nullptr;
    int32_t TabOrder = 0;
    int32_t TabOrderCounter = 0;  // on a form: the next child's TabOrder
    uint8_t TabStop = 0;          // the control takes the focus from navigation

    // ---- geometry
    RECT BoundsRect{};
    uint8_t PositionSet = 0;  // TPositionSet bits
    uint8_t WindowState = 0;  // TWindowState
    int32_t ShowStateOnParentOpen = 0;
    uint8_t Align = 0;   // TAlign
    int32_t Margin = 0;  // ClientRect is shrunk by this on every side

    // ---- state
    uint8_t Visible = 1;
    uint8_t Enabled = 1;
    uint8_t CreateVisible = 0;
    uint8_t Ctl3D = 1;
    uint8_t Transparent = 0;
    uint8_t AlphaBlend = 255;
    uint8_t MouseInside = 0;
    uint8_t ShowPending = 0;        // made hidden: shown once CreateWindow runs again
    uint8_t DestroyedByWindow = 0;  // the window's last message freed it
    uint8_t Destroying = 0;         // destruction under way
    uint8_t IconOwned = 0;          // Icon was copied for this window and is destroyed with it
    std::string Caption;

    // ---- look
    uint32_t TextColor = SysColor(COLOR_WINDOWTEXT);
    uint32_t Color = SysColor(COLOR_BTNFACE);
    TGraphicTool* Font = nullptr;   // made by GetFont
    TGraphicTool* Brush = nullptr;  // made by GetBrush
    TCanvas* Canvas = nullptr;      // made by GetCanvas
    HDC PaintDC = nullptr;          // the paint DC while a paint message is being handled
    HRGN InvalidRgn = nullptr;      // accumulated invalid region of the paint handler (optional)
    HBRUSH BkBrush = nullptr;       // cached background brush when Color differs from the parent's
    COLORREF BkBrushRGB = 0;

    // ---- handlers and hooks
    TList* AttachedHandlers = nullptr;  // pairs (THandler, keep-after-termination flag)
    THandler DispatchHook = nullptr;    // runs the attached handlers; null until the first is attached
    THandler KeyHook = nullptr;
    THandler ParentHook = nullptr;
    THandler AfterHook = nullptr;        // sees every message and its result, handled or not
    THandler TabNavigateHook = nullptr;  // on a form: the Tab and arrow navigation (InstallTabNavigation)
    TOnMessage MessageHook;
    void (*TextChangedHook)(TControl* self) = nullptr;  // run by SetCaption and when the font is applied
    void (*AfterCreateHook)(TControl* self) = nullptr;  // run once the window exists
    TOnHitTest HitTest;                                 // custom inside test for the pointer-tracking handler

    // ---- events
    TOnEvent OnClick, OnEnter, OnLeave, OnChange, OnSelChange;
    TOnClose OnClose;
    TOnPaint OnPaint;
    TOnEvent OnMouseEnter, OnMouseLeave;
    TOnMouse OnMouseDown, OnMouseMove, OnMouseUp, OnMouseWheel, OnMouseDblClk;
    TOnKey OnKeyDown, OnKeyUp;
    TOnChar OnChar;
    TOnEvent OnShow, OnHide, OnResize, OnMove;
    TOnEvent OnLink, OnMouseOverLink;  // rich edit links
    TOnAppMessage OnMessage;           // the application object's loop filter

    // ---- standard controls and navigation
    TNotifyRec Notify;
    uint8_t TabKeys = 0;
    TControl* DefaultButton = nullptr;
    TControl* CancelButton = nullptr;
    uint8_t TextAlign = 0;  // 0 left, 1 right, 2 centre
    uint8_t AutoSize = 0;
    std::string LinkText;          // rich edit: the text of the last link notification
    uint8_t FormatKeyPending = 0;  // rich edit: Ctrl+I seen, its Tab character to be swallowed
    uint8_t TextRefused = 0;       // rich edit: text refused or cut (EN_MAXTEXT, EN_ERRSPACE) since cleared
    TOnMessage SavedAppletHook;    // the application's hook before the default-button filter
    void* Tag = nullptr;           // free for the owner

    // Made by NewControl and the constructors built on it.
    TControl() = default;

    // ---- virtual operations
    virtual void SetParent(TControl* parent);
    // Makes the window (and the parent's first); true when a window exists afterwards.
    virtual bool CreateWindow();
    virtual LRESULT WndProc(MSG& msg);

    // ---- handle, visibility, text
    HWND GetWindowHandle();
    void SetVisible(bool v);
    void SetCreateVisible(bool v);
    void SetEnabled(bool v);
    void SetCaption(std::string_view text);
    std::string GetCaption();
    void SetStyle(DWORD s);
    void SetExStyle(DWORD s);
    void SetCtl3D(bool v);
    void SetTransparent(bool v);
    void SetColor(uint32_t c);
    void SetTextColor(uint32_t c);
    void SetCursor(HCURSOR c) { Cursor = c; }
    void SetTabOrder(int32_t order) { TabOrder = order; }
    void SetAlign(uint8_t a);
    void SetAlphaBlend(uint8_t a);
    void SetWindowState(uint8_t s);
    void SetIcon(HICON icon);

    // ---- geometry
    RECT GetBoundsRect();
    void SetBoundsRect(const RECT& r);
    int32_t Left() { return GetBoundsRect().left; }
    int32_t Top() { return GetBoundsRect().top; }
    int32_t Width();
    int32_t Height();
    void SetLeft(int32_t v);
    void SetTop(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    void SetPosition(int32_t x, int32_t y);
    void SetSize(int32_t w, int32_t h);
    RECT ClientRect();

    // ---- messages
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
    void Invalidate();
    // Adds proc to the handlers (once); keepAfterTerminate keeps it running after the application ended.
    void AttachHandler(THandler proc, bool keepAfterTerminate = false);
    void DetachHandler(THandler proc);
    bool IsHandlerAttached(THandler proc) const;

    // ---- events that attach their handler
    void SetOnPaint(TOnPaint event);
    void SetOnMouseEnter(TOnEvent event);
    void SetOnMouseLeave(TOnEvent event);
    void SetOnClose(TOnClose event) { OnClose = event; }

    // ---- tools
    TGraphicTool* GetFont();
    TGraphicTool* GetBrush();
    TCanvas* GetCanvas();
    // The background brush: the parent's while the colours are equal, else a cached solid brush.
    HBRUSH BackgroundBrush();
    // Sends the font to the window (WM_SETFONT with redraw) and runs the text-changed hook.
    void ApplyFont();

    // ---- tree
    TControl* Child(int32_t i) const;
    int32_t ChildCount() const;
    // The form holding this control (itself for a form), or null.
    TControl* ParentForm();

protected:
    void Init() override;
    ~TControl() override;

private:
    friend LRESULT CALLBACK ToolkitWndProc(HWND, UINT, WPARAM, LPARAM);
    friend struct TBuiltInMessages;
    LRESULT HookedMessage(MSG& msg, bool& destroyed, const TKeepAlive& kept);
    LRESULT BuiltInMessage(MSG& msg, bool& destroyed, const TKeepAlive& kept);
    void ApplyPendingShow();
};

inline const HICON kNoIcon = reinterpret_cast<HICON>(static_cast<intptr_t>(-1));  // Icon: none

// ---- Construction

// A control with the defaults; with a parent it takes the parent's colours, font and brush (kept in
// step with them), its ParentHook and tab-navigation hook. ctl3D is the 3-D flag, used when the
// parent's is set. Null when memory ran out.
TControl* NewControl(TControl* parent, std::string_view className, bool ctl3D = false);
// The control's default processing of a message: the wrapped class's procedure, or DefWindowProc.
LRESULT CallDefault(TControl* c, const MSG& m);

// The control of a window, through its "SELF_" property; null for a window that is not ours.
TControl* ControlOf(HWND window);

// The common window procedure registered for every toolkit class.
LRESULT CALLBACK ToolkitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Process-wide hooks (default: none)

extern THandler GlobalMessageFilter;  // every control's first step
extern THandler GlobalKeyFilter;      // key messages of the focused control
extern void (*GlobalRepaintHook)(TControl* control);
extern void (*GlobalAfterCreateHook)(TControl* control);
extern void (*AlignHook)(TControl* control);  // re-aligns a control's children
extern void (*MediaNotifyHook)(TControl* control, MSG& msg);
extern void (*GlobalProcHook)(LPARAM lParam, WPARAM wParam);
extern HCURSOR GlobalCursor;  // overrides every control's cursor while set

// Re-aligns control's aligned children through AlignHook.
void Realign(TControl* control);
