// The font description every window component and the hint manager carry, and the one rule that
// turns its point size into a font height at a display's dpi.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/gdi.h"  // the style bits

struct TFontRec {
    std::string Name;
    uint8_t Size = 0;   // points
    uint8_t Style = 0;  // kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut
    uint32_t Color = 0;
    uint8_t CharSet = 0;
};

// The negative character height of a size in points at a dpi: size 8 at 96 dpi gives -11.
constexpr int32_t FontHeightAt(int32_t size, int32_t dpi) {
    return (size * dpi + 36) / -72;
}
