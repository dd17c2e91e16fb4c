#include "wincomponents/kvwin.h"

#include "toolkit/gdi.h"

namespace {

constexpr uint32_t kFlatStyle = BS_FLAT;  // for a button
// Hidden, above its siblings, neither moved, sized nor activated: before the window is shown.
constexpr UINT kToTopHidden = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER;

constexpr DWORD kBorderExStyles[] = {0, 0, WS_EX_STATICEDGE, WS_EX_DLGMODALFRAME,
                                     WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME};

// The held button of a move: exactly one button bit, else -1 (none, or several).
int32_t MoveButton(uint32_t shift) {
    switch (shift) {
        case MK_LBUTTON:
            return 0;
        case MK_RBUTTON:
            return 1;
        case MK_MBUTTON:
            return 2;
        default:
            return -1;
    }
}

}  // namespace

int32_t FontHeight(int32_t size) {
    static const int32_t dpi = [] {
        HDC screen = GetDC(nullptr);
        const int32_t d = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return d;
    }();
    return FontHeightAt(size, dpi);
}

TKVWin::TKVWin(TControl* parent) : ParentControl(parent) {
    if (parent != nullptr) Color = parent->Color;
}

TKVWin::~TKVWin() {
    if (ManagerLink != nullptr) {
        if (ManagerLink->Attach) {
            ManagerLink->Detach(Control);
        } else if (--ManagerLink->RefCount <= 0) {
            delete ManagerLink;
        }
    }
    if (ControlGone == 0 && Control != nullptr) {
        TObj::Free(CaptionControl);
        Control->SetCreateVisible(false);
        // Its destruction reports back through OnDestroy; nothing else may call us afterwards.
        Control->OnDestroy = TOnEvent{};
        TObj::Free(Control);
    }
    if (HintTool != nullptr && HintLink != nullptr) HintLink->DestroyTool(HintTool);
}

// ---- The sixteen operations

void TKVWin::KeyDown(int32_t& key) {
    EmitInt(evKeyDown, key);
}

void TKVWin::KeyUp(int32_t& key) {
    EmitInt(evKeyUp, key);
}

void TKVWin::KeyChar(char& c) {
    EmitStr(evChar, std::string_view(&c, 1));
}

void TKVWin::MouseDown(TMouseEventData& mouse) {
    LastMouse = mouse;
    EmitInt(evMouseDown, mouse.Button - 1);
    if (MouseCapture != 0 && Control != nullptr) {
        ReleaseCapture();
        SetCapture(Control->GetWindowHandle());
    }
}

void TKVWin::MouseMove(TMouseEventData& mouse) {
    LastMouse = mouse;
    if (HintLink != nullptr) HintLink->ToolMove(HintTool, mouse.X, mouse.Y);
    EmitInt(evMouseMove, MoveButton(mouse.Shift));
}

void TKVWin::MouseEnter() {
    if (HintLink != nullptr) HintLink->ToolEnter(HintTool);
    EmitNull(evMouseEnter);
}

void TKVWin::MouseLeave() {
    if (HintLink != nullptr) HintLink->ToolLeave(HintTool);
    EmitNull(evMouseLeave);
}

void TKVWin::MouseUp(TMouseEventData& mouse) {
    LastMouse = mouse;
    EmitInt(evMouseUp, mouse.Button - 1);
    if (MouseCapture != 0) ReleaseCapture();
}

void TKVWin::MouseWheel(TMouseEventData& mouse) {
    LastMouse = mouse;
    // The delta is the high word; the low word's button bits make it round toward zero (-120 with the
    // left button held gives -119).
    EmitInt(evMouseWheel, static_cast<int32_t>(mouse.Shift) / 65536);
}

bool TKVWin::WindowMessage(MSG& msg, LRESULT& result) {
    switch (msg.message) {
        case WM_MOVE:
            EmitNull(evMove);
            break;
        case WM_SETFOCUS:
            EmitNull(evSetFocus);
            break;
        case WM_KILLFOCUS:
            EmitNull(evKillFocus);
            break;
        case WM_WINDOWPOSCHANGING: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(msg.lParam);
            if (pos != nullptr && (pos->flags & SWP_NOSIZE) == 0) ResizeCorrection(*pos);
            break;
        }
        default:
            break;
    }
    return PrevMessageHandler ? PrevMessageHandler(msg, result) : false;
}

