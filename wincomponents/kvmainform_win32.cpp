#include "wincomponents/kvmainform.h"

#include <vector>

#include "toolkit/applet.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"

namespace {

constexpr std::string_view kIniMark = ".ini\\";
constexpr UINT kMoveByCaption = SC_MOVE | HTCAPTION;  // 0xF012
// What a border style leaves of the styles: everything but the frame, caption and boxes.
constexpr DWORD kBorderStyleKeep = ~DWORD(WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
constexpr DWORD kBorderExStyleKeep = ~DWORD(WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE);
constexpr DWORD kHiddenTaskButton = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;

struct TBorder {
    DWORD Style;
    DWORD ExStyle;
};
constexpr TBorder kBorders[] = {
    {0, 0},
    {WS_CAPTION | WS_MINIMIZEBOX, 0},
    {WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0},
    {WS_CAPTION, WS_EX_WINDOWEDGE},
    {WS_CAPTION, WS_EX_TOOLWINDOW},
    {WS_CAPTION | WS_THICKFRAME, WS_EX_TOOLWINDOW},
    {0, WS_EX_DLGMODALFRAME},
    {WS_THICKFRAME, WS_EX_TOOLWINDOW},
    {0, WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME},
    {WS_THICKFRAME, WS_EX_CLIENTEDGE},
};

TList* formList = nullptr;
UINT innerMessage = 0;

// Made on first use: a start procedure may be registered by a static object, before main.
std::vector<TMethod<void()>>& StartProcs() {
    static std::vector<TMethod<void()>> procs;
    return procs;
}

}  // namespace

// ---- Process-wide state

void InitForms() {
    if (formList == nullptr) formList = NewObj<TList>();
    if (innerMessage == 0) innerMessage = RegisterWindowMessageW(L"inner message");
}

void DoneForms() {
    TObj::Free(formList);
    formList = nullptr;
}

UINT InnerMessage() {
    return innerMessage;
}

TList* FormList() {
    return formList;
}

void AddStartProc(TMethod<void()> proc) {
    StartProcs().push_back(proc);
}

void RunStartProcs() {
    std::vector<TMethod<void()>> procs;
    procs.swap(StartProcs());
    for (const auto& proc : procs)
        proc();
}

// ---- Construction and properties

TKVMainForm::TKVMainForm(TControl* parent) : TKVWin(parent) {
    InitForms();
    if (Applet == nullptr) {
        Applet = NewApplet("");
        OwnsApplication = Applet != nullptr ? 1 : 0;
    }
    Control = NewForm(parent != nullptr ? parent : Applet, "Form");
    if (Control != nullptr) {
        Control->SetCreateVisible(false);
        Control->OnShow = MakeMethod<&TKVMainForm::OnShowFirst>(this);
        Control->Margin = 0;
    }
    AddStartProc(MakeMethod<&TKVMainForm::StartUp>(this));
    Background = NewBitmap(0, 0);
}

TKVMainForm::~TKVMainForm() {
    if (GdiHandle != nullptr) DeleteObject(GdiHandle);
    TObj::Free(Background);
    if (formList != nullptr && Control != nullptr && ControlGone == 0) {
        const int32_t i = formList->IndexOf(Control->Handle);
        if (i >= 0) formList->Delete(i);
    }
    // A start-up procedure that never ran must not call a freed form.
    std::erase_if(StartProcs(), [this](const TMethod<void()>& p) { return p.Obj == this; });
}

void TKVMainForm::SetCaption(std::string_view text) {
    if (Control != nullptr) Control->SetCaption(text);
    // The application window's caption is the taskbar's text.
    if (OwnsApplication != 0 && Applet != nullptr) Applet->SetCaption(text);
}

void TKVMainForm::SetBorderStyle(int32_t style) {
    if (style < 0 || style > 9 || Control == nullptr) return;
    Control->GetWindowHandle();
    Control->SetStyle((Control->Style & kBorderStyleKeep) | kBorders[style].Style);
    Control->SetExStyle((Control->ExStyle & kBorderExStyleKeep) | kBorders[style].ExStyle);
}

void TKVMainForm::SetIcon(HICON icon) {
    if (OwnsApplication != 0 && Applet != nullptr) Applet->SetIcon(icon);
    if (icon == nullptr && ParentControl != nullptr) icon = ParentControl->Icon;
    if (Control != nullptr) Control->SetIcon(icon);
}

void TKVMainForm::HideTaskButton(uint8_t flag) {
    if (OwnsApplication != 0 && Applet != nullptr && flag == 1) Applet->SetExStyle(kHiddenTaskButton);
}

void TKVMainForm::CenterOnScreen() {
    if (Control == nullptr) return;
    Control->SetLeft((GetSystemMetrics(SM_CXSCREEN) - Control->Width()) / 2);
    Control->SetTop((GetSystemMetrics(SM_CYSCREEN) - Control->Height()) / 2);
}

void TKVMainForm::SetMenuLink(TKVMenuOps* link) {
    MenuLink = link;
    if (Control == nullptr || link == nullptr) return;
    link->Op1(Control);
    link->Op3(Control);
}

// ---- InitControl and the overridden operations

void TKVMainForm::InitControl() {
    if (Control == nullptr) return;
    if (SaveKey.empty()) {
        PlaceStore = MakeMethod<&TKVMainForm::PlaceNowhere>(this);
    } else if (SaveKey.find(kIniMark) == std::string::npos) {
        PlaceStore = MakeMethod<&TKVMainForm::PlaceRegistry>(this);
    } else {
        PlaceStore = MakeMethod<&TKVMainForm::PlaceIni>(this);
    }

    // The window stays hidden until the start-up procedure shows it.
    const uint8_t visible = Visible;
    Visible = 0;
    if (OwnsApplication == 0 && formList != nullptr) formList->Insert(0, Control->GetWindowHandle());
    TKVWin::InitControl();
    Visible = visible;

    Control->SetAlphaBlend(AlphaBlend);
    if (ClientSize != 0) {
        const SIZE size = OuterSize();
        Control->SetSize(size.cx, size.cy);
    }
    Control->SetOnPaint(MakeMethod<&TKVMainForm::OnPaint>(this));
    Control->Tag = this;
    PlaceInit();
}

SIZE TKVMainForm::OuterSize() const {
    RECT r{0, 0, ScaleToDpi(Width, Dpi), ScaleToDpi(Height, Dpi)};
    if (ClientSize != 0) AdjustWindowRectAt(r, Control->Style, Control->ExStyle, Dpi);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void TKVMainForm::ScaleTo(int32_t dpi) {
    if (Control == nullptr) return;
    const RECT r = Control->GetBoundsRect();
    Rescale(dpi, POINT{r.left, r.top});
}

void TKVMainForm::Rescale(int32_t dpi, POINT at) {
    if (Control == nullptr) return;
    Dpi = dpi;
    const SIZE size = OuterSize();
    Control->SetBoundsRect(RECT{at.x, at.y, at.x + size.cx, at.y + size.cy});
    ApplyFont(Control);
    for (int32_t i = 0; i < Control->ChildCount(); ++i) {
        TControl* child = Control->Child(i);
        auto* owner = static_cast<TKVWin*>(child->Tag);
        // Through its own control only: a caption control points at its component too.
        if (owner != nullptr && owner->Control == child) owner->ScaleTo(dpi);
    }
    // The title bar's icon at the new display's size.
    if (Control->Icon != nullptr) Control->SetIcon(Control->Icon);
}

void TKVMainForm::Shown() {
    if (FirstShowDone == 0) {
        if (WindowState == kWindowMinimised || WindowState == kWindowMaximised)
            Control->SetWindowState(WindowState);
        PlaceStore(0);
        FirstShowDone = 1;
    }
    TKVWin::Shown();
}

void TKVMainForm::MouseDown(TMouseEventData& mouse) {
    if (DragByClient != 0 && Control != nullptr) {
        ReleaseCapture();
        Control->Perform(WM_SYSCOMMAND, kMoveByCaption, 0);
    }
    TKVWin::MouseDown(mouse);
}

bool TKVMainForm::WindowMessage(MSG& msg, LRESULT& result) {
    bool handled = false;
    if (msg.message == innerMessage && innerMessage != 0) {
        TControl* followed = OwnsApplication == 0 && FollowLink != nullptr ? FollowLink->Followed() : nullptr;
        if (followed != nullptr) {
            MoveWindow(Control->GetWindowHandle(), followed->Left() + FollowOffsetX,
                       followed->Top() + FollowOffsetY, Control->Width(), Control->Height(), TRUE);
        }
    }
    switch (msg.message) {
        case WM_MOVE:
            if (OwnsApplication != 0 && Applet != nullptr)
                Applet->SetPosition(Control->Left(), Control->Top());
            if (!LinkName.empty()) PostInner();
            break;
        case WM_SIZE:
            if (OwnsApplication != 0 && Applet != nullptr) Applet->SetWidth(Control->Width());
            if (!LinkName.empty()) PostInner();
            break;
        case WM_ACTIVATE: {
            const auto state = static_cast<int32_t>(msg.wParam);
            if (state > 0) EmitNull(evActivate);
            if (state == 0) EmitNull(evDeactivate);
            break;
        }
        case WM_CLOSE:
            handled = CloseRequest(msg.lParam == 0);
            if (handled) result = 0;
            break;
        case WM_DPICHANGED: {
            // Moved to a display of another scale: the system's place for the window, our size for it.
            RECT suggested{};
            if (!SuggestedRect(msg.wParam, msg.lParam, suggested)) break;
            Rescale(LOWORD(msg.wParam), POINT{suggested.left, suggested.top});
            handled = true;
            result = 0;
            break;
        }
        case WM_ERASEBKGND:
            // The picture paints everything.
            if (Background != nullptr && !Background->Empty()) {
                handled = true;
                result = 1;
            }
            break;
        default:
            break;
    }
    if (handled) return true;
    return TKVWin::WindowMessage(msg, result);
}

// Answers whether the close was handled here; unhandled, the toolkit closes the window.
bool TKVMainForm::CloseRequest(bool byUser) {
    bool handled = true;
    if (byUser && PullInteger(pinCanClose) != 0) return true;
    for (int32_t i = 0; i < Control->ChildCount(); ++i) {
        TControl* child = Control->Child(i);
        if (child != nullptr && child->IsForm != 0) child->Perform(WM_CLOSE, 0, 1);
    }
    if (OwnerForm != nullptr) {
        PostMessageW(OwnerForm->GetWindowHandle(), WM_ACTIVATE, 1, 0);
        OwnerForm = nullptr;
    }
    if (OwnsApplication != 0) {
        handled = false;
        EmitNull(evClose);
        DisableLinks();
    } else {
        TControl* form = Control->Parent != nullptr ? Control->Parent->ParentForm() : nullptr;
        // A form without a modal loop of its own hides; the modal result belongs to such a loop.
        if (form == nullptr || form->FocusedChild != Control) Control->SetVisible(false);
    }
    PlaceStore(1);
    return handled;
}

void TKVMainForm::PostInner() {
    if (formList == nullptr) return;
    for (int32_t i = 0; i < formList->Count; ++i) {
        PostMessageW(static_cast<HWND>(formList->Get(i)), innerMessage, 0, 0);
    }
}

void TKVMainForm::StartUp() {
    EmitNull(evCreate);
    if (Control != nullptr) Control->SetCreateVisible(Visible != 0);
}

void TKVMainForm::OnShowFirst(TObj* /*sender*/) {
    Shown();
}

void TKVMainForm::OnPaint(TControl* /*sender*/, HDC dc) {
    if (Background != nullptr && !Background->Empty()) Background->Draw(dc, 0, 0);
}

// ---- Bounds storage

void TKVMainForm::PlaceNowhere(int32_t /*save*/) {}

void TKVMainForm::PlaceRegistry(int32_t save) {
    if (Control == nullptr) return;
    const std::wstring key = ToWide("Software\\" + SaveKey);
    HKEY h = nullptr;
    if (save != 0) {
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                            &disposition) != ERROR_SUCCESS) {
            return;
        }
        const DWORD values[] = {static_cast<DWORD>(Control->Left()), static_cast<DWORD>(Control->Top()),
                                static_cast<DWORD>(Control->Height()), static_cast<DWORD>(Control->Width())};
        const wchar_t* names[] = {L"Left", L"Top", L"Height", L"Width"};
        for (int i = 0; i < 4; ++i) {
            RegSetValueExW(h, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]),
                           sizeof(DWORD));
        }
    } else {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
        using Setter = void (TControl::*)(int32_t);
        const struct {
            const wchar_t* Name;
            Setter Set;
        } values[] = {{L"Left", &TControl::SetLeft},
                      {L"Top", &TControl::SetTop},
                      {L"Height", &TControl::SetHeight},
                      {L"Width", &TControl::SetWidth}};
        for (const auto& v : values) {
            DWORD value = 0, size = sizeof value, type = 0;
            if (RegQueryValueExW(h, v.Name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                    ERROR_SUCCESS &&
                size == sizeof value) {
                (Control->*v.Set)(static_cast<int32_t>(value));
            }
        }
    }
    RegCloseKey(h);
}

void TKVMainForm::PlaceIni(int32_t save) {
    if (Control == nullptr) return;
    const size_t mark = SaveKey.find(kIniMark);
    if (mark == std::string::npos) return;
    TIniFile* ini = NewIniFile(GetStartDir() + SaveKey.substr(0, mark + 4));
    if (ini == nullptr) return;
    ini->Section = SaveKey.substr(mark + kIniMark.size());
    ini->Mode = save != 0 ? 1 : 0;
    // One sequence saves and loads: in write mode each call hands its value back unchanged.
    Control->SetLeft(ini->ValueInteger("Left", Control->Left()));
    Control->SetTop(ini->ValueInteger("Top", Control->Top()));
    Control->SetWidth(ini->ValueInteger("Width", Control->Width()));
    Control->SetHeight(ini->ValueInteger("Height", Control->Height()));
    TObj::Free(ini);
}
