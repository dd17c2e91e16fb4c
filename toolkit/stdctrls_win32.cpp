#include <richedit.h>
#include <windows.h>

#include <array>
#include <string>

#include "toolkit/applet.h"
#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"
#include "toolkit/syslib.h"
#include "toolkit/wintext.h"

namespace {

// ---- Kinds

constexpr TNotifyRec kButtonNotify = {.Click = BN_CLICKED,
                                      .Enter = BN_SETFOCUS,
                                      .Leave = BN_KILLFOCUS,
                                      .AlignLeft = BS_LEFT,
                                      .AlignRight = BS_RIGHT,
                                      .AlignCenter = BS_CENTER,
                                      .WidthMargin = 14};
constexpr TNotifyRec kEditNotify = {.Enter = EN_SETFOCUS,
                                    .Leave = EN_KILLFOCUS,
                                    .Change = EN_CHANGE,
                                    .AlignLeft = ES_LEFT,
                                    .AlignRight = ES_RIGHT,
                                    .AlignCenter = ES_CENTER,
                                    .HeightMargin = 6};
// A label without word wrap (SS_LEFTNOWORDWRAP) loses it when aligned, or it could not be centred.
constexpr TNotifyRec kStaticNotify = {.AlignLeft = SS_LEFT,
                                      .AlignRight = SS_RIGHT,
                                      .AlignCenter = SS_CENTER,
                                      .ExtraMask = SS_LEFTNOWORDWRAP,
                                      .WidthMargin = 1,
                                      .HeightMargin = 1};
constexpr TNotifyRec kRichEditNotify = {.Enter = EN_SETFOCUS,
                                        .Leave = EN_KILLFOCUS,
                                        .Change = EN_CHANGE,
                                        .SelChange = EN_SELCHANGE,
                                        .AlignLeft = ES_LEFT,
                                        .AlignRight = ES_RIGHT,
                                        .AlignCenter = ES_CENTER};

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHLIKE;
constexpr DWORD kEditStyle = 0x50810000;   // child, visible, border, tab stop
constexpr DWORD kLabelStyle = 0x5000018C;  // child, visible, SS_NOTIFY, SS_NOPREFIX, no word wrap
constexpr DWORD kRichEditStyle = 0x50810004;
constexpr DWORD kScrollBars = WS_HSCROLL | WS_VSCROLL;
constexpr int32_t kControlHeight = 22;
constexpr int32_t kEditWidth = 100;
constexpr int32_t kMultilineExtraWidth = 100;
constexpr int32_t kTallHeight = 200;

// One entry per option bit: the style for an edit and for a rich edit, and whether the entry adds
// it when the bit is clear rather than set.
struct TOptionEntry {
    DWORD Edit;
    DWORD Rich;
    bool WhenClear;
};
constexpr std::array<TOptionEntry, 12> kOptionTable = {{
    {WS_HSCROLL | ES_AUTOHSCROLL, WS_HSCROLL | ES_AUTOHSCROLL, true},
    {WS_VSCROLL | ES_AUTOVSCROLL, WS_VSCROLL | ES_AUTOVSCROLL, true},
    {ES_LOWERCASE, 0, false},
    {ES_MULTILINE, 0, false},  // a rich edit is always multi-line
    {ES_NOHIDESEL, ES_NOHIDESEL, false},
    {ES_OEMCONVERT, 0, false},
    {ES_PASSWORD, 0, false},
    {ES_READONLY, ES_READONLY, false},
    {ES_UPPERCASE, 0, false},
    {ES_WANTRETURN, ES_WANTRETURN, false},
    {0, 0, false},  // eoWantTab: the control keeps Tab (TabKeys), no style
    {ES_NUMBER, ES_NUMBER, false},
}};

// ---- Handlers

bool RichEditHandler(TControl* self, MSG& msg, LRESULT& result) {
    if (msg.message == kMsgCommand) {
        // The control cut or refused text: its writer must make room and try again.
        const auto code = HIWORD(msg.wParam);
        if (code == EN_MAXTEXT || code == EN_ERRSPACE) self->TextRefused = 1;
        return false;
    }
    if (msg.message != WM_NOTIFY || msg.lParam == 0) return false;
    if (reinterpret_cast<const NMHDR*>(msg.lParam)->code != EN_SELCHANGE) return false;
    self->OnSelChange(self);
    // A transparent rich edit shows its parent through: the old selection's colours must go.
    if (self->Transparent != 0) self->Invalidate();
    result = 0;
    return true;
}

constexpr size_t kLinkTextLimit = 1023;

bool LinkHandler(TControl* self, MSG& msg, LRESULT& result) {
    if (msg.message != WM_NOTIFY || msg.lParam == 0) return false;
    const auto* link = reinterpret_cast<const ENLINK*>(msg.lParam);
    if (link->nmhdr.code != EN_LINK) return false;
    // The range comes from the control; still, the buffer bounds it, never the range.
    CHARRANGE range = link->chrg;
    std::wstring text;
    if (range.cpMin >= 0) {
        if (range.cpMax < range.cpMin || range.cpMax - range.cpMin > LONG(kLinkTextLimit))
            range.cpMax = range.cpMin + LONG(kLinkTextLimit);
        text.assign(kLinkTextLimit + 1, L'\0');
        TEXTRANGEW request{range, text.data()};
        const LRESULT n = self->Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
        text.resize(n > 0 && size_t(n) <= kLinkTextLimit ? size_t(n) : 0);
    }
    self->LinkText = FromWide(text);
    switch (link->msg) {
        case WM_MOUSEMOVE:
            self->OnMouseOverLink(self);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            self->OnLink(self);
            break;
        default:
            break;
    }
    result = 0;
    return true;
}

void UpdateLinkDetection(TControl* rich) {
    rich->AttachHandler(LinkHandler);
    rich->Perform(EM_AUTOURLDETECT, (rich->OnLink || rich->OnMouseOverLink) ? 1 : 0, 0);
}

// ---- Size to text

void SizeToText(TControl* self) {
    if (self->GetWindowHandle() == nullptr) return;
    std::string caption = self->GetCaption();
    SIZE size{0, 0};
    if (!caption.empty()) {
        // Italic glyphs lean past their advance; one blank keeps the last one whole.
        if ((self->GetFont()->GetFontStyle() & kFontItalic) != 0) caption += ' ';
        size = self->GetCanvas()->TextExtent(caption);
    }
    const RECT before = self->GetBoundsRect();
    const uint8_t align = self->Align;
    if (align != kAlignTop && align != kAlignBottom && self->Notify.WidthMargin != 0)
        self->SetWidth(size.cx + self->Notify.WidthMargin);
    if (align != kAlignLeft && align != kAlignRight && self->Notify.HeightMargin != 0)
        self->SetHeight(size.cy + self->Notify.HeightMargin);
    if (EqualRect(&before, &self->BoundsRect)) return;
    if (self->Parent != nullptr) Realign(self->Parent);
    Realign(self);
}

// The edit kinds' tab keys: the control keeps left and right; a multi-line one every key but Tab.
void SetEditTabKeys(TControl* c, uint32_t options, bool multiline) {
    c->TabKeys = multiline ? kTabKeyTab : kTabKeyTab | kTabKeyUpDown | kTabKeyPage;
    if ((options & eoWantTab) != 0) c->TabKeys &= ~kTabKeyTab;
}

HMODULE LoadByName(const wchar_t* name) {
    return LoadSystemLibrary(name);
}

}  // namespace

