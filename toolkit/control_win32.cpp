#include "toolkit/control.h"

#include <windowsx.h>

#include "support/runerror.h"
#include "toolkit/applet.h"
#include "toolkit/dpi.h"
#include "toolkit/gdi.h"
#include "toolkit/wintext.h"

THandler GlobalMessageFilter = nullptr;
THandler GlobalKeyFilter = nullptr;
void (*GlobalRepaintHook)(TControl* control) = nullptr;
void (*GlobalAfterCreateHook)(TControl* control) = nullptr;
void (*AlignHook)(TControl* control) = nullptr;
void (*MediaNotifyHook)(TControl* control, MSG& msg) = nullptr;
void (*GlobalProcHook)(LPARAM lParam, WPARAM wParam) = nullptr;
HCURSOR GlobalCursor = nullptr;

LRESULT CallDefault(TControl* c, const MSG& m) {
    if (c->DefWndProc != nullptr)
        return CallWindowProcW(c->DefWndProc, m.hwnd, m.message, m.wParam, m.lParam);
    return DefWindowProcW(m.hwnd, m.message, m.wParam, m.lParam);
}

namespace {

constexpr wchar_t kSelfProp[] = L"SELF_";
constexpr DWORD kSetPosFlagsStyle =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

// The control whose window CreateWindowExW is making: its first messages come before "SELF_" is set.
TControl* creating = nullptr;

// A window of the toolkit's classes keeps its control in the last extra bytes, which the toolkit's
// class adds to the wrapped one's: read there, the control costs no call to the window manager on
// every message, as the "SELF_" property would. The property says the same to whoever asks.
int SelfSlot(HWND window) {
    return static_cast<int>(GetClassLongW(window, GCL_CBWNDEXTRA)) - static_cast<int>(sizeof(LONG_PTR));
}

TControl* SelfOf(HWND window) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the slot holds the control's address
    return reinterpret_cast<TControl*>(GetWindowLongPtrW(window, SelfSlot(window)));
}

void Attach(HWND window, TControl* c) {
    SetWindowLongPtrW(window, SelfSlot(window), reinterpret_cast<LONG_PTR>(c));
    SetPropW(window, kSelfProp, c);
}

void Detach(HWND window) {
    SetWindowLongPtrW(window, SelfSlot(window), 0);
    RemovePropW(window, kSelfProp);
}

bool IsAppletControl(const TControl* c) {
    return c->Parent == nullptr && c->ClassName == kAppClass;
}

bool IsTopLevel(const TControl* c) {
    return (c->Style & WS_CHILD) == 0;
}

// The window whose closing ends the program: the application window's first child, or without an
// application object any top-level form.
bool IsMainWindow(const TControl* c) {
    if (AppletUsed) return c->Parent != nullptr && IsAppletControl(c->Parent) && c->Parent->Child(0) == c;
    return c->IsForm != 0 && IsTopLevel(c);
}

// The big icon, and a small one drawn from the same resource at the title bar's size on the window's
// display: scaled down by the system instead, a 32 x 32 image blurs there.
void SendIcons(HWND window, HICON big) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    const int32_t dpi = WindowDpi(window);
    HICON small = big == nullptr
                      ? nullptr
                      : static_cast<HICON>(CopyImage(big, IMAGE_ICON, SystemMetricAt(SM_CXSMICON, dpi),
                                                     SystemMetricAt(SM_CYSMICON, dpi), LR_COPYFROMRESOURCE));
    if (HICON old = reinterpret_cast<HICON>(
            SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small))))
        DestroyIcon(old);
}

// The runner of the attached handlers, installed as DispatchHook by the first AttachHandler.
bool DispatchAttached(TControl* self, MSG& msg, LRESULT& result) {
    TList* list = self->AttachedHandlers;
    if (self->Destroying != 0 || list == nullptr || list->Count == 0) return false;
    // Only a free asked during this dispatch ends it; one asked earlier (an outer message still
    // holds the control) leaves the window working normally meanwhile.
    const TKeepAlive kept(self);
    bool handled = false;
    // Latest first; the list is read afresh each step, since a handler may detach itself or others.
    for (int32_t i = list->Count / 2 - 1; i >= 0; --i) {
        if (i * 2 + 1 >= list->Count) continue;
        auto proc = reinterpret_cast<THandler>(list->Get(i * 2));
        const bool keep = list->Get(i * 2 + 1) != nullptr;
        if (AppletTerminated && !keep) continue;
        if (proc(self, msg, result)) {
            handled = true;
            break;
        }
        if (kept.Freed()) break;  // nothing more for a control freed meanwhile
    }
    return handled || kept.Freed();
}

// ---- The paint handler (SetOnPaint)

bool PaintHandler(TControl* self, MSG& msg, LRESULT& result) {
    if ((msg.message != WM_PAINT && msg.message != WM_PRINTCLIENT) || !self->OnPaint) return false;
    HWND w = msg.hwnd;
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    if (update != nullptr) {
        const int r = GetUpdateRgn(w, update, FALSE);
        if (r == ERROR || r == NULLREGION) {
            DeleteObject(update);
            update = nullptr;
        }
    }
    if (self->InvalidRgn != nullptr && update != nullptr) {
        if (CombineRgn(self->InvalidRgn, self->InvalidRgn, update, RGN_OR) == COMPLEXREGION) {
            RECT rc;
            GetClientRect(w, &rc);
            DeleteObject(self->InvalidRgn);
            self->InvalidRgn = CreateRectRgnIndirect(&rc);
        }
        InvalidateRgn(w, self->InvalidRgn, FALSE);
    }
    HDC saved = self->PaintDC;
    PAINTSTRUCT ps{};
    const bool begun = msg.wParam == 0;
    HDC dc = begun ? BeginPaint(w, &ps) : reinterpret_cast<HDC>(msg.wParam);
    self->PaintDC = dc;
    if (self->InvalidRgn != nullptr) SelectClipRgn(dc, self->InvalidRgn);
    const TKeepAlive kept(self);
    self->OnPaint(self, dc);
    if (!kept.Freed()) {
        if (self->Canvas != nullptr) self->Canvas->SetHandle(nullptr);
        self->PaintDC = saved;
    }
    if (begun) EndPaint(w, &ps);
    if (update != nullptr) DeleteObject(update);
    result = 0;
    return true;
}

