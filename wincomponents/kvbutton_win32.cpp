#include "wincomponents/kvbutton.h"

#include "toolkit/navigation.h"
#include "toolkit/stdctrls.h"

void TKVButton::InitControl() {
    Control = NewButton(ParentControl, Caption);
    if (Control == nullptr) return;
    Control->OnClick = MakeMethod<&TKVButton::OnClick>(this);
    SetDefaultButton(Control, VK_RETURN, Default != 0);
    Control->SetStyle(Control->Style | BS_MULTILINE);
    TKVWin::InitControl();
}

void TKVButton::OnClick(TObj* /*sender*/) {
    EmitCopy(evClick, Data);
}
