#include "wincomponents/kvwinlist.h"

#include <richedit.h>

#include <cstdlib>
#include <vector>

#include "toolkit/wintext.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

TKVWinList::~TKVWinList() {
    std::free(MemoryBlock);
    TObj::Free(Strings);
}

int32_t TKVWinList::LineCount() {
    return Control != nullptr ? static_cast<int32_t>(Control->Perform(EM_GETLINECOUNT, 0, 0)) : 0;
}

std::string TKVWinList::Line(int32_t index) {
    if (Control == nullptr) return {};
    const LRESULT start = Control->Perform(EM_LINEINDEX, index, 0);
    if (start < 0) return {};
    const auto length = static_cast<size_t>(Control->Perform(EM_LINELENGTH, start, 0));
    // EM_GETLINE takes the buffer's size in its first word and may write no terminator.
    std::vector<wchar_t> buffer(length + 2, 0);
    buffer[0] = static_cast<wchar_t>(length + 1);
    const auto got =
        static_cast<size_t>(Control->Perform(EM_GETLINE, index, reinterpret_cast<LPARAM>(buffer.data())));
    return FromWide(std::wstring_view(buffer.data(), got < length ? got : length));
}

void TKVWinList::Replace(int32_t start, int32_t end, std::string_view text) {
    Control->Perform(EM_SETSEL, start, end);
    SendText(Control->GetWindowHandle(), EM_REPLACESEL, TRUE, text);
}

void TKVWinList::SyncStrings() {
    if (Strings == nullptr) return;
    const int32_t n = LineCount();
    for (int32_t i = 0; i < n; ++i)
        Strings->Add(Line(i));
}

void TKVWinList::BeginUpdate() {
    if (Control == nullptr) return;
    if (Control->Visible != 0) Control->Perform(WM_SETREDRAW, FALSE, 0);
    Control->SetCaption("");
}

void TKVWinList::EndUpdate() {
    if (Control == nullptr || Control->Visible == 0) return;
    Control->Perform(WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Control->GetWindowHandle(), nullptr, FALSE);
}

int32_t TKVWinList::AddString(std::string_view text) {
    if (Control == nullptr) return -1;
    const int32_t n = LineCount();
    const bool empty = Control->Perform(WM_GETTEXTLENGTH, 0, 0) == 0;
    Replace(-1, -1, empty ? std::string(text) : std::string(kCrLf) + std::string(text));
    return empty ? 0 : n;
}

void TKVWinList::SelectIndex(int32_t index) {
    if (Control == nullptr) return;
    if (index < 0 || index >= LineCount()) {
        Control->Perform(EM_SETSEL, static_cast<WPARAM>(-1), 0);
        return;
    }
    const LRESULT start = Control->Perform(EM_LINEINDEX, index, 0);
    Control->Perform(EM_SETSEL, start, start + Control->Perform(EM_LINELENGTH, start, 0));
}

void TKVWinList::SetLine(TData& index, TData& text) {
    const int32_t i = ToIndex(index);
    if (Control == nullptr || i < 0 || i >= LineCount()) return;
    const auto start = static_cast<int32_t>(Control->Perform(EM_LINEINDEX, i, 0));
    Replace(start, start + static_cast<int32_t>(Control->Perform(EM_LINELENGTH, start, 0)), ToString(text));
}

void TKVWinList::ClearAll(TData& data) {
    if (Control != nullptr) Control->SetCaption("");
    ForwardNull(data, evChange);
}

void TKVWinList::GetAllText(TData& data) {
    Strings = NewObj<TStrList>();
    std::string all;
    if (Strings != nullptr) {
        SyncStrings();
        for (int32_t i = 0; i < Strings->Count; ++i) {
            all += Strings->Get(i);
            all += kCrLf;
        }
        if (Strings->Count > 0 && Strings->Get(Strings->Count - 1)[0] != 0)
            all.resize(all.size() - kCrLf.size());
        TObj::Free(Strings);
        Strings = nullptr;
    }
    SetString(data, std::move(all));
}

void TKVWinList::Add(TData& data) {
    const std::string text = ReadString(data, pinStr, "");
    if (AddMode == 0 || Control == nullptr || Control->Perform(WM_GETTEXTLENGTH, 0, 0) == 0) {
        AddString(text);
    } else {
        Replace(0, 0, text + std::string(kCrLf));
    }
}

void TKVEWinList::SetAllText(std::string_view text) {
    if (Control == nullptr) return;
    BeginUpdate();
    SendText(Control->GetWindowHandle(), WM_SETTEXT, 0, text);
    EndUpdate();
}