// ---- The pointer-tracking handler (SetOnMouseEnter, SetOnMouseLeave)

void RequestLeave(HWND w, bool cancel) {
    using TTrack = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
    HMODULE lib = GetModuleHandleW(L"comctl32.dll");
    if (lib == nullptr) return;
    auto track = reinterpret_cast<TTrack>(reinterpret_cast<void*>(GetProcAddress(lib, "_TrackMouseEvent")));
    if (track == nullptr) return;
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = cancel ? (TME_CANCEL | TME_LEAVE) : TME_LEAVE;
    t.hwndTrack = w;
    track(&t);
}

bool PointerHandler(TControl* self, MSG& msg, LRESULT& /*result*/) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSEWHEEL) {
        bool inside;
        if (self->HitTest) {
            POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            inside = self->HitTest(self, p);
        } else {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(msg.hwnd, &p);
            const RECT r = self->ClientRect();
            inside = PtInRect(&r, p) != FALSE;
        }
        if (inside != (self->MouseInside != 0)) {
            self->Invalidate();
            if (inside) {
                self->MouseInside = 1;
                self->OnMouseEnter(self);
                RequestLeave(msg.hwnd, false);
            } else {
                self->MouseInside = 0;
                RequestLeave(msg.hwnd, true);
                self->OnMouseLeave(self);
            }
        }
    } else if (msg.message == WM_MOUSELEAVE && self->MouseInside != 0) {
        self->MouseInside = 0;
        self->OnMouseLeave(self);
        self->Invalidate();
    }
    return false;
}

TMouseEventData MouseData(const MSG& msg, uint8_t button) {
    TMouseEventData m;
    m.Button = button;
    m.Shift = static_cast<uint32_t>(msg.wParam) + (GetKeyState(VK_MENU) < 0 ? 0x20 : 0);
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    if (msg.message == WM_MOUSEWHEEL) ScreenToClient(msg.hwnd, &p);
    m.X = static_cast<int16_t>(p.x);
    m.Y = static_cast<int16_t>(p.y);
    return m;
}

bool CtrlOrAltDown() {
    return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

// Mouse messages as events; true when a handler asked for no default processing.
bool MouseEvent(TControl* self, const MSG& msg) {
    TOnMouse* ev = nullptr;
    uint8_t button = 0;
    switch (msg.message) {
        case WM_LBUTTONDOWN:
            ev = &self->OnMouseDown;
            button = 1;
            break;
        case WM_RBUTTONDOWN:
            ev = &self->OnMouseDown;
            button = 2;
            break;
        case WM_MBUTTONDOWN:
            ev = &self->OnMouseDown;
            button = 3;
            break;
        case WM_LBUTTONUP:
            ev = &self->OnMouseUp;
            button = 1;
            break;
        case WM_RBUTTONUP:
            ev = &self->OnMouseUp;
            button = 2;
            break;
        case WM_MBUTTONUP:
            ev = &self->OnMouseUp;
            button = 3;
            break;
        case WM_LBUTTONDBLCLK:
            ev = &self->OnMouseDblClk;
            button = 1;
            break;
        case WM_RBUTTONDBLCLK:
            ev = &self->OnMouseDblClk;
            button = 2;
            break;
        case WM_MBUTTONDBLCLK:
            ev = &self->OnMouseDblClk;
            button = 3;
            break;
        case WM_MOUSEMOVE:
            ev = &self->OnMouseMove;
            break;
        case WM_MOUSEWHEEL:
            ev = &self->OnMouseWheel;
            break;
        default:
            return false;
    }
    if (!*ev) return false;
    TMouseEventData m = MouseData(msg, button);
    (*ev)(self, m);
    return m.StopHandling != 0;
}

}  // namespace

// ---- Construction and destruction

void TControl::Init() {
    Children = NewObj<TList>();
    ClassWndProc = &ToolkitWndProc;
}

