#include "toolkit/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/wintext.h"

COLORREF Color2RGB(uint32_t color) {
    if ((color & 0x80000000u) != 0) return GetSysColor(static_cast<int>(color & 0xFF));
    return color;
}

void (*TextExtentHook)(TCanvas* canvas, std::string_view text, SIZE& size) = nullptr;

// ---- Fonts that draw the program's letters

namespace {

// The letters of code page 1251's upper half.
constexpr std::wstring_view kCyrillic =
    L"\u0401\u0451\u0410\u0411\u0412\u0413\u0414\u0415\u0416\u0417\u0418\u0419\u041A\u041B\u041C\u041D"
    L"\u041E\u041F\u0420\u0421\u0422\u0423\u0424\u0425\u0426\u0427\u0428\u0429\u042A\u042B\u042C\u042D"
    L"\u042E\u042F\u0430\u0431\u0432\u0433\u0434\u0435\u0436\u0437\u0438\u0439\u043A\u043B\u043C\u043D"
    L"\u043E\u043F\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044A\u044B\u044C\u044D"
    L"\u044E\u044F";

// Tried in turn when the asked face lacks the letters: the shell's dialog face and the TrueType
// faces every Windows since 2000 installs with Cyrillic, whatever its language.
constexpr const wchar_t* kCoveringFaces[] = {L"MS Shell Dlg 2", L"Microsoft Sans Serif", L"Tahoma", L"Arial",
                                             L"Segoe UI"};

bool Covers(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    const bool ok = FontCovers(dc, kCyrillic);
    SelectObject(dc, old);
    return ok;
}

// What a face and character set were found to need, so that each is tried once per process.
struct TFontChoice {
    std::wstring Face;
    BYTE CharSet;
    std::wstring UseFace;
    BYTE UseCharSet;
};
std::vector<TFontChoice> fontChoices;

// Tool data are compared as one block: every record starts zeroed (the union's largest member) and
// is only ever copied whole, so the bytes a smaller member leaves are equal too.
bool SameData(const TToolData& a, const TToolData& b) {
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    return std::memcmp(&a, &b, sizeof(TToolData)) == 0;
}

}  // namespace

bool FontCovers(HDC dc, std::wstring_view text) {
    std::vector<WORD> glyphs(text.size());
    const DWORD n = GetGlyphIndicesW(dc, text.data(), static_cast<int>(text.size()), glyphs.data(),
                                     GGI_MARK_NONEXISTING_GLYPHS);
    // A font the call cannot read (some raster faces) is judged by its character set.
    if (n == GDI_ERROR) return GetTextCharset(dc) == RUSSIAN_CHARSET;
    return std::ranges::find(glyphs, WORD{0xFFFF}) == glyphs.end();
}

HFONT CreateTextFont(LOGFONTW lf) {
    const std::wstring face = lf.lfFaceName;
    for (const TFontChoice& c : fontChoices) {
        if (c.Face != face || c.CharSet != lf.lfCharSet) continue;
        wcsncpy(lf.lfFaceName, c.UseFace.c_str(), LF_FACESIZE - 1);
        lf.lfCharSet = c.UseCharSet;
        return CreateFontIndirectW(&lf);
    }
    HFONT asked = CreateFontIndirectW(&lf);
    HDC dc = asked != nullptr ? CreateCompatibleDC(nullptr) : nullptr;
    if (dc == nullptr) return asked;
    TFontChoice choice{face, lf.lfCharSet, face, lf.lfCharSet};
    HFONT made = asked;
    if (!Covers(dc, asked)) {
        LOGFONTW tried = lf;
        tried.lfCharSet = RUSSIAN_CHARSET;
        for (size_t i = 0; i <= std::size(kCoveringFaces); ++i) {
            if (i > 0) wcsncpy(tried.lfFaceName, kCoveringFaces[i - 1], LF_FACESIZE - 1);
            HFONT f = CreateFontIndirectW(&tried);
            if (f != nullptr && Covers(dc, f)) {
                made = f;
                choice.UseFace = tried.lfFaceName;
                choice.UseCharSet = tried.lfCharSet;
                break;
            }
            if (f != nullptr) DeleteObject(f);
        }
        if (made != asked) DeleteObject(asked);
    }
    DeleteDC(dc);
    fontChoices.push_back(std::move(choice));
    return made;
}

