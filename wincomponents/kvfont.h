// The font description every window component and the hint manager carry, and the one rule that
// turns its point size into a font height for the screen.
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

// The negative character height of a size in points at the screen's vertical dpi, read once per
// process: size 8 at 96 dpi gives -11.
int32_t FontHeight(int32_t size);
// The same rule at a given dpi.
constexpr int32_t FontHeightAt(int32_t size, int32_t dpi) {
    return (size * dpi + 36) / -72;
}