TControl::~TControl() {
    Destroying = 1;
    TControl* form = ParentForm();
    if (form != nullptr && form != this) {
        if (form->FocusedChild == this) form->FocusedChild = nullptr;
        if (form->DefaultButton == this) form->DefaultButton = nullptr;
        if (form->CancelButton == this) form->CancelButton = nullptr;
    }
    const bool live = Handle != nullptr && IsWindow(Handle) && DestroyedByWindow == 0;
    if (live) ShowWindow(Handle, SW_HIDE);
    if (Children != nullptr) {
        while (Children->Count > 0) {
            auto* child = static_cast<TControl*>(Children->Get(Children->Count - 1));
            // Out of the list first: a held child outlives this call.
            Children->Delete(Children->Count - 1);
            child->Parent = nullptr;
            child->Free();
        }
    }
    TObj::Free(Canvas);
    Canvas = nullptr;
    TObj::Free(Font);
    Font = nullptr;
    TObj::Free(Brush);
    Brush = nullptr;
    if (live) {
        if (IsTopLevel(this) && Icon != nullptr && Icon != kNoIcon) {
            HICON old = reinterpret_cast<HICON>(SendMessageW(Handle, WM_SETICON, ICON_BIG, 0));
            if (old != nullptr && IconOwned != 0) DestroyIcon(old);
            // The small icon is always this window's own copy.
            if (HICON small = reinterpret_cast<HICON>(SendMessageW(Handle, WM_SETICON, ICON_SMALL, 0)))
                DestroyIcon(small);
        }
        // From here on the window's messages go straight to its class procedure, not to this
        // half-destroyed object.
        Detach(Handle);
        SetWindowLongPtrW(Handle, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(DefWndProc != nullptr ? DefWndProc : &DefWindowProcW));
        DestroyWindow(Handle);
    }
    Handle = nullptr;
    if (BkBrush != nullptr) DeleteObject(BkBrush);
    if (InvalidRgn != nullptr) DeleteObject(InvalidRgn);
    if (Parent != nullptr) {
        if (Parent->Children != nullptr) {
            const int32_t i = Parent->Children->IndexOf(this);
            if (i >= 0) Parent->Children->Delete(i);
        }
        if (Parent->FocusedChild == this) Parent->FocusedChild = nullptr;
    }
    if (Applet != nullptr && Applet->FocusedChild == this) Applet->FocusedChild = nullptr;
    TObj::Free(Children);
    TObj::Free(AttachedHandlers);
}

TControl* NewControl(TControl* parent, std::string_view className, bool ctl3D) {
    auto* c = NewObj<TControl>();
    if (c == nullptr) return nullptr;
    c->ClassName = className;
    if (parent != nullptr) {
        c->Color = parent->Color;
        c->TextColor = parent->TextColor;
        c->ParentHook = parent->ParentHook;
        c->TabNavigateHook = parent->TabNavigateHook;
        c->Ctl3D = parent->Ctl3D != 0 && ctl3D ? 1 : 0;
        c->SetParent(parent);
    }
    return c;
}

void TControl::SetParent(TControl* parent) {
    if (parent == Parent) return;
    if (Parent != nullptr && Parent->Children != nullptr) {
        const int32_t i = Parent->Children->IndexOf(this);
        if (i >= 0) Parent->Children->Delete(i);
        if (Parent->FocusedChild == this) Parent->FocusedChild = nullptr;
    }
    Parent = parent;
    if (parent != nullptr && parent->Children != nullptr) parent->Children->Add(this);
    if (Handle != nullptr && parent != nullptr && parent->Handle != nullptr)
        ::SetParent(Handle, parent->Handle);
}

TControl* TControl::Child(int32_t i) const {
    return Children != nullptr ? static_cast<TControl*>(Children->Get(i)) : nullptr;
}

int32_t TControl::ChildCount() const {
    return Children != nullptr ? Children->Count : 0;
}

TControl* TControl::ParentForm() {
    for (TControl* c = this; c != nullptr; c = c->Parent)
        if (c->IsForm != 0) return c;
    return nullptr;
}

TControl* ControlOf(HWND window) {
    // Only a window of this process made by the toolkit has the slot; any other may name any window.
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 ||
        process != GetCurrentProcessId())
        return nullptr;
    if (GetClassLongPtrW(window, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&ToolkitWndProc))
        return nullptr;
    return SelfOf(window);
}

// ---- Window creation

HWND TControl::GetWindowHandle() {
    if (Handle == nullptr) {
        if (CreateVisible != 0) {
            CreateWindow();
        } else {
            // Made hidden; the next CreateWindow (the parent's, or the owner's own) shows it.
            const bool show = (Style & WS_VISIBLE) != 0;
            Style &= ~WS_VISIBLE;
            CreateWindow();
            if (show) {
                if (Handle != nullptr) {
                    ShowPending = 1;
                } else {
                    Style |= WS_VISIBLE;
                }
            }
        }
    }
    return Handle;
}

void TControl::ApplyPendingShow() {
    if (ShowPending == 0) return;
    ShowPending = 0;
    for (int32_t i = 0; i < ChildCount(); ++i)
        Child(i)->CreateWindow();
    SetVisible(true);
}

namespace {

// The toolkit's class for a wrapped one ("obj_" + its name): the system's class, if there is one,
// with the toolkit's window procedure; the wrapped procedure becomes the control's default.
bool RegisterWrappedClass(TControl* c, HINSTANCE inst, const std::wstring& wrapped,
                          const std::wstring& registered) {
    WNDCLASSW wc{};
    wc.style = c->ClassStyle;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hInstance = inst;
    const bool known = GetClassInfoW(inst, wrapped.c_str(), &wc) != FALSE;
    wc.style &= ~UINT(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);
    if (c->DefWndProc == nullptr && known) c->DefWndProc = wc.lpfnWndProc;
    WNDCLASSW existing{};
    if (GetClassInfoW(inst, registered.c_str(), &existing) != FALSE) return true;
    wc.cbWndExtra += static_cast<int>(sizeof(LONG_PTR));  // the control's slot, after the wrapped class's
    wc.lpfnWndProc = &ToolkitWndProc;
    wc.hInstance = inst;
    wc.lpszClassName = registered.c_str();
    wc.lpszMenuName = nullptr;
    return RegisterClassW(&wc) != 0;
}

// A top-level window's icon: its own, else the application's MAINICON for the application window,
// else a copy of the application's.
void GiveIcon(TControl* c, HINSTANCE inst) {
    if (c->Icon == nullptr) {
        if (IsAppletControl(c)) {
            c->Icon = LoadIconW(inst, L"MAINICON");
        } else if (Applet != nullptr && Applet->Icon != nullptr && Applet->Icon != kNoIcon) {
            c->Icon = static_cast<HICON>(CopyImage(Applet->Icon, IMAGE_ICON, 0, 0, 0));
            c->IconOwned = c->Icon != nullptr ? 1 : 0;
        }
        if (c->Icon == nullptr) c->Icon = kNoIcon;
    }
    if (c->Icon != kNoIcon) SendIcons(c->Handle, c->Icon);
}

}  // namespace

