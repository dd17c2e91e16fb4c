#include "wincomponents/kvled.h"

#include <cmath>

#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"

namespace {

constexpr int32_t kLampSize = 40;  // before the properties apply
constexpr COLORREF kShadow = 0x808080;
constexpr COLORREF kWhite = 0xFFFFFF;

}  // namespace

TKVLED::~TKVLED() {
    for (HGDIOBJ* o :
         {&ShadowPen, &HighlightPen, &OnBrush, &OffBrush, &DarkPen, &LightPen, &WideWhitePen, &WideOnPen}) {
        if (*o != nullptr) DeleteObject(*o);
        *o = nullptr;
    }
}

void TKVLED::InitControl() {
    Control = NewLabel(ParentControl, "");
    if (Control == nullptr) return;
    Control->SetSize(kLampSize, kLampSize);
    TKVWin::InitControl();
    ShadowPen = CreatePen(PS_SOLID, 1, kShadow);
    HighlightPen = CreatePen(PS_SOLID, 1, kWhite);
    OnBrush = CreateSolidBrush(Color2RGB(OnColor));
    OffBrush = CreateSolidBrush(Color2RGB(OffColor));
    DarkPen = CreatePen(PS_SOLID, 1, Color2RGB(OffColor));
    LightPen = CreatePen(PS_SOLID, 1, Color2RGB(LightColor));
    WideWhitePen = CreatePen(PS_SOLID, 2, kWhite);
    WideOnPen = CreatePen(PS_SOLID, 2, Color2RGB(OnColor));
    Control->SetOnPaint(MakeMethod<&TKVLED::OnPaint>(this));
    Control->OnClick = MakeMethod<&TKVLED::OnClick>(this);
}

void TKVLED::actOn(TData& data, uint16_t /*index*/) {
    if (State != 0) return;
    State = 1;
    if (Control != nullptr) Control->Invalidate();
    ForwardInteger(data, evState, 1);
}

void TKVLED::actOff(TData& data, uint16_t /*index*/) {
    if (State == 0) return;
    State = 0;
    if (Control != nullptr) Control->Invalidate();
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
