#include "wincomponents/kvedit.h"

#include "toolkit/stdctrls.h"

void TKVEdit::InitControl() {
    const uint32_t options = (Password != 0 ? eoPassword : 0) | (ReadOnly != 0 ? eoReadonly : 0);
    Control = NewEditbox(ParentControl, options);
    if (Control == nullptr) return;
    SetTextAlign(Control, Alignment);
    TKVWin::InitControl();
    Control->Perform(EM_LIMITTEXT, static_cast<WPARAM>(MaxLength), 0);
    Control->OnChange = MakeMethod<&TKVEdit::OnChange>(this);
    // The change this makes is not reported; it only arms the outlet. Armed here as well, so that a
    // toolkit that sends no notification for an unchanged (empty) text still reports the next change.
    Control->SetCaption(Text);
    ChangeArmed = 1;
    TextCopy = Text;
}

bool TKVEdit::ReadText(TData& data) {
    SetString(data, Control != nullptr ? Control->GetCaption() : std::string());
    return true;
}

void TKVEdit::getText(TData& data, uint16_t /*index*/) {
    if (!TextSource(data)) SetNull(data);
}

void TKVEdit::actText(TData& data, uint16_t /*index*/) {
    if (Control == nullptr) return;
    DWORD start = 0;
    Control->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    Control->SetCaption(ReadString(data, pinText, ""));
    // A position past a shorter text ends up at its end.
    Control->Perform(EM_SETSEL, start, start);
}

void TKVEdit::KeyDown(int32_t& key) {
    if (key != VK_RETURN || !evEnter.Connected()) {
        TKVWin::KeyDown(key);
        return;
    }
    TData text;
    if (TextSource(text)) {
        Emit(evEnter, text);
        // Only a real clearing is kept from evChange: an edit that is empty already sends no change, and
        // disarming then would swallow the next one.
        if (ClearAfterEnter != 0 && Control != nullptr && !Control->GetCaption().empty()) {
            ChangeArmed = 0;
            Control->SetCaption("");
        }
    }
    key = 0;  // the edit never sees its Enter, and no evChar follows
}

void TKVEdit::OnChange(TObj* /*sender*/) {
    if (ChangeArmed != 0) {
        TData text;
        if (TextSource(text)) Emit(evChange, text);
    }
    ChangeArmed = 1;
}