bool TControl::CreateWindow() {
    if (Parent != nullptr && Parent->GetWindowHandle() == nullptr) return false;
    if (Handle != nullptr) {
        ApplyPendingShow();
        return true;
    }
    HINSTANCE inst = GetModuleHandleW(nullptr);
    const std::wstring wrapped = ToWide(ClassName);
    const std::wstring registered = L"obj_" + wrapped;
    if (!RegisterWrappedClass(this, inst, wrapped, registered)) return false;
    DWORD style = Style | (Enabled == 0 ? WS_DISABLED : 0);
    int x = BoundsRect.left;
    int y = BoundsRect.top;
    int w = BoundsRect.right - BoundsRect.left;
    int h = BoundsRect.bottom - BoundsRect.top;
    if (w == 0) w = kDefaultSize;
    if (h == 0) h = kDefaultSize;
    if (IsTopLevel(this) && (PositionSet & (kLeftSet | kTopSet)) == 0) x = y = kDefaultSize;
    HWND parentWindow = Parent != nullptr ? Parent->Handle : nullptr;
    if ((style & WS_CHILD) != 0 && parentWindow == nullptr) return false;
    creating = this;
    HWND made =
        CreateWindowExW(ExStyle, registered.c_str(), ToWide(Caption).c_str(), style, x, y, w, h, parentWindow,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(CtlId)), inst, nullptr);
    creating = nullptr;
    Handle = made;
    if (made == nullptr) return false;
    SendMessageW(made, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (SelfOf(made) == nullptr) Attach(made, this);
    if (IsTopLevel(this)) GiveIcon(this, inst);
    if (AfterCreateHook != nullptr) AfterCreateHook(this);
    if (GlobalAfterCreateHook != nullptr) GlobalAfterCreateHook(this);
    ApplyFont();
    for (int32_t i = 0; i < ChildCount(); ++i)
        Child(i)->CreateWindow();
    return Handle != nullptr;
}

// ---- The common window procedure

LRESULT CALLBACK ToolkitWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RestoreFloatTraps();
    TControl* c = creating;
    if (c != nullptr) {
        c->Handle = window;
        Attach(window, c);
        creating = nullptr;
    } else {
        c = SelfOf(window);
    }
    // A window whose control is gone (or not yet known) gets default processing only: handing it to
    // the application object would run the application's handlers on a foreign window.
    if (c == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    try {
        return c->WndProc(msg);
    } catch (...) {
        // Nothing may unwind through the platform's frames, and a handler that failed half-way may
        // have left its component broken: the end every other escaped exception has.
        RunError(kErrUnhandled);
    }
}

// The toolkit's own answer to each message, one handler a message, each given its decoded
// arguments. A handler that runs user code checks afterwards whether that freed the control.
struct TBuiltInMessages {
    static LRESULT Size(TControl& c, const MSG& msg, UINT kind) {
        const LRESULT r = CallDefault(&c, msg);
        if (kind <= SIZE_MAXIMIZED) c.WindowState = static_cast<uint8_t>(kind);
        if (c.IsForm == 0 && c.Parent != nullptr) Realign(c.Parent);
        Realign(&c);
        c.OnResize(&c);
        return r;
    }

    static LRESULT Move(TControl& c, const MSG& msg) {
        c.OnMove(&c);
        return CallDefault(&c, msg);
    }

    // Default processing in any case: an edit makes its caret there.
    static LRESULT SetFocus(TControl& c, const MSG& msg) {
        if (c.Enabled != 0 && c.TabStop != 0 && GetFocus() != c.Handle) ::SetFocus(c.Handle);
        return CallDefault(&c, msg);
    }

    static LRESULT Close(TControl& c, const MSG& msg) {
        bool accept = true;
        if (c.OnClose) {
            c.OnClose(&c, accept);
            if (!accept && AppletRunning) return 0;
            c.OnClose = TOnClose{};
        }
        if (!accept) return 0;
        const bool app = IsAppletControl(&c);
        if (!app && !IsMainWindow(&c)) return CallDefault(&c, msg);
        if (!app && Applet != nullptr && Applet->Handle != nullptr)
            SendMessageW(Applet->Handle, WM_CLOSE, 0, 0);
        PostQuitMessage(0);
        return 0;
    }

    // shown: shown or hidden; status: why (0 for ShowWindow, else SW_PARENTCLOSING and the like).
    static LRESULT ShowWindowMessage(TControl& c, const MSG& msg, bool shown, LPARAM status) {
        if (status == SW_PARENTCLOSING) {
            c.ShowStateOnParentOpen = IsIconic(c.Handle)   ? SW_SHOWMINNOACTIVE
                                      : IsZoomed(c.Handle) ? SW_SHOWMAXIMIZED
                                                           : SW_SHOWNOACTIVATE;
        } else if (status == SW_PARENTOPENING && c.ShowStateOnParentOpen != 0) {
            ShowWindow(c.Handle, c.ShowStateOnParentOpen);
            c.ShowStateOnParentOpen = 0;
            return 0;
        }
        if (shown) {
            c.OnShow(&c);
        } else {
            c.OnHide(&c);
        }
        return CallDefault(&c, msg);
    }

