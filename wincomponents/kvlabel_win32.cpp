#include "wincomponents/kvlabel.h"

#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"

TKVLabel::TKVLabel(TControl* parent) : TKVWin(parent) {
    Control = NewLabel(parent, "");
    if (Control != nullptr) Control->OnClick = MakeMethod<&TKVLabel::OnClick>(this);
}

void TKVLabel::AutoSize(bool on) {
    if (Control != nullptr) SetAutoSize(Control, on);
}

void TKVLabel::Alignment(uint8_t align) {
    if (Control != nullptr) SetTextAlign(Control, align);
}

void TKVLabel::InitControl() {
    if (Control == nullptr) return;
    TKVWin::InitControl();
    Control->SetCaption(Caption);
    if (HoverColor != 0 || HoverUnderline != 0) {
        Control->SetOnMouseEnter(MakeMethod<&TKVLabel::OnHoverEnter>(this));
        Control->SetOnMouseLeave(MakeMethod<&TKVLabel::OnHoverLeave>(this));
    }
}

void TKVLabel::MouseEnter() {
    TKVWin::MouseEnter();
    if (Control == nullptr) return;
    TGraphicTool* font = Control->GetFont();
    if (font == nullptr) return;
    if (HoverColor != 0) font->SetColor(HoverColor);
    if (HoverUnderline != 0) font->SetFontStyle(font->GetFontStyle() | kFontUnderline);
}

void TKVLabel::MouseLeave() {
    TKVWin::MouseLeave();
    if (Control == nullptr) return;
    TGraphicTool* font = Control->GetFont();
    if (font == nullptr) return;
    if (HoverColor != 0) font->SetColor(Font.Color);
    if (HoverUnderline != 0) font->SetFontStyle(font->GetFontStyle() & ~kFontUnderline);
}

void TKVLabel::OnClick(TObj* /*sender*/) {
    EmitNull(evClick);
}

void TKVLabel::OnHoverEnter(TObj* /*sender*/) {
    MouseEnter();
}

void TKVLabel::OnHoverLeave(TObj* /*sender*/) {
    MouseLeave();
}
