#include "wincomponents/kvrichedit.h"

#include <richedit.h>

#include <algorithm>

#include "toolkit/gdi.h"
#include "toolkit/richkeys.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr int32_t kScanChunk = 256;  // characters first read looking for line breaks
constexpr int32_t kScanChunkMax = 16384;
constexpr int kMaxAttempts = 32;  // a refused line: halving the log this often empties any

// Line breaks in text as the control makes them: CR LF, a lone CR, a lone LF.
int32_t Breaks(std::string_view text) {
    int32_t n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++n;
    }
    return n;
}

// Characters the control stores for text: one for each CR LF pair. A 1251 byte is one character.
int32_t ControlChars(std::string_view text) {
    int32_t n = static_cast<int32_t>(text.size());
    for (size_t at = 0; (at = text.find(kCrLf, at)) != std::string_view::npos; at += 2)
        --n;
    return n;
}

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
    Control->OnChange = MakeMethod<&TKVRichEdit::OnChange>(this);
    TKVWin::InitControl();

    Control->SetCaption(Text);
    AttachFormatKeys(Control);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = CFE_AUTOCOLOR;
    Control->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    SetOnLink(Control, MakeMethod<&TKVRichEdit::OnLink>(this));
}

void TKVRichEdit::ScaleTo(int32_t dpi) {
    TKVWin::ScaleTo(dpi);
    if (Control == nullptr) return;
    // The lines already logged take the new font's size and face too, keeping their colours and styles.
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    Control->Perform(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    cf.dwMask = CFM_SIZE | CFM_FACE | CFM_CHARSET;
    Control->Perform(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
}

int32_t TKVRichEdit::TextLength(bool crlf) {
    if (crlf) return static_cast<int32_t>(Control->Perform(WM_GETTEXTLENGTH, 0, 0));
    GETTEXTLENGTHEX how{GTL_PRECISE | GTL_NUMCHARS, 1200};
    return static_cast<int32_t>(Control->Perform(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
}

TKVRichEdit::TLogSize TKVRichEdit::Size() {
    if (sizeKnown_) return known_;
    TLogSize size;
    size.Chars = TextLength(false);
    size.CrLf = TextLength(true);
    size.Lines = size.Chars == 0 ? 0 : size.CrLf - size.Chars + 1;
    known_ = size;
    sizeKnown_ = true;
    return size;
}

int32_t TKVRichEdit::LogLines() {
    return Control != nullptr ? Size().Lines : 0;
}

// The position just past the given number of line breaks from the start, or the end of the text.
int32_t TKVRichEdit::BreakAfter(int32_t lines, int32_t end) {
    std::wstring chunk(kScanChunkMax + 1, L'\0');
    int32_t seen = 0;
    // A few lines are the common case: the first read is small, the later ones larger.
    for (int32_t from = 0, size = kScanChunk; from < end;
         from += size, size = std::min(size * 4, kScanChunkMax)) {
        TEXTRANGEW range{{from, std::min(end, from + size)}, chunk.data()};
        const auto n =
            static_cast<int32_t>(Control->Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)));
        for (int32_t i = 0; i < n; ++i) {
            if (chunk[static_cast<size_t>(i)] == L'\r' && ++seen == lines) return from + i + 1;
        }
    }
    return end;
}

void TKVRichEdit::TrimOldest(int32_t count) {
    if (Control != nullptr) Trim(count, Size(), true);
}

// The selection is kept only when asked: an append for a reader who follows the log sets its own.
void TKVRichEdit::Trim(int32_t count, const TLogSize& size, bool keepSelection) {
    const int32_t lines = size.Lines;
    count = std::min(count, lines);
    if (count <= 0) return;
    HWND window = Control->GetWindowHandle();
    CHARRANGE sel{};
    if (keepSelection) Control->Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    POINT scroll{};
    Control->Perform(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    // AddMode 0 keeps its oldest lines first, AddMode 1 last.
    int32_t from = 0, to = size.Chars;
    LONG height = 0;  // of the lines that go
    if (count < lines && AddMode == 0) {
        to = BreakAfter(count, size.Chars);
        POINTL first{}, kept{};
        Control->Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
        Control->Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&kept), to);
        height = kept.y - first.y;
    } else if (count < lines) {
        from = BreakAfter(lines - count, size.Chars) - 1;  // the break before the first line that goes
    }
    // One repaint for the change, not one for each paragraph the control moves.
    const bool visible = IsWindowVisible(window) != FALSE;
    if (visible) SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    SetSelection(from, to);
    ReplaceSelection("", false);
    sizeKnown_ = false;
    if (visible) SendMessageW(window, WM_SETREDRAW, TRUE, 0);

    // What stays moves up by what went: the same text stays selected and on top of the view.
    const auto keep = [&](LONG cp) {
        return AddMode == 0 ? std::max<LONG>(0, cp - to) : std::min<LONG>(cp, from);
    };
    if (keepSelection) {
        sel = {keep(sel.cpMin), keep(sel.cpMax)};
        Control->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    }
    scroll.y = AddMode == 0 ? std::max<LONG>(0, scroll.y - height) : scroll.y;
    Control->Perform(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    if (visible) InvalidateRect(window, nullptr, FALSE);
}

// Room for a text of the given lines and characters: the bound's oldest lines go, then, should the
// text not fit the control's limit, as many more as it needs; a text longer than the limit on its
// own raises the limit.
TKVRichEdit::TLogSize TKVRichEdit::MakeRoom(TLogSize size, int32_t lines, int32_t chars, bool keepSelection) {
    if (MaxLines > 0 && size.Lines + lines > MaxLines) {
        Trim(size.Lines + lines - MaxLines, size, keepSelection);
        size = Size();
    }
    // Asked each time: another program may have lowered it.
    const auto limit = static_cast<int64_t>(Control->Perform(EM_GETLIMITTEXT, 0, 0));
    while (int64_t{size.Chars} + chars > limit) {
        if (size.Lines == 0) {
            Control->Perform(EM_EXLIMITTEXT, 0, chars);
            break;
        }
        const int64_t perLine = std::max<int64_t>(1, size.Chars / size.Lines);
        const int64_t excess = int64_t{size.Chars} + chars - limit;
        Trim(static_cast<int32_t>(std::min<int64_t>(size.Lines, excess / perLine + 1)), size, keepSelection);
        size = Size();
    }
    return size;
}

void TKVRichEdit::SetSelection(int32_t start, int32_t end) {
    Control->Perform(EM_SETSEL, start, end);
}

void TKVRichEdit::ReplaceSelection(std::string_view text, bool undo) {
    SendText(Control->GetWindowHandle(), EM_REPLACESEL, undo ? TRUE : FALSE, text);
}

// Whether the reader follows the log: nothing selected and the newest line (the last; with AddMode 1
// the first) in view. Only then does a new line move the caret and the view; a reader scrolled back
// or holding a selection keeps both.
bool TKVRichEdit::Following(const TLogSize& size) {
    CHARRANGE sel{};
    Control->Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    if (sel.cpMin != sel.cpMax) return false;
    POINTL newest{};
    Control->Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&newest),
                     AddMode == 0 ? std::max(0, size.Chars - 1) : 0);
    RECT view{};
    Control->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    return newest.y >= view.top && newest.y < view.bottom;
}