    static LRESULT SetCursor(TControl& c, const MSG& msg, UINT hitTest) {
        HCURSOR cur = GlobalCursor != nullptr ? GlobalCursor : c.Cursor;
        if (cur == nullptr || GetCapture() != nullptr || hitTest != HTCLIENT) return CallDefault(&c, msg);
        ::SetCursor(cur);
        return 1;
    }

    static LRESULT NcDestroy(TControl& c, const MSG& msg, bool& destroyed) {
        Detach(msg.hwnd);
        if (IsAppletControl(&c)) return CallDefault(&c, msg);
        if (IsMainWindow(&c)) {
            PostMessageW(msg.hwnd, kMsgDestroyLater, 0, 0);
        } else if (c.Parent != nullptr && IsAppletControl(c.Parent)) {
            // A window owned by the application window goes with its window, at once.
            c.DestroyedByWindow = 1;
            destroyed = true;
            CallDefault(&c, msg);
            c.Handle = nullptr;
            c.Free();
            return 0;
        }
        const LRESULT r = CallDefault(&c, msg);
        c.Handle = nullptr;  // the window is gone; a later need makes a new one
        return r;
    }

    // A control's command goes back to the control that sent it.
    static LRESULT Command(TControl& c, const MSG& msg, HWND from) {
        if (from == nullptr || ControlOf(from) == nullptr) return CallDefault(&c, msg);
        return SendMessageW(from, kMsgCommand, msg.wParam, msg.lParam);
    }

    static LRESULT Notify(TControl& c, MSG& msg, const NMHDR* header) {
        TControl* child = header != nullptr ? ControlOf(header->hwndFrom) : nullptr;
        LRESULT r = 0;
        if (child != nullptr && child != &c && child->DispatchHook != nullptr &&
            child->DispatchHook(child, msg, r))
            return r;
        return CallDefault(&c, msg);
    }

    // The main window's minimise is the application's, as its taskbar button is.
    static LRESULT SysCommand(TControl& c, const MSG& msg, UINT command) {
        if ((command & 0xFFF0) != SC_MINIMIZE || IsAppletControl(&c) || !IsMainWindow(&c) ||
            Applet == nullptr || Applet->Handle == nullptr)
            return CallDefault(&c, msg);
        PostMessageW(Applet->Handle, WM_SYSCOMMAND, msg.wParam, msg.lParam);
        return 0;
    }

    // A WM_CTLCOLOR* goes back to the child control it asks about.
    static LRESULT ControlColor(TControl& c, const MSG& msg, HWND child) {
        if (child == msg.hwnd || ControlOf(child) == nullptr) return CallDefault(&c, msg);
        return SendMessageW(child, msg.message + kMsgColorReflect, msg.wParam, msg.lParam);
    }

    static LRESULT DestroyLater(TControl& c, bool& destroyed) {
        c.DestroyedByWindow = 1;
        destroyed = true;
        c.Free();
        return 0;
    }

    // OnKeyDown or OnKeyUp may change the key or swallow it (0); false when the control went meanwhile.
    static bool KeyEvent(TControl& c, MSG& msg, bool down, const TKeepAlive& kept, bool& swallowed) {
        TOnKey& ev = down ? c.OnKeyDown : c.OnKeyUp;
        if (!ev) return true;
        auto key = static_cast<int32_t>(msg.wParam);
        ev(&c, key, GetKeyState(VK_SHIFT) < 0 ? 1u : 0u);
        if (kept.Freed()) return false;
        swallowed = key == 0;
        if (!swallowed) msg.wParam = static_cast<WPARAM>(key);
        return true;
    }

    // OnChar, on the 1251 character, likewise.
    static bool CharEvent(TControl& c, MSG& msg, const TKeepAlive& kept, bool& swallowed) {
        if (!c.OnChar) return true;
        char ch = NarrowChar(static_cast<wchar_t>(msg.wParam));
        const char before = ch;
        c.OnChar(&c, ch, GetKeyState(VK_SHIFT) < 0 ? 1u : 0u);
        if (kept.Freed()) return false;
        swallowed = ch == 0;
        if (ch != before && ch != 0) msg.wParam = static_cast<WPARAM>(WideChar(ch));
        return true;
    }

    // Keys reach the focused control (or its parent chain): filters, events, then tab navigation.
    static LRESULT Key(TControl& c, MSG& msg, const TKeepAlive& kept) {
        const UINT m = msg.message;
        HWND focus = GetFocus();
        if (focus != msg.hwnd && (focus == nullptr || !IsChild(msg.hwnd, focus))) return CallDefault(&c, msg);
        LRESULT r = 0;
        if (GlobalKeyFilter != nullptr && GlobalKeyFilter(&c, msg, r)) return r;
        if (c.KeyHook != nullptr && c.KeyHook(&c, msg, r)) return r;
        bool swallowed = false;
        bool alive = true;
        if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN || m == WM_KEYUP || m == WM_SYSKEYUP) {
            alive = KeyEvent(c, msg, m == WM_KEYDOWN || m == WM_SYSKEYDOWN, kept, swallowed);
        } else if (m == WM_CHAR || m == WM_SYSCHAR) {
            alive = CharEvent(c, msg, kept, swallowed);
        }
        if (!alive || swallowed) return 0;
        if (CtrlOrAltDown()) return CallDefault(&c, msg);
        TControl* form = c.ParentForm();
        THandler nav =
            form != nullptr && form->TabNavigateHook != nullptr ? form->TabNavigateHook : c.TabNavigateHook;
        if (nav != nullptr && nav(&c, msg, r)) {
            msg.wParam = 0;
            return 0;
        }
        // The Tab character of a key that moved the focus must not reach the control.
        if (m == WM_CHAR && msg.wParam == VK_TAB && (c.TabKeys & kTabKeyTab) != 0 && nav != nullptr) return 0;
        return CallDefault(&c, msg);
    }

    static LRESULT Mouse(TControl& c, const MSG& msg, const TKeepAlive& kept) {
        if (MouseEvent(&c, msg) || kept.Freed()) return 0;
        return CallDefault(&c, msg);
    }
};