// ---- Command controls

namespace {
uint16_t nextCtlId = 0x8000;  // CtlIds are process-wide
}  // namespace

TControl* NewCommandControl(TControl* parent, std::string_view className, DWORD style,
                            const TNotifyRec& notify, bool ctl3D) {
    TControl* c = NewControl(parent, className, ctl3D);
    if (c == nullptr) return nullptr;
    c->Notify = notify;
    c->IsControl = 1;
    c->Style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    c->Visible = (style & WS_VISIBLE) != 0 ? 1 : 0;
    c->TabStop = (style & WS_TABSTOP) != 0 ? 1 : 0;
    c->TabKeys = kTabKeyTab | kTabKeyLeftRight | kTabKeyUpDown | kTabKeyPage;
    TControl* form = parent != nullptr ? parent->ParentForm() : nullptr;
    if (form != nullptr) {
        c->TabOrder = form->TabOrderCounter++;
        if (c->TabStop != 0 && form->FocusedChild == nullptr) form->FocusedChild = c;
    }
    if (c->Ctl3D != 0) {
        c->Style &= ~WS_BORDER;
        c->ExStyle |= WS_EX_CLIENTEDGE;
    }
    c->CtlId = nextCtlId++;
    c->AttachHandler(&CommandControlHandler);
    return c;
}

bool CommandControlHandler(TControl* self, MSG& msg, LRESULT& result) {
    const UINT m = msg.message;
    if (m == WM_SETFOCUS) {
        if (TControl* form = self->ParentForm(); form != nullptr && form != self) form->FocusedChild = self;
        return false;
    }
    if (m == kMsgCommand) {
        const auto code = static_cast<uint16_t>(HIWORD(msg.wParam));
        const TNotifyRec& n = self->Notify;
        TOnEvent* ev = code == n.Click       ? &self->OnClick
                       : code == n.Enter     ? &self->OnEnter
                       : code == n.Leave     ? &self->OnLeave
                       : code == n.Change    ? &self->OnChange
                       : code == n.SelChange ? &self->OnSelChange
                                             : nullptr;
        if (ev == nullptr || code == kNoNotify) return false;
        (*ev)(self);
        result = CallDefault(self, msg);
        return true;
    }
    if (m >= WM_CTLCOLORMSGBOX + kMsgColorReflect && m <= WM_CTLCOLORSTATIC + kMsgColorReflect) {
        HDC dc = reinterpret_cast<HDC>(msg.wParam);
        ::SetTextColor(dc, Color2RGB(self->TextColor));
        if (self->Transparent != 0) {
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, Color2RGB(self->Color));
            result = reinterpret_cast<LRESULT>(self->BackgroundBrush());
        }
        return true;
    }
    return false;
}

// ---- Constructors