void TKVWin::ResizeCorrection(WINDOWPOS& pos) {
    if (Control == nullptr) return;
    // An unconnected pin marks the record NoValue: the requested size passes unchanged.
    const int32_t h = Control->Height();
    if (pos.cy != h) {
        TData d = IntData(pos.cy - h);
        PullData(d, pinResizeHeight);
        if (d.Type == kTypeInteger) pos.cy = ToInteger(d) + h;
    }
    const int32_t w = Control->Width();
    if (pos.cx != w) {
        TData d = IntData(pos.cx - w);
        PullData(d, pinResizeWidth);
        if (d.Type == kTypeInteger) pos.cx = ToInteger(d) + w;
    }
}

void TKVWin::ControlDestroyed() {
    ControlGone = 1;
}

void TKVWin::Resized() {
    EmitNull(evResize);
}

void TKVWin::Shown() {
    EmitNull(evShow);
}

void TKVWin::Hidden() {
    EmitNull(evHide);
}

TMethod<TControl*()>* TKVWin::ControlRef() {
    return &ControlQuery;
}

// ---- InitControl: the common part, after the concrete component made Control

void TKVWin::InitControl() {
    if (Control == nullptr) return;
    TControl* c = Control;
    ControlQuery = MakeMethod<&TKVWin::GetControl>(this);
    ApplyLook(c);
    ApplyFont(c);
    ApplyTabOrder(c);
    HookEvents(c);
    c->SetAlign(Align);

    SetWindowPos(c->GetWindowHandle(), HWND_TOP, 0, 0, 0, 0, kToTopHidden);
    c->SetCreateVisible(Visible != 0);
    c->CreateWindow();
    MakeCaption(c);

    if (Ctl3D == 0 && BorderStyle != 0 && BorderStyle <= 4) c->SetExStyle(kBorderExStyles[BorderStyle]);
}

void TKVWin::ApplyLook(TControl* c) {
    c->SetColor(Color);
    c->SetPosition(Left, Top);
    c->SetSize(Width, Height);
    if (Ctl3D < 2) c->SetCtl3D(Ctl3D == 0);
    c->SetTransparent(Transparent != 0);
    c->SetEnabled(Enabled != 0);
    // Cursor 0 loads nothing and so keeps the toolkit's default.
    c->SetCursor(Cursor != 0 ? LoadCursorW(nullptr, MAKEINTRESOURCEW(Cursor)) : nullptr);
    if (Flat != 0) c->SetStyle(c->Style | kFlatStyle);
}

void TKVWin::ApplyFont(TControl* c) {
    TGraphicTool* font = c->GetFont();
    if (ParentFont != 0 && ParentControl != nullptr) {
        Assign(font, ParentControl->GetFont());
        return;
    }
    if (font == nullptr) return;
    font->SetColor(Font.Color);
    font->SetFontStyle(Font.Style);
    font->SetFontName(Font.Name);
    font->SetFontHeight(FontHeight(Font.Size));
    font->SetCharset(Font.CharSet);
}

void TKVWin::ApplyTabOrder(TControl* c) const {
    if (TabOrder <= 0) {
        // 0 still takes the focus when clicked; a negative order never does.
        c->TabStop = TabOrder == 0 ? 1 : 0;
        return;
    }
    c->SetStyle(c->Style | WS_TABSTOP);
    c->TabStop = 1;
    c->SetTabOrder(TabOrder);
}

void TKVWin::HookEvents(TControl* c) {
    PrevMessageHandler = c->MessageHook;
    c->OnMouseDown = MakeMethod<&TKVWin::OnMouseDown>(this);
    c->OnMouseMove = MakeMethod<&TKVWin::OnMouseMove>(this);
    c->OnMouseUp = MakeMethod<&TKVWin::OnMouseUp>(this);
    c->OnMouseWheel = MakeMethod<&TKVWin::OnMouseWheel>(this);
    c->OnMouseDblClk = MakeMethod<&TKVWin::OnDblClick>(this);
    c->MessageHook = MakeMethod<&TKVWin::WindowMessage>(this);
    c->OnDestroy = MakeMethod<&TKVWin::OnControlDestroy>(this);
    c->OnKeyDown = MakeMethod<&TKVWin::OnKeyDown>(this);
    c->OnKeyUp = MakeMethod<&TKVWin::OnKeyUp>(this);
    c->OnChar = MakeMethod<&TKVWin::OnChar>(this);
    c->OnResize = MakeMethod<&TKVWin::OnResize>(this);
    c->OnShow = MakeMethod<&TKVWin::OnShow>(this);
    c->OnHide = MakeMethod<&TKVWin::OnHide>(this);
}

