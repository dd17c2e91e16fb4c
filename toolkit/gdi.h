// Drawing: the system-colour rule, graphic tools (font, brush, pen), the canvas and the bitmap.
// Windows only.
//
// A tool makes its GDI object when first asked and keeps it; a child control's tool is a copy of its
// parent's and hands out the parent's handle while their data are equal, so a form full of controls
// holds one font and one brush. A change of the desktop colours is noticed lazily: the handle is
// remade when it is next asked for and the resolved colour differs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "toolkit/method.h"
#include "toolkit/obj.h"

class TControl;

// windows.h maps this name to its W function; here it is the canvas operation.
#undef TextOut

// A colour with the high bit set is system colour (value & 0xFF), resolved with GetSysColor; any
// other value is 0x00BBGGRR as it is.
COLORREF Color2RGB(uint32_t color);
// System colour index (a COLOR_ constant) as a colour: the toolkit's defaults carry only the marking
// bit, the scheme's colours (SchemeSysColor) the whole top byte; both resolve alike.
constexpr uint32_t SysColor(int index) {
    return 0x80000000u | static_cast<uint32_t>(index);
}
constexpr uint32_t SchemeSysColor(int index) {
    return 0xFF000000u | static_cast<uint32_t>(index);
}

// Font style bits, as fonts and the components' font records carry them.
inline constexpr uint8_t kFontBold = 1;
inline constexpr uint8_t kFontItalic = 2;
inline constexpr uint8_t kFontUnderline = 4;
inline constexpr uint8_t kFontStrikeOut = 8;

// The program's texts are code page 1251: a font must draw its Cyrillic letters on any system
// language. Makes the font the record asks for and, when its glyphs lack them (a raster face made
// for another code page, which gets no font fallback), asks again for the Cyrillic character set and
// then for faces that have them. Window thread only.
HFONT CreateTextFont(LOGFONTW lf);
// Whether the font selected into dc draws every character of text with a glyph of its own.
bool FontCovers(HDC dc, std::wstring_view text);

enum TGraphicToolKind : uint8_t { gtkFont = 1, gtkBrush = 2, gtkPen = 3 };

// Font data as the platform's font record has them, the face name in 1251.
struct TFontData {
    int32_t Height;
    int32_t Width;
    int32_t Escapement;
    int32_t Orientation;
    int32_t Weight;
    uint8_t Italic;
    uint8_t Underline;
    uint8_t StrikeOut;
    uint8_t CharSet;
    uint8_t OutPrecision;
    uint8_t ClipPrecision;
    uint8_t Quality;
    uint8_t PitchAndFamily;
    char FaceName[32];  // zero-terminated, at most 31 characters
};

struct TBrushData {
    int32_t Style;  // 0 solid; non-zero: hollow (BS_NULL)
    int32_t Hatch;
};

struct TPenData {
    int32_t Style;  // PS_ value
    int32_t Width;
    int32_t Mode;  // SetROP2 takes Mode + 1 (0: R2_COPYPEN - 1 ... here 12 = R2_COPYPEN)
};

// Colour and kind data: compared and copied as one block.
struct TToolData {
    uint32_t Color;
    union {
        TFontData Font;
        TBrushData Brush;
        TPenData Pen;
    };
};

class TGraphicTool : public TObj {
public:
    uint8_t Kind = 0;
    HGDIOBJ Handle = nullptr;
    TGraphicTool* Source = nullptr;  // the tool this one copies (held: see Assign)
    TOnEvent OnChange;               // called with the tool as sender when its data change
    COLORREF ColorRGB = 0;
    TToolData Data{};

    explicit TGraphicTool(uint8_t kind);

    // The GDI object: remade when the resolved colour changed; the source's while the data are equal.
    HGDIOBJ GetHandle();
    // Forgets and deletes the handle (telling OnChange first so a holder can deselect it), then
    // OnChange.
    void Changed();
    // A new tool of the same kind with the same data.
    TGraphicTool* Clone() const;

    uint32_t Color() const { return Data.Color; }
    void SetColor(uint32_t c);

    // Font
    std::string_view FontName() const;
    void SetFontName(std::string_view name);  // cut to 31 characters
    void SetFontStyle(uint8_t bits);          // kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut
    uint8_t GetFontStyle() const;
    void SetFontHeight(int32_t h);
    void SetFontWidth(int32_t w);
    void SetFontWeight(int32_t w);
    void SetCharset(uint8_t c);
    void SetPitch(uint8_t p);
    void SetFontQuality(uint8_t q);
    void SetFontOrientation(int32_t o);  // escapement and orientation, tenths of a degree

    // Brush and pen
    void SetBrushStyle(int32_t s);
    void SetPenStyle(int32_t s);
    void SetPenWidth(int32_t w);
    void SetPenMode(int32_t m);

protected:
    ~TGraphicTool() override;

private:
    HGDIOBJ MakeHandle() const;
    void SetData(const TToolData& d);
};

TGraphicTool* NewFont();
TGraphicTool* NewBrush();
TGraphicTool* NewPen();
// source null: frees dest, returns null. dest null: a clone of source. Otherwise dest takes source's
// data (nothing when they are the same tool or share a handle). Returns dest.
TGraphicTool* Assign(TGraphicTool* dest, TGraphicTool* source);

// Canvas state bits and RequiredState flags.
constexpr uint32_t csHandleValid = 1;
constexpr uint32_t csPenValid = 2;
constexpr uint32_t csBrushValid = 4;
constexpr uint32_t csFontValid = 8;
constexpr uint32_t csCallOnChange = 0x10;

class TCanvas : public TObj {
public:
    HDC Handle = nullptr;
    TControl* Owner = nullptr;
    uint32_t State = 0;
    TGraphicTool* Font = nullptr;  // owned (copies of the owner's for a control canvas)
    TGraphicTool* Brush = nullptr;
    TGraphicTool* Pen = nullptr;
    POINT PenPos{};
    DWORD CopyMode = SRCCOPY;
    TMethod<HDC(TCanvas* canvas)> OnGetHandle;
    TOnEvent OnChange;

    // Releases the held DC (unless it is the owner's paint DC) after putting stock objects back;
    // then takes dc.
    void SetHandle(HDC dc);
    // Makes sure of the DC and selects what flags ask for; the DC, or null when none can be had.
    HDC RequiredState(uint32_t flags);
    // Width and height of text in the canvas font; measured on a memory DC when no DC can be had.
    SIZE TextExtent(std::string_view text);
    void TextOut(int32_t x, int32_t y, std::string_view text);
    void FillRect(const RECT& r);
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    // Drops the selections so a changed tool is selected again (the tools' OnChange).
    void Deselect();

    TGraphicTool* GetFont();
    TGraphicTool* GetBrush();
    TGraphicTool* GetPen();

protected:
    ~TCanvas() override;
};

TCanvas* NewCanvas(HDC dc = nullptr);
// The control's canvas, as GetCanvas makes it.
TCanvas* NewControlCanvas(TControl* owner);

// A global hook that may adjust TextExtent's result.
extern void (*TextExtentHook)(TCanvas* canvas, std::string_view text, SIZE& size);

class TBitmap : public TObj {
public:
    int32_t Width = 0;
    int32_t Height = 0;
    HBITMAP Handle = nullptr;         // owned
    void* DIBBits = nullptr;          // owned (malloc'd)
    BITMAPINFO* DIBHeader = nullptr;  // owned (malloc'd)

    bool Empty() const;
    void Draw(HDC dc, int32_t x, int32_t y);

protected:
    ~TBitmap() override;
};

TBitmap* NewBitmap(int32_t w, int32_t h);