// ---- TGraphicTool

TGraphicTool::TGraphicTool(uint8_t kind) : Kind(kind) {
    switch (kind) {
        case gtkFont:
            Data.Color = SysColor(COLOR_WINDOWTEXT);
            Data.Font.CharSet = DEFAULT_CHARSET;
            std::memcpy(Data.Font.FaceName, "MS Sans Serif", sizeof("MS Sans Serif"));
            break;
        case gtkBrush:
            Data.Color = SysColor(COLOR_BTNFACE);
            break;
        default:
            Data.Color = 0;
            Data.Pen.Style = PS_SOLID;
            Data.Pen.Width = 1;
            Data.Pen.Mode = R2_COPYPEN - 1;
            break;
    }
}

TGraphicTool::~TGraphicTool() {
    if (Handle != nullptr) DeleteObject(Handle);
    if (Source != nullptr) Source->ReleaseRef();
}

HGDIOBJ TGraphicTool::MakeHandle() const {
    switch (Kind) {
        case gtkFont: {
            LOGFONTW lf{};
            const TFontData& f = Data.Font;
            lf.lfHeight = f.Height;
            lf.lfWidth = f.Width;
            lf.lfEscapement = f.Escapement;
            lf.lfOrientation = f.Orientation;
            lf.lfWeight = f.Weight;
            lf.lfItalic = f.Italic;
            lf.lfUnderline = f.Underline;
            lf.lfStrikeOut = f.StrikeOut;
            lf.lfCharSet = f.CharSet;
            lf.lfOutPrecision = f.OutPrecision;
            lf.lfClipPrecision = f.ClipPrecision;
            lf.lfQuality = f.Quality;
            lf.lfPitchAndFamily = f.PitchAndFamily;
            const std::wstring face = ToWide(FontName());
            std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
            return CreateTextFont(lf);
        }
        case gtkBrush: {
            LOGBRUSH lb{};
            lb.lbStyle = Data.Brush.Style == 0 ? BS_SOLID : BS_NULL;
            lb.lbColor = ColorRGB;
            lb.lbHatch = static_cast<ULONG_PTR>(Data.Brush.Hatch);
            return CreateBrushIndirect(&lb);
        }
        default:
            return CreatePen(Data.Pen.Style, Data.Pen.Width, ColorRGB);
    }
}

HGDIOBJ TGraphicTool::GetHandle() {
    if (Handle != nullptr && Color2RGB(Data.Color) != ColorRGB) {
        // The desktop colours changed since the handle was made.
        HGDIOBJ old = Handle;
        Handle = nullptr;
        OnChange(this);
        DeleteObject(old);
    }
    if (Handle == nullptr) {
        if (Source != nullptr && SameData(Source->Data, Data)) return Source->GetHandle();
        ColorRGB = Color2RGB(Data.Color);
        Handle = MakeHandle();
    }
    return Handle;
}

void TGraphicTool::Changed() {
    if (Handle != nullptr) {
        HGDIOBJ old = Handle;
        Handle = nullptr;
        // First so that whoever holds the old handle selected lets go of it before it is deleted.
        OnChange(this);
        DeleteObject(old);
    }
    OnChange(this);
}

void TGraphicTool::SetData(const TToolData& d) {
    if (SameData(d, Data)) return;
    Data = d;
    Changed();
}

TGraphicTool* TGraphicTool::Clone() const {
    auto* t = NewObj<TGraphicTool>(Kind);
    if (t == nullptr) return nullptr;
    t->Data = Data;
    // Held, so the copy can hand out the source's handle for as long as the copy lives.
    t->Source = const_cast<TGraphicTool*>(this);
    t->Source->AddRef();
    return t;
}

void TGraphicTool::SetColor(uint32_t c) {
    if (c != Data.Color) {
        TToolData d = Data;
        d.Color = c;
        SetData(d);
    }
    ColorRGB = Color2RGB(c);
}

