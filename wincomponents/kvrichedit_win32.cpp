#include "wincomponents/kvrichedit.h"

#include <richedit.h>

#include "toolkit/gdi.h"
#include "toolkit/richkeys.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr uint8_t kStyleMask = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE;

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
}

}  // namespace

void TKVRichEdit::InitControl() {
    uint32_t options = eoNoHScroll | eoNoVScroll | eoMultiline | eoNoHideSel;
    if ((ScrollBars & 1) != 0) options &= ~eoNoHScroll;
    if ((ScrollBars & 2) != 0) options &= ~eoNoVScroll;
    if (ReadOnly != 0) options |= eoReadonly;
    if (WantTab != 0) options |= eoWantTab;
    Control = NewRichEdit(ParentControl, options);
    if (Control == nullptr) return;
    Control->OnChange = MakeOnEvent<&TKVRichEdit::OnChange>(this);
    TKVWin::InitControl();
    // The control's default would take 32,767 characters and silently drop every later line.
    Control->Perform(EM_EXLIMITTEXT, 0, kLogLimit);

    Control->SetCaption(Text);
    AttachFormatKeys(Control);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = CFE_AUTOCOLOR;
    Control->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    SetOnLink(Control, MakeOnEvent<&TKVRichEdit::OnLink>(this));
}

int32_t TKVRichEdit::TextLength() {
    return static_cast<int32_t>(Control->Perform(WM_GETTEXTLENGTH, 0, 0));
}

void TKVRichEdit::SetSelection(int32_t start, int32_t end) {
    Control->Perform(EM_SETSEL, start, end);
}

void TKVRichEdit::ReplaceSelection(std::string_view text) {
    SendText(Control->GetWindowHandle(), EM_REPLACESEL, TRUE, text);
}

// One log line: caret, text, colour and style of the selection, then the text with its separator.
// The selection is set once: the format does not move it, and after the replacement the caret is at
// the end of the new text, which for AddMode 0 is the end of the log.
void TKVRichEdit::Add(TData& data) {
    if (Control == nullptr) return;
    const int32_t length = TextLength();
    const bool empty = length == 0;
    // A length counting CR LF as two characters is past the end; the control stops there.
    const int32_t at = AddMode == 0 ? length : 0;
    SetSelection(at, at);
    const std::string text = ReadString(data, pinStr, "");
    const int32_t color = ReadInteger(data, pinColor, 0);
    const auto style = static_cast<uint8_t>(ReadInteger(data, pinStyle, 0));

    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    cf.crTextColor = Color2RGB(static_cast<uint32_t>(color));
    cf.dwEffects = style & kStyleMask;
    Control->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));

    if (empty) {
        ReplaceSelection(text);
    } else if (AddMode == 0) {
        ReplaceSelection(NewLine != 0 ? std::string(kCrLf) + text : text);
    } else {
        ReplaceSelection(NewLine != 0 ? text + std::string(kCrLf) : text);
    }
}

void TKVRichEdit::ClearAll(TData& /*data*/) {
    if (Control == nullptr) return;
    SetSelection(0, -1);
    ReplaceSelection("");
}

void TKVRichEdit::GetAllText(TData& data) {
    SetString(data, Control != nullptr ? Control->GetCaption() : std::string());
}

void TKVRichEdit::SyncStrings() {
    if (Strings != nullptr && Control != nullptr) Strings->SetText(Control->GetCaption(), false);
}

void TKVRichEdit::SetLine(TData& index, TData& text) {
    const int32_t i = ToIndex(index);
    if (Control == nullptr || i < 0 || i >= LineCount()) return;
    const auto start = static_cast<int32_t>(Control->Perform(EM_LINEINDEX, i, 0));
    const auto next = static_cast<int32_t>(Control->Perform(EM_LINEINDEX, i + 1, 0));
    SetSelection(start, next < 0 ? -1 : next);
    ReplaceSelection(ToString(text) + std::string(kCrLf));
}

std::string TKVRichEdit::WordAt(std::string_view text, int32_t pos) {
    if (pos < 0) return {};
    const auto p = static_cast<size_t>(pos) < text.size() ? static_cast<size_t>(pos) : text.size();
    size_t from = p;
    while (from > 0 && IsLetter(static_cast<unsigned char>(text[from - 1])))
        --from;
    size_t to = p;
    while (to < text.size() && IsLetter(static_cast<unsigned char>(text[to])))
        ++to;
    return std::string(text.substr(from, to - from));
}

std::string TKVRichEdit::WordAtPos(int32_t pos) {
    // Without the CRs, every line break is one character, as the control counts positions.
    std::string text = Control->GetCaption();
    std::erase(text, '\r');
    return WordAt(text, pos);
}

void TKVRichEdit::MouseMove(TMouseEventData& mouse) {
    TKVWin::MouseMove(mouse);
    if (WordTracking == 0 || Control == nullptr) return;
    POINTL at{mouse.X, mouse.Y};
    const auto pos = static_cast<int32_t>(Control->Perform(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)));
    TData word;
    SetString(word, WordAtPos(pos));
    PullData(word, pinWordCheck);
    Control->SetCursor(ToInteger(word) != 0 ? LoadCursorW(nullptr, IDC_HAND) : nullptr);
}

void TKVRichEdit::MouseUp(TMouseEventData& mouse) {
    TKVWin::MouseUp(mouse);
    if (WordTracking == 0 || Control == nullptr) return;
    DWORD caret = 0;
    Control->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    const std::string word = WordAtPos(static_cast<int32_t>(caret));
    if (!word.empty()) EmitStr(evWordClick, word);
}

void TKVRichEdit::OnChange(TObj* /*sender*/) {
    // The whole text is read only for a listener: a long log would pay for it on every line.
    if (evChange.Connected() && Control != nullptr) EmitStr(evChange, Control->GetCaption());
}

void TKVRichEdit::OnLink(TObj* /*sender*/) {
    if (Control != nullptr) EmitStr(evLink, Control->LinkText);
}