// The caption beside the control, if it has a maker: the control gives up the caption's room on the
// side it is aligned to.
void TKVWin::MakeCaption(TControl* c) {
    if (CaptionMaker == nullptr) return;
    CaptionControl = CaptionMaker(c->Parent, CaptionParam1, CaptionParam2, CaptionGap, CaptionColor);
    if (CaptionControl == nullptr) return;
    SetWindowPos(CaptionControl->GetWindowHandle(), HWND_TOP, 0, 0, 0, 0, kToTopHidden);
    const int32_t margin = c->Parent != nullptr ? c->Parent->Margin : 0;
    switch (c->Align) {
        case kAlignTop:
        case kAlignBottom:
            c->SetHeight(c->Height() - CaptionGap - margin);
            break;
        case kAlignLeft:
        case kAlignRight:
            c->SetWidth(c->Width() - CaptionGap - margin);
            break;
        default:
            break;
    }
    const bool aligned = c->Align >= kAlignLeft && c->Align <= kAlignBottom;
    CaptionControl->SetCreateVisible(aligned && Visible != 0);
    CaptionControl->CreateWindow();
}

// ---- Hints and managers

void TKVWin::AttachHint(THintOps* link) {
    if (Control == nullptr) return;
    if (link != nullptr) {
        Control->SetOnMouseEnter(MakeMethod<&TKVWin::OnMouseEnter>(this));
        Control->SetOnMouseLeave(MakeMethod<&TKVWin::OnMouseLeave>(this));
    } else {
        if (Hint.empty() || HintManager == nullptr) return;
        link = HintManager->HintOps;
    }
    HintTool = link->CreateTool(Control->GetWindowHandle());
    link->SetToolText(HintTool, Hint);
    HintLink = link;
}

void TKVWin::AttachManager(TKVManagerOps* manager) {
    if (manager != nullptr && manager->Attach) manager->Attach(Control, ManagerParam1, ManagerParam2);
    ManagerLink = manager;
}

// ---- The control's events

void TKVWin::OnMouseDown(TControl* /*sender*/, TMouseEventData& mouse) {
    MouseDown(mouse);
}

void TKVWin::OnMouseMove(TControl* /*sender*/, TMouseEventData& mouse) {
    MouseMove(mouse);
}

void TKVWin::OnMouseUp(TControl* /*sender*/, TMouseEventData& mouse) {
    MouseUp(mouse);
}

void TKVWin::OnMouseWheel(TControl* /*sender*/, TMouseEventData& mouse) {
    MouseWheel(mouse);
}

void TKVWin::OnDblClick(TControl* /*sender*/, TMouseEventData& mouse) {
    EmitInt(evDblClick, mouse.Button - 1);
}

void TKVWin::OnMouseEnter(TObj* /*sender*/) {
    MouseEnter();
}

void TKVWin::OnMouseLeave(TObj* /*sender*/) {
    MouseLeave();
}

// The parent's key handlers run first (ParentKeys); a key they swallow goes no further. An action that
// sets KeyOverride while the outlet runs replaces the key; a key the component swallowed on key-down
// also swallows its character.
void TKVWin::OnKeyDown(TControl* /*sender*/, int32_t& key, uint32_t shift) {
    if (ParentKeys != 0 && ParentControl != nullptr && ParentControl->OnKeyDown) {
        ParentControl->OnKeyDown(ParentControl, key, shift);
        if (key == 0) return;
    }
    KeyOverride = -1;
    KeyDown(key);
    if (KeyOverride >= 0) {
        key = KeyOverride;
    } else if (key == 0) {
        KeyOverride = 0;
    }
}

void TKVWin::OnKeyUp(TControl* /*sender*/, int32_t& key, uint32_t shift) {
    if (ParentKeys != 0 && ParentControl != nullptr && ParentControl->OnKeyUp) {
        ParentControl->OnKeyUp(ParentControl, key, shift);
        if (key == 0) return;
    }
    KeyOverride = -1;
    KeyUp(key);
    if (KeyOverride >= 0) key = KeyOverride;
}

void TKVWin::OnChar(TControl* /*sender*/, char& ch, uint32_t shift) {
    if (ParentKeys != 0 && ParentControl != nullptr && ParentControl->OnChar) {
        ParentControl->OnChar(ParentControl, ch, shift);
        if (ch == 0) return;
    }
    if (KeyOverride == 0) {
        ch = 0;  // its key-down was swallowed
        return;
    }
    KeyOverride = -1;
    KeyChar(ch);
    if (KeyOverride >= 0) ch = static_cast<char>(KeyOverride & 0xFF);
}

void TKVWin::OnControlDestroy(TObj* /*sender*/) {
    ControlDestroyed();
}

void TKVWin::OnResize(TObj* /*sender*/) {
    Resized();
}

void TKVWin::OnShow(TObj* /*sender*/) {
    Shown();
}

void TKVWin::OnHide(TObj* /*sender*/) {
    Hidden();
}