std::string_view TGraphicTool::FontName() const {
    return {Data.Font.FaceName, strnlen(Data.Font.FaceName, sizeof(Data.Font.FaceName) - 1)};
}

void TGraphicTool::SetFontName(std::string_view name) {
    if (name.size() > sizeof(Data.Font.FaceName) - 1) name = name.substr(0, sizeof(Data.Font.FaceName) - 1);
    if (name == FontName()) return;
    TToolData d = Data;
    std::memset(d.Font.FaceName, 0, sizeof(d.Font.FaceName));
    std::memcpy(d.Font.FaceName, name.data(), name.size());
    SetData(d);
}

void TGraphicTool::SetFontStyle(uint8_t bits) {
    TToolData d = Data;
    if ((bits & kFontBold) != 0) {
        if (d.Font.Weight < FW_BOLD) d.Font.Weight = FW_BOLD;
    } else if (d.Font.Weight >= FW_BOLD) {
        d.Font.Weight = 0;
    }
    d.Font.Italic = (bits & kFontItalic) != 0 ? 1 : 0;
    d.Font.Underline = (bits & kFontUnderline) != 0 ? 1 : 0;
    d.Font.StrikeOut = (bits & kFontStrikeOut) != 0 ? 1 : 0;
    SetData(d);
}

uint8_t TGraphicTool::GetFontStyle() const {
    const TFontData& f = Data.Font;
    return static_cast<uint8_t>((f.Weight >= FW_BOLD ? 1 : 0) | (f.Italic != 0 ? 2 : 0) |
                                (f.Underline != 0 ? 4 : 0) | (f.StrikeOut != 0 ? 8 : 0));
}

#define EM_TOOL_SETTER(name, field, type) \
    void TGraphicTool::name(type v) {     \
        TToolData d = Data;               \
        d.field = v;                      \
        SetData(d);                       \
    }
EM_TOOL_SETTER(SetFontHeight, Font.Height, int32_t)
EM_TOOL_SETTER(SetFontWidth, Font.Width, int32_t)
EM_TOOL_SETTER(SetFontWeight, Font.Weight, int32_t)
EM_TOOL_SETTER(SetCharset, Font.CharSet, uint8_t)
EM_TOOL_SETTER(SetPitch, Font.PitchAndFamily, uint8_t)
EM_TOOL_SETTER(SetFontQuality, Font.Quality, uint8_t)
EM_TOOL_SETTER(SetBrushStyle, Brush.Style, int32_t)
EM_TOOL_SETTER(SetPenStyle, Pen.Style, int32_t)
EM_TOOL_SETTER(SetPenWidth, Pen.Width, int32_t)
EM_TOOL_SETTER(SetPenMode, Pen.Mode, int32_t)
#undef EM_TOOL_SETTER

void TGraphicTool::SetFontOrientation(int32_t o) {
    TToolData d = Data;
    d.Font.Escapement = o;
    d.Font.Orientation = o;
    SetData(d);
}

TGraphicTool* NewFont() {
    return NewObj<TGraphicTool>(gtkFont);
}
TGraphicTool* NewBrush() {
    return NewObj<TGraphicTool>(gtkBrush);
}
TGraphicTool* NewPen() {
    return NewObj<TGraphicTool>(gtkPen);
}

TGraphicTool* Assign(TGraphicTool* dest, TGraphicTool* source) {
    if (source == nullptr) {
        TObj::Free(dest);
        return nullptr;
    }
    if (dest == nullptr) return source->Clone();
    if (dest == source) return dest;
    if (dest->Handle != nullptr && dest->Handle == source->Handle) return dest;
    if (SameData(dest->Data, source->Data)) return dest;
    dest->Data = source->Data;
    dest->Changed();
    return dest;
}

// ---- TCanvas

namespace {

void CanvasToolChanged(void* canvas, TObj* /*tool*/) {
    static_cast<TCanvas*>(canvas)->Deselect();
}

}  // namespace

TCanvas::~TCanvas() {
    SetHandle(nullptr);
    TObj::Free(Font);
    TObj::Free(Brush);
    TObj::Free(Pen);
}