LRESULT TControl::WndProc(MSG& msg) {
    if (Handle == nullptr && msg.hwnd != nullptr) Handle = msg.hwnd;
    // Held for the whole chain: a step that frees the control (a handler, OnClose, the window's last
    // message) defers the destruction to the end of this message.
    const TKeepAlive kept(this);
    bool destroyed = false;
    LRESULT result = HookedMessage(msg, destroyed, kept);
    if (!AppletTerminated && !destroyed && DestroyedByWindow == 0 && !kept.Freed() && AfterHook != nullptr)
        AfterHook(this, msg, result);
    return result;
}

// The first hook that takes the message answers it; otherwise the toolkit's own handling does.
LRESULT TControl::HookedMessage(MSG& msg, bool& destroyed, const TKeepAlive& kept) {
    LRESULT result = 0;
    if (GlobalMessageFilter != nullptr && GlobalMessageFilter(this, msg, result)) return result;
    if (AppletRunning && Applet != nullptr && Applet != this && Applet->MessageHook &&
        Applet->MessageHook(msg, result))
        return result;
    if (MessageHook && MessageHook(msg, result)) return result;
    if (DispatchHook != nullptr && DispatchHook(this, msg, result)) return result;
    if (kept.Freed()) return result;
    if (ParentHook != nullptr && ParentHook(this, msg, result)) return result;
    return BuiltInMessage(msg, destroyed, kept);
}

LRESULT TControl::BuiltInMessage(MSG& msg, bool& destroyed, const TKeepAlive& kept) {
    using M = TBuiltInMessages;
    const UINT m = msg.message;
    switch (m) {
        case WM_SIZE:
            return M::Size(*this, msg, static_cast<UINT>(msg.wParam));
        case WM_MOVE:
            return M::Move(*this, msg);
        case WM_SETFOCUS:
            return M::SetFocus(*this, msg);
        case WM_CLOSE:
            return M::Close(*this, msg);
        case WM_SHOWWINDOW:
            return M::ShowWindowMessage(*this, msg, msg.wParam != 0, msg.lParam);
        case WM_SETCURSOR:
            return M::SetCursor(*this, msg, LOWORD(msg.lParam));
        case WM_NCDESTROY:
            return M::NcDestroy(*this, msg, destroyed);
        case WM_COMMAND:
            return M::Command(*this, msg, reinterpret_cast<HWND>(msg.lParam));
        case WM_NOTIFY:
            return M::Notify(*this, msg, reinterpret_cast<const NMHDR*>(msg.lParam));
        case WM_SYSCOMMAND:
            return M::SysCommand(*this, msg, static_cast<UINT>(msg.wParam));
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return M::ControlColor(*this, msg, reinterpret_cast<HWND>(msg.lParam));
        case kMsgMediaNotify:
            if (MediaNotifyHook != nullptr) MediaNotifyHook(this, msg);
            return 0;
        case kMsgCallProc:
            if (GlobalProcHook != nullptr) GlobalProcHook(msg.lParam, msg.wParam);
            return 0;
        case kMsgDestroyLater:
            return M::DestroyLater(*this, destroyed);
        default:
            break;
    }
    if (m >= WM_KEYFIRST && m <= WM_SYSDEADCHAR) return M::Key(*this, msg, kept);
    if (m >= WM_MOUSEFIRST && m <= WM_MOUSEWHEEL) return M::Mouse(*this, msg, kept);
    return CallDefault(this, msg);
}

// ---- Handlers

void TControl::AttachHandler(THandler proc, bool keepAfterTerminate) {
    if (proc == nullptr) return;
    if (AttachedHandlers == nullptr) {
        AttachedHandlers = NewObj<TList>();
        if (AttachedHandlers == nullptr) return;
    }
    if (IsHandlerAttached(proc)) return;
    if (!AttachedHandlers->Add(reinterpret_cast<void*>(proc))) return;
    if (!AttachedHandlers->Add(keepAfterTerminate ? reinterpret_cast<void*>(1) : nullptr)) {
        AttachedHandlers->Delete(AttachedHandlers->Count - 1);
        return;
    }
    DispatchHook = &DispatchAttached;
}

void TControl::DetachHandler(THandler proc) {
    if (AttachedHandlers == nullptr) return;
    for (int32_t i = 0; i + 1 < AttachedHandlers->Count; i += 2) {
        if (AttachedHandlers->Get(i) == reinterpret_cast<void*>(proc)) {
            AttachedHandlers->DeleteRange(i, 2);
            return;
        }
    }
}

bool TControl::IsHandlerAttached(THandler proc) const {
    if (AttachedHandlers == nullptr) return false;
    for (int32_t i = 0; i + 1 < AttachedHandlers->Count; i += 2)
        if (AttachedHandlers->Get(i) == reinterpret_cast<void*>(proc)) return true;
    return false;
}

void TControl::SetOnPaint(TOnPaint event) {
    OnPaint = event;
    AttachHandler(&PaintHandler);
}