DWORD EditOptionStyle(uint32_t options, bool rich) {
    DWORD style = 0;
    for (size_t bit = 0; bit < kOptionTable.size(); ++bit) {
        const bool set = (options & (1u << bit)) != 0;
        if (set != kOptionTable[bit].WhenClear)
            style |= rich ? kOptionTable[bit].Rich : kOptionTable[bit].Edit;
    }
    // A single-line edit has no scroll bars, whatever the first two options said.
    if (!rich && (options & eoMultiline) == 0) style &= ~kScrollBars;
    return style;
}

namespace {

// A button or label: one line high, its caption given at once.
TControl* NewCaptioned(TControl* parent, std::string_view className, DWORD style, const TNotifyRec& notify,
                       std::string_view caption) {
    TControl* c = NewCommandControl(parent, className, style, notify, false);
    if (c == nullptr) return nullptr;
    c->SetHeight(kControlHeight);
    c->SetCaption(caption);
    return c;
}

}  // namespace

TControl* NewButton(TControl* parent, std::string_view caption) {
    return NewCaptioned(parent, kButtonClass, kButtonStyle, kButtonNotify, caption);
}

TControl* NewEditbox(TControl* parent, uint32_t options) {
    TControl* c = NewCommandControl(parent, kEditClass, EditOptionStyle(options, false) | kEditStyle,
                                    kEditNotify, true);
    if (c == nullptr) return nullptr;
    const bool multiline = (options & eoMultiline) != 0;
    SetEditTabKeys(c, options, multiline);
    c->SetSize(multiline ? kEditWidth + kMultilineExtraWidth : kEditWidth,
               multiline ? kTallHeight : kControlHeight);
    return c;
}

TControl* NewLabel(TControl* parent, std::string_view caption) {
    return NewCaptioned(parent, kStaticClass, kLabelStyle, kStaticNotify, caption);
}

TRichEditLibrary LoadRichEditLibrary(HMODULE (*load)(const wchar_t* name)) {
    static constexpr const wchar_t* kNames[] = {L"RICHED20.DLL", L"RICHED32.DLL", L"RICHED.DLL"};
    TRichEditLibrary lib;
    lib.ClassName = "RichEdit20W";
    for (const wchar_t* name : kNames) {
        lib.Module = load(name);
        // Handles at or below 32 are the old error codes.
        if (reinterpret_cast<uintptr_t>(lib.Module) > 32) return lib;
        lib.ClassName = "RichEdit";
    }
    lib.Module = nullptr;
    return lib;
}

const TRichEditLibrary& RichEditLibrary() {
    static const TRichEditLibrary lib = LoadRichEditLibrary(LoadByName);
    return lib;
}

TControl* NewRichEdit(TControl* parent, uint32_t options) {
    const TRichEditLibrary& lib = RichEditLibrary();
    InitCommonControlsEx(0xFF);
    TControl* c = NewCommandControl(parent, lib.ClassName, EditOptionStyle(options, true) | kRichEditStyle,
                                    kRichEditNotify, true);
    if (c == nullptr) return nullptr;
    SetEditTabKeys(c, options, true);
    c->Color = SysColor(COLOR_WINDOW);
    c->SetSize(kEditWidth, kTallHeight);
    c->AttachHandler(RichEditHandler);
    c->Perform(EM_SETEVENTMASK, 0,
               ENM_CHANGE | ENM_KEYEVENTS | ENM_REQUESTRESIZE | ENM_SELCHANGE | ENM_PROTECTED | ENM_LINK);
    c->Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(Color2RGB(c->Color)));
    // The control's own limit (32,767 characters) would cut a long text or log without a word.
    c->Perform(EM_EXLIMITTEXT, 0, kRichEditTextLimit);
    return c;
}

// ---- Alignment, size to text, links

void SetTextAlign(TControl* control, uint8_t align) {
    const TNotifyRec& n = control->Notify;
    const DWORD bits[] = {n.AlignLeft, n.AlignRight, n.AlignCenter};
    if (align >= std::size(bits)) return;
    control->TextAlign = align;
    control->SetStyle((control->Style & ~(n.AlignLeft | n.AlignRight | n.AlignCenter | n.ExtraMask)) |
                      bits[align]);
}

void SetAutoSize(TControl* control, bool on) {
    control->AutoSize = on ? 1 : 0;
    control->TextChangedHook = on ? SizeToText : nullptr;
    if (on) SizeToText(control);
}

void SetAccessibleName(TControl* control, std::string_view text) {
    if (control->Caption == text) return;
    control->Caption = text;
    if (control->Handle == nullptr) return;
    // Stored where WM_GETTEXT finds it; the wrapped class's own procedure would also draw it.
    const std::wstring name = ToWide(text);
    DefWindowProcW(control->Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control->Handle, OBJID_CLIENT, CHILDID_SELF);
}

void SetOnLink(TControl* richEdit, TOnEvent event) {
    richEdit->OnLink = event;
    UpdateLinkDetection(richEdit);
}

void SetOnMouseOverLink(TControl* richEdit, TOnEvent event) {
    richEdit->OnMouseOverLink = event;
    UpdateLinkDetection(richEdit);
}