void TCanvas::Deselect() {
    if (Handle == nullptr || (State & (csPenValid | csBrushValid | csFontValid)) == 0) {
        State &= ~(csPenValid | csBrushValid | csFontValid);
        return;
    }
    SelectObject(Handle, GetStockObject(BLACK_PEN));
    SelectObject(Handle, GetStockObject(NULL_BRUSH));
    SelectObject(Handle, GetStockObject(SYSTEM_FONT));
    State &= ~(csPenValid | csBrushValid | csFontValid);
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == Handle) return;
    if (Handle != nullptr) {
        Deselect();
        const bool paintDC = Owner != nullptr && Owner->PaintDC == Handle;
        if (!paintDC) {
            if (Owner != nullptr) {
                ReleaseDC(Owner->Handle, Handle);
            } else {
                DeleteDC(Handle);
            }
        }
        Handle = nullptr;
    }
    State = 0;
    if (dc != nullptr) {
        Handle = dc;
        State = csHandleValid;
        MoveToEx(dc, PenPos.x, PenPos.y, nullptr);
    }
}

TGraphicTool* TCanvas::GetFont() {
    if (Font == nullptr) {
        Font = NewFont();
        if (Font != nullptr) Font->OnChange = TOnEvent{&CanvasToolChanged, this};
    }
    return Font;
}

TGraphicTool* TCanvas::GetBrush() {
    if (Brush == nullptr) {
        Brush = NewBrush();
        if (Brush != nullptr) Brush->OnChange = TOnEvent{&CanvasToolChanged, this};
    }
    return Brush;
}

TGraphicTool* TCanvas::GetPen() {
    if (Pen == nullptr) {
        Pen = NewPen();
        if (Pen != nullptr) Pen->OnChange = TOnEvent{&CanvasToolChanged, this};
    }
    return Pen;
}

HDC TCanvas::RequiredState(uint32_t flags) {
    if ((flags & csCallOnChange) != 0) OnChange(this);
    if ((flags & csHandleValid) != 0 && Handle == nullptr) {
        if (OnGetHandle) SetHandle(OnGetHandle(this));
        if (Handle == nullptr) return nullptr;
    }
    if (Handle == nullptr) return nullptr;
    uint32_t need = flags & ~State & (csPenValid | csBrushValid | csFontValid);
    if ((need & csFontValid) != 0) {
        if (Font != nullptr) {
            SelectObject(Handle, Font->GetHandle());
            ::SetTextColor(Handle, Color2RGB(Font->Color()));
        } else if (Owner != nullptr) {
            ::SetTextColor(Handle, Color2RGB(Owner->TextColor));
        }
    }
    if ((need & csPenValid) != 0 && Pen != nullptr) {
        SelectObject(Handle, Pen->GetHandle());
        SetROP2(Handle, Pen->Data.Pen.Mode + 1);
        const int style = Pen->Data.Pen.Style;
        if (style >= PS_DASH && style <= PS_DASHDOTDOT) need |= ~State & csBrushValid;
    }
    if ((need & csBrushValid) != 0) {
        if (Brush != nullptr) {
            SelectObject(Handle, Brush->GetHandle());
            const COLORREF c = Color2RGB(Brush->Color());
            if (Brush->Data.Brush.Style == 0) {
                SetBkColor(Handle, c);
                SetBkMode(Handle, OPAQUE);
            } else {
                SetBkColor(Handle, ~c & 0xFFFFFF);
                SetBkMode(Handle, TRANSPARENT);
            }
        } else if (Owner != nullptr) {
            SetBkColor(Handle, Color2RGB(Owner->Color));
        }
    }
    State |= need;
    return Handle;
}

SIZE TCanvas::TextExtent(std::string_view text) {
    SIZE size{};
    HDC dc = RequiredState(csHandleValid | csFontValid);
    HDC temp = nullptr;
    HGDIOBJ oldFont = nullptr;
    if (dc == nullptr) {
        temp = CreateCompatibleDC(nullptr);
        if (temp == nullptr) return size;
        dc = temp;
        TGraphicTool* font = Font != nullptr ? Font : (Owner != nullptr ? Owner->GetFont() : nullptr);
        if (font != nullptr) oldFont = SelectObject(dc, font->GetHandle());
    }
    const std::wstring w = ToWide(text);
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    if (temp != nullptr) {
        if (oldFont != nullptr) SelectObject(temp, oldFont);
        DeleteDC(temp);
    }
    if (TextExtentHook != nullptr) TextExtentHook(this, text, size);
    return size;
}