void TControl::SetOnMouseEnter(TOnEvent event) {
    OnMouseEnter = event;
    InitCommonControlsEx(0);
    AttachHandler(&PointerHandler);
    Invalidate();
}

void TControl::SetOnMouseLeave(TOnEvent event) {
    OnMouseLeave = event;
    InitCommonControlsEx(0);
    AttachHandler(&PointerHandler);
    Invalidate();
}

// ---- Visibility, text, styles

void TControl::SetVisible(bool v) {
    if (v) {
        Style |= WS_VISIBLE;
    } else {
        Style &= ~WS_VISIBLE;
        ShowPending = 0;
    }
    Visible = v ? 1 : 0;
    if (Handle != nullptr) ShowWindow(Handle, v ? SW_SHOW : SW_HIDE);
    if (Parent != nullptr) Realign(Parent);
    if (v) Realign(this);
}

void TControl::SetCreateVisible(bool v) {
    CreateVisible = v ? 1 : 0;
    SetVisible(v);
}

void TControl::SetEnabled(bool v) {
    Enabled = v ? 1 : 0;
    if (Handle != nullptr) EnableWindow(Handle, v ? TRUE : FALSE);
}

void TControl::SetCaption(std::string_view text) {
    Caption = text;
    if (Handle == nullptr) return;
    if (Notify.SetText != nullptr) {
        Notify.SetText(this, text);
    } else {
        SetWindowText1251(Handle, text);
    }
    Invalidate();
    if (TextChangedHook != nullptr) TextChangedHook(this);
}

std::string TControl::GetCaption() {
    if (Handle != nullptr) return GetWindowText1251(Handle);
    return Caption;
}

void TControl::SetStyle(DWORD s) {
    if (s == Style) return;
    Style = s;
    if (Handle == nullptr) return;
    SetWindowLongPtrW(Handle, GWL_STYLE, static_cast<LONG_PTR>(s));
    SetWindowPos(Handle, nullptr, 0, 0, 0, 0, kSetPosFlagsStyle);
    Invalidate();
}

void TControl::SetExStyle(DWORD s) {
    if (s == ExStyle) return;
    ExStyle = s;
    if (Handle == nullptr) return;
    SetWindowLongPtrW(Handle, GWL_EXSTYLE, static_cast<LONG_PTR>(s));
    SetWindowPos(Handle, nullptr, 0, 0, 0, 0, kSetPosFlagsStyle);
    Invalidate();
}

void TControl::SetCtl3D(bool v) {
    // A control already in that state keeps the border its constructor chose (a flat label or button
    // has none; a border here would also eat the width that size-to-text gave the caption).
    if ((Ctl3D != 0) == v) return;
    Ctl3D = v ? 1 : 0;
    if (IsControl == 0) return;
    if (v) {
        SetStyle(Style & ~WS_BORDER);
        SetExStyle(ExStyle | WS_EX_CLIENTEDGE);
    } else {
        SetStyle(Style | WS_BORDER);
        SetExStyle(ExStyle & ~DWORD(WS_EX_CLIENTEDGE));
    }
}

void TControl::SetTransparent(bool v) {
    Transparent = v ? 1 : 0;
    Invalidate();
}

void TControl::SetColor(uint32_t c) {
    if (c == Color) return;
    Color = c;
    if (Brush != nullptr) Brush->SetColor(c);
    if (BkBrush != nullptr) {
        DeleteObject(BkBrush);
        BkBrush = nullptr;
    }
    Invalidate();
}

void TControl::SetTextColor(uint32_t c) {
    TextColor = c;
    if (Font != nullptr) Font->SetColor(c);
    Invalidate();
}

void TControl::SetAlign(uint8_t a) {
    Align = a;
    if (Parent != nullptr) Realign(Parent);
}

void TControl::SetAlphaBlend(uint8_t a) {
    if (a == AlphaBlend) return;
    AlphaBlend = a;
    using TSetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user = GetModuleHandleW(L"User32");
    auto set = user == nullptr ? nullptr
                               : reinterpret_cast<TSetLayered>(reinterpret_cast<void*>(
                                     GetProcAddress(user, "SetLayeredWindowAttributes")));
    if (set == nullptr) return;
    if (a == 255) {
        SetExStyle(ExStyle & ~DWORD(WS_EX_LAYERED));
    } else {
        SetExStyle(ExStyle | WS_EX_LAYERED);
        if (Handle != nullptr) set(Handle, 0, a, LWA_ALPHA);
    }
}

void TControl::SetWindowState(uint8_t s) {
    if (s == WindowState) return;
    WindowState = s;
    HWND w = GetWindowHandle();
    if (w != nullptr)
        ShowWindow(w, s == kWindowNormal      ? SW_SHOWNOACTIVATE
                      : s == kWindowMinimised ? SW_SHOWMINNOACTIVE
                                              : SW_SHOWMAXIMIZED);
}

// The same icon again (for a display of another scale) stays the window's own if it was.
void TControl::SetIcon(HICON icon) {
    if (icon != Icon) IconOwned = 0;
    Icon = icon;
    if (Handle != nullptr && IsTopLevel(this) && icon != kNoIcon) SendIcons(Handle, icon);
}

// ---- Geometry

RECT TControl::GetBoundsRect() {
    if (Handle != nullptr) {
        RECT r;
        if (GetWindowRect(Handle, &r)) {
            if (IsControl != 0 && Parent != nullptr && Parent->Handle != nullptr) {
                POINT origin{0, 0};
                ClientToScreen(Parent->Handle, &origin);
                OffsetRect(&r, -origin.x, -origin.y);
            }
            BoundsRect = r;
        }
    }
    return BoundsRect;
}

