#include "wincomponents/kvled.h"

#include <cmath>

#include "toolkit/dpi.h"
#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"

namespace {

constexpr int32_t kLampSize = 40;  // before the properties apply
constexpr COLORREF kShadow = 0x808080;
constexpr COLORREF kWhite = 0xFFFFFF;

}  // namespace

TKVLED::~TKVLED() {
    DeletePens();
    for (HGDIOBJ* o : {&OnBrush, &OffBrush}) {
        if (*o != nullptr) DeleteObject(*o);
        *o = nullptr;
    }
}

void TKVLED::InitControl() {
    Control = NewLabel(ParentControl, "");
    if (Control == nullptr) return;
    Control->SetSize(kLampSize, kLampSize);
    TKVWin::InitControl();
    MakePens();
    Control->SetOnPaint(MakeMethod<&TKVLED::OnPaint>(this));
    Control->OnClick = MakeMethod<&TKVLED::OnClick>(this);
    SetAccessibleName(Control, StateName());
}

// A rim of one pixel at 96 dpi is two at 192: the lamp looks the same at every scale.
void TKVLED::MakePens() {
    const int thin = ScaleToDpi(1, Dpi), wide = ScaleToDpi(2, Dpi);
    ShadowPen = CreatePen(PS_SOLID, thin, kShadow);
    HighlightPen = CreatePen(PS_SOLID, thin, kWhite);
    // The brushes, made the first time, keep their size-free colours.
    if (OnBrush == nullptr) OnBrush = CreateSolidBrush(Color2RGB(OnColor));
    if (OffBrush == nullptr) OffBrush = CreateSolidBrush(Color2RGB(OffColor));
    DarkPen = CreatePen(PS_SOLID, thin, Color2RGB(OffColor));
    LightPen = CreatePen(PS_SOLID, thin, Color2RGB(LightColor));
    WideWhitePen = CreatePen(PS_SOLID, wide, kWhite);
    WideOnPen = CreatePen(PS_SOLID, wide, Color2RGB(OnColor));
}

void TKVLED::DeletePens() {
    for (HGDIOBJ* o : {&ShadowPen, &HighlightPen, &DarkPen, &LightPen, &WideWhitePen, &WideOnPen}) {
        if (*o != nullptr) DeleteObject(*o);
        *o = nullptr;
    }
}

void TKVLED::ScaleTo(int32_t dpi) {
    TKVWin::ScaleTo(dpi);
    if (Control == nullptr) return;
    DeletePens();
    MakePens();
    Control->Invalidate();
}

std::string TKVLED::StateName() const {
    const std::string& words = State != 0 ? OnText : OffText;
    if (Hint.empty() || words.empty()) return Hint + words;
    return Hint + ": " + words;
}

void TKVLED::StateChanged() {
    if (Control == nullptr) return;
    SetAccessibleName(Control, StateName());
    Control->Invalidate();
}

void TKVLED::actOn(TData& data, uint16_t /*index*/) {
    if (State != 0) return;
    State = 1;
    StateChanged();
    ForwardInteger(data, evState, 1);
}

void TKVLED::actOff(TData& data, uint16_t /*index*/) {
    if (State == 0) return;
    State = 0;
    StateChanged();
    ForwardInteger(data, evState, 0);
}

void TKVLED::Resized() {
    if (Control != nullptr) Control->Invalidate();
    TKVWin::Resized();
}

void TKVLED::OnPaint(TControl* sender, HDC dc) {
    const RECT r = sender->ClientRect();
    // Outside the lamp the control's background shows, which it shares with its parent.
    FillRect(dc, &r, sender->BackgroundBrush());
    Paint(dc, r);
}

void TKVLED::OnClick(TObj* /*sender*/) {
    EmitNull(evClick);
}

namespace {

// The glints' factors, in extended precision where the platform has it, rounded half to even.
constexpr long double kOuterGlint = 0.52L;
constexpr long double kInnerGlint = 0.24L;

int32_t Scaled(int32_t length, long double factor) {
    return static_cast<int32_t>(std::nearbyint(static_cast<long double>(length) * factor));
}

}  // namespace

void TKVLED::Paint(HDC dc, RECT r) const {
    HRGN region =
        Shape == 0 ? CreateEllipticRgnIndirect(&r) : CreateRectRgn(r.left, r.top, r.right, r.bottom);
    if (region != nullptr) {
        FillRgn(dc, region, static_cast<HBRUSH>(State != 0 ? OnBrush : OffBrush));
        DeleteObject(region);
    }
    if (Bevel == 0 || Shape > 1) return;

    SelectObject(dc, ShadowPen);
    if (Shape == 0) {
        PaintRoundBevel(dc, r);
    } else {
        PaintSquareBevel(dc, r);
    }
}

// The round lamp's bevel: shadow and highlight arcs, the lit lamp's inner arc, then two glints.
void TKVLED::PaintRoundBevel(HDC dc, RECT r) const {
    int32_t L = r.left, T = r.top, R = r.right, B = r.bottom;
    HGDIOBJ penA = State != 0 ? LightPen : DarkPen;
    HGDIOBJ penB = State != 0 ? WideWhitePen : WideOnPen;
    int32_t dx = (R - L) / 8, dy = (B - T) / 8;
    Arc(dc, L, T, R, B, R, T, L, B);
    SelectObject(dc, HighlightPen);
    Arc(dc, L, T, R, B, L, B, R, T);
    if (State != 0) {
        SelectObject(dc, DarkPen);
        Arc(dc, L + 1, T + 1, R - 1, B - 1, L + dx - 1, B - 1, R - 1, T + dy - 1);
    }
    L = R / 5;
    R -= L;
    T = B / 5;
    B -= T;
    SelectObject(dc, penA);
    dx = Scaled(R - L, kOuterGlint);
    dy = Scaled(B - T, kOuterGlint);
    Arc(dc, L, T, R, B, L + dx, T, L, T + dy);
    SelectObject(dc, penB);
    dx = Scaled(R - L, kInnerGlint);
    dy = Scaled(B - T, kInnerGlint);
    Arc(dc, L, T, R, B, L + dx, T, L, T + dy);
}

// The square lamp's bevel: the same parts in lines.
void TKVLED::PaintSquareBevel(HDC dc, RECT r) const {
    int32_t L = r.left, T = r.top, R = r.right, B = r.bottom;
    HGDIOBJ penA = State != 0 ? LightPen : DarkPen;
    HGDIOBJ penB = State != 0 ? WideWhitePen : WideOnPen;
    MoveToEx(dc, L, B, nullptr);
    LineTo(dc, L, T);
    LineTo(dc, R, T);
    SelectObject(dc, HighlightPen);
    MoveToEx(dc, R - 1, T, nullptr);
    LineTo(dc, R - 1, B - 1);
    LineTo(dc, L, B - 1);
    if (State != 0) {
        SelectObject(dc, DarkPen);
        MoveToEx(dc, R - 2, T + 1, nullptr);
        LineTo(dc, R - 2, B - 2);
        LineTo(dc, L, B - 2);
    }
    L = R / 12;
    R -= L;
    T = B / 8;
    B -= T;
    SelectObject(dc, penA);
    MoveToEx(dc, L + 1, B - 2, nullptr);
    LineTo(dc, L + 1, T + 1);
    LineTo(dc, L + (R - L) / 3, T + 1);
    SelectObject(dc, penB);
    MoveToEx(dc, L + 1, T + 2, nullptr);
    LineTo(dc, L + 1, T + 1);
    LineTo(dc, L + 2, T + 1);
    LineTo(dc, L + 1, T + 2);
}