TKVRichEdit::TPlace TKVRichEdit::SavePlace() {
    TPlace place;
    Control->Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&place.Selection));
    Control->Perform(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&place.Scroll));
    place.Redraw = IsWindowVisible(Control->GetWindowHandle()) != FALSE;
    // The append moves the view to the new line; no frame of that may show.
    if (place.Redraw) Control->Perform(WM_SETREDRAW, FALSE, 0);
    return place;
}

void TKVRichEdit::RestorePlace(TPlace& place) {
    Control->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&place.Selection));
    Control->Perform(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&place.Scroll));
    if (!place.Redraw) return;
    Control->Perform(WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Control->GetWindowHandle(), nullptr, FALSE);
}

// One log line: room made for it, caret, colour and style of the selection, then the text with its
// separator. The format does not move the selection, and after the replacement the caret is at the end
// of the new text, which for AddMode 0 is the end of the log; a reader who is not following gets the
// selection and the view back. A line the control refuses is taken out again, half the log goes, and
// it is added again.
void TKVRichEdit::Add(TData& data) {
    if (Control == nullptr) return;
    const std::string text = ReadString(data, pinStr, "");
    const int32_t color = ReadInteger(data, pinColor, 0);
    const auto style = static_cast<uint8_t>(ReadInteger(data, pinStyle, 0));
    TLogSize size = Size();
    const bool follow = Following(size);
    const bool separate = NewLine != 0 || size.Chars == 0;
    size =
        MakeRoom(size, Breaks(text) + (separate ? 1 : 0), ControlChars(text) + (separate ? 1 : 0), !follow);

    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    cf.crTextColor = Color2RGB(static_cast<uint32_t>(color));
    cf.dwEffects = ((style & kFontBold) != 0 ? CFE_BOLD : 0) | ((style & kFontItalic) != 0 ? CFE_ITALIC : 0) |
                   ((style & kFontUnderline) != 0 ? CFE_UNDERLINE : 0);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string line = text;
        if (size.Chars != 0 && NewLine != 0)
            line = AddMode == 0 ? std::string(kCrLf) + text : text + std::string(kCrLf);
        TPlace place;
        if (!follow) place = SavePlace();
        // A length counting CR LF as two characters is past the end; the control stops there.
        const int32_t at = AddMode == 0 ? size.CrLf : 0;
        SetSelection(at, at);
        Control->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        const int32_t before = size.Chars;
        Control->TextRefused = 0;
        writing_ = true;
        ReplaceSelection(line);
        writing_ = false;
        // The one question an append asks: did the control take the whole line.
        const int32_t after = TextLength(false);
        const int32_t grown = after - before;
        const bool added = Control->TextRefused == 0 && (grown > 0 || line.empty());
        if (added && sizeKnown_ && grown == ControlChars(line)) {
            known_.Lines = after == 0 ? 0 : size.Lines + Breaks(line) + (size.Chars == 0 ? 1 : 0);
            known_.Chars = after;
            known_.CrLf = after == 0 ? 0 : after + known_.Lines - 1;
        } else {
            sizeKnown_ = false;
        }

        const int32_t start = AddMode == 0 ? before : 0;
        if (!added && grown > 0) {
            SetSelection(start, start + grown);
            ReplaceSelection("", false);
        }
        if (!follow) {
            // A line inserted at the top moves what the reader holds down by its length and height.
            if (added && AddMode != 0) {
                place.Selection.cpMin += grown;
                place.Selection.cpMax += grown;
                POINTL first{}, kept{};
                Control->Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
                Control->Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&kept), grown);
                place.Scroll.y += kept.y - first.y;
            }
            RestorePlace(place);
        }
        if (added) return;
        size = Size();
        if (size.Lines == 0) {
            Control->Perform(EM_EXLIMITTEXT, 0, kRichEditTextLimit);
        } else {
            Trim(std::max(1, size.Lines / 2), size, !follow);
            size = Size();
        }
    }
}

void TKVRichEdit::ClearAll(TData& /*data*/) {
    if (Control == nullptr) return;
    sizeKnown_ = false;
    // Nothing of the old text is kept for undo: the memory it took goes back.
    SetSelection(0, -1);
    ReplaceSelection("", false);
    Control->Perform(EM_EMPTYUNDOBUFFER, 0, 0);
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
    sizeKnown_ = false;
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
    if (!writing_) sizeKnown_ = false;
    // The whole text is read only for a listener: a long log would pay for it on every line.
    if (evChange.Connected() && Control != nullptr) EmitStr(evChange, Control->GetCaption());
}

void TKVRichEdit::OnLink(TObj* /*sender*/) {
    if (Control != nullptr) EmitStr(evLink, Control->LinkText);
}