void TCanvas::TextOut(int32_t x, int32_t y, std::string_view text) {
    HDC dc = RequiredState(csHandleValid | csFontValid | csBrushValid);
    if (dc == nullptr) return;
    const std::wstring w = ToWide(text);
    ::TextOutW(dc, x, y, w.c_str(), static_cast<int>(w.size()));
}

void TCanvas::FillRect(const RECT& r) {
    HDC dc = RequiredState(csHandleValid | csBrushValid);
    if (dc == nullptr || Brush == nullptr) return;
    ::FillRect(dc, &r, static_cast<HBRUSH>(Brush->GetHandle()));
}

void TCanvas::MoveTo(int32_t x, int32_t y) {
    PenPos = {x, y};
    HDC dc = RequiredState(csHandleValid);
    if (dc != nullptr) MoveToEx(dc, x, y, nullptr);
}

void TCanvas::LineTo(int32_t x, int32_t y) {
    HDC dc = RequiredState(csHandleValid | csPenValid | csBrushValid);
    if (dc != nullptr) ::LineTo(dc, x, y);
    PenPos = {x, y};
}

TCanvas* NewCanvas(HDC dc) {
    auto* c = NewObj<TCanvas>();
    if (c != nullptr && dc != nullptr) c->SetHandle(dc);
    return c;
}

namespace {

HDC ControlCanvasDC(void* /*obj*/, TCanvas* canvas) {
    TControl* owner = canvas->Owner;
    if (owner == nullptr) return nullptr;
    if (owner->PaintDC != nullptr) return owner->PaintDC;
    HWND window = owner->GetWindowHandle();
    return window != nullptr ? GetDC(window) : nullptr;
}

}  // namespace

TCanvas* NewControlCanvas(TControl* owner) {
    auto* c = NewObj<TCanvas>();
    if (c == nullptr) return nullptr;
    c->Owner = owner;
    c->OnGetHandle = TMethod<HDC(TCanvas*)>{&ControlCanvasDC, nullptr};
    return c;
}

// ---- TBitmap

TBitmap::~TBitmap() {
    if (Handle != nullptr) DeleteObject(Handle);
    std::free(DIBBits);
    std::free(DIBHeader);
}

bool TBitmap::Empty() const {
    return (Handle == nullptr && DIBBits == nullptr) || Width == 0 || Height == 0;
}

void TBitmap::Draw(HDC dc, int32_t x, int32_t y) {
    if (Empty()) return;
    if (Handle == nullptr && DIBBits != nullptr && DIBHeader != nullptr) {
        const int h = std::abs(DIBHeader->bmiHeader.biHeight);
        if (StretchDIBits(dc, x, y, Width, h, 0, 0, Width, h, DIBBits, DIBHeader, DIB_RGB_COLORS, SRCCOPY) >
            0)
            return;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(nullptr, DIBHeader, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (section == nullptr) return;
        const size_t stride = ((static_cast<size_t>(Width) * DIBHeader->bmiHeader.biBitCount + 31) / 32) * 4;
        std::memcpy(bits, DIBBits, stride * static_cast<size_t>(h));
        Handle = section;
    }
    BITMAP info{};
    if (GetObjectW(Handle, sizeof(info), &info) == 0) return;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (mem == nullptr) return;
    HGDIOBJ old = SelectObject(mem, Handle);
    BitBlt(dc, x, y, Width, info.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

TBitmap* NewBitmap(int32_t w, int32_t h) {
    auto* b = NewObj<TBitmap>();
    if (b == nullptr) return nullptr;
    b->Width = w;
    b->Height = h;
    if (w != 0 && h != 0) {
        HDC screen = GetDC(nullptr);
        b->Handle = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
    }
    return b;
}