void TControl::SetBoundsRect(const RECT& r) {
    const RECT cur = GetBoundsRect();
    if (EqualRect(&r, &cur)) return;
    if (r.left != cur.left) PositionSet |= kLeftSet;
    if (r.top != cur.top) PositionSet |= kTopSet;
    BoundsRect = r;
    if (Handle == nullptr) return;
    SetWindowPos(Handle, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (ClassName == kStaticClass) Invalidate();
}

int32_t TControl::Width() {
    const RECT r = GetBoundsRect();
    return r.right - r.left;
}

int32_t TControl::Height() {
    const RECT r = GetBoundsRect();
    return r.bottom - r.top;
}

void TControl::SetLeft(int32_t v) {
    RECT r = GetBoundsRect();
    OffsetRect(&r, v - r.left, 0);
    SetBoundsRect(r);
}

void TControl::SetTop(int32_t v) {
    RECT r = GetBoundsRect();
    OffsetRect(&r, 0, v - r.top);
    SetBoundsRect(r);
}

void TControl::SetWidth(int32_t v) {
    RECT r = GetBoundsRect();
    r.right = r.left + v;
    SetBoundsRect(r);
}

void TControl::SetHeight(int32_t v) {
    RECT r = GetBoundsRect();
    r.bottom = r.top + v;
    SetBoundsRect(r);
}

void TControl::SetPosition(int32_t x, int32_t y) {
    RECT r = GetBoundsRect();
    OffsetRect(&r, x - r.left, y - r.top);
    SetBoundsRect(r);
}

void TControl::SetSize(int32_t w, int32_t h) {
    RECT r = GetBoundsRect();
    r.right = r.left + w;
    r.bottom = r.top + h;
    SetBoundsRect(r);
}

RECT TControl::ClientRect() {
    RECT r{};
    HWND w = GetWindowHandle();
    if (w != nullptr) GetClientRect(w, &r);
    InflateRect(&r, -Margin, -Margin);
    return r;
}

// ---- Messages

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND w = GetWindowHandle();
    return w != nullptr ? SendMessageW(w, msg, wParam, lParam) : 0;
}

void TControl::Invalidate() {
    if (AppletTerminated || Handle == nullptr) return;
    InvalidateRect(Handle, nullptr, TRUE);
    if (GlobalRepaintHook != nullptr) GlobalRepaintHook(this);
}

void Realign(TControl* control) {
    if (AlignHook != nullptr && control != nullptr) AlignHook(control);
}

// ---- Tools

namespace {

void FontChanged(void* obj, TObj* /*font*/) {
    auto* c = static_cast<TControl*>(obj);
    if (c->Font != nullptr) c->TextColor = c->Font->Color();
    c->ApplyFont();
    c->Invalidate();
}

void BrushChanged(void* obj, TObj* /*brush*/) {
    auto* c = static_cast<TControl*>(obj);
    if (c->BkBrush != nullptr) {
        DeleteObject(c->BkBrush);
        c->BkBrush = nullptr;
    }
    c->Invalidate();
}

}  // namespace

TGraphicTool* TControl::GetFont() {
    if (Font == nullptr) {
        TGraphicTool* f = Parent != nullptr ? Assign(nullptr, Parent->GetFont()) : NewFont();
        if (f == nullptr) return nullptr;
        f->Data.Color = TextColor;
        f->OnChange = TOnEvent{&FontChanged, this};
        Font = f;
    }
    return Font;
}

TGraphicTool* TControl::GetBrush() {
    if (Brush == nullptr) {
        TGraphicTool* b = Parent != nullptr ? Assign(nullptr, Parent->GetBrush()) : NewBrush();
        if (b == nullptr) return nullptr;
        b->Data.Color = Color;
        b->OnChange = TOnEvent{&BrushChanged, this};
        Brush = b;
    }
    return Brush;
}

TCanvas* TControl::GetCanvas() {
    if (Canvas == nullptr) {
        Canvas = NewControlCanvas(this);
        if (Canvas == nullptr) return nullptr;
        Canvas->Font = Assign(nullptr, GetFont());
        Canvas->Brush = Assign(nullptr, GetBrush());
        // The canvas lets go of a selected tool when it changes.
        if (Canvas->Font != nullptr)
            Canvas->Font->OnChange =
                TOnEvent{[](void* cv, TObj*) { static_cast<TCanvas*>(cv)->Deselect(); }, Canvas};
        if (Canvas->Brush != nullptr)
            Canvas->Brush->OnChange =
                TOnEvent{[](void* cv, TObj*) { static_cast<TCanvas*>(cv)->Deselect(); }, Canvas};
    } else {
        // Kept in step with the control's tools.
        Assign(Canvas->Font, GetFont());
        Assign(Canvas->Brush, GetBrush());
    }
    return Canvas;
}

HBRUSH TControl::BackgroundBrush() {
    if (Parent != nullptr && Parent->Color == Color) return Parent->BackgroundBrush();
    const COLORREF rgb = Color2RGB(Color);
    if (BkBrush != nullptr && BkBrushRGB != rgb) {
        DeleteObject(BkBrush);
        BkBrush = nullptr;
    }
    if (BkBrush == nullptr) {
        BkBrush = CreateSolidBrush(rgb);
        BkBrushRGB = rgb;
    }
    return BkBrush;
}

void TControl::ApplyFont() {
    if (Handle == nullptr) return;
    TGraphicTool* f = GetFont();
    if (f == nullptr) return;
    SendMessageW(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(f->GetHandle()), TRUE);
    if (TextChangedHook != nullptr) TextChangedHook(this);
}
