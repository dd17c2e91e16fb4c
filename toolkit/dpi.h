// Display scale. The program is per-monitor dpi-aware (its manifest): every window is laid out for the
// dpi of the display it is on, from sizes designed at 96 dpi, so that the layout is the same on every
// display, only sharp. The calls that know a window's own dpi came with Windows 10; before, every
// window has the system's dpi. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

inline constexpr int32_t kDesignDpi = 96;

// A length designed at 96 dpi, at dpi: rounded half away from zero, as MulDiv does. Always scaled from
// the design value, never from an earlier result, so repeated changes of scale accumulate no rounding.
constexpr int32_t ScaleToDpi(int32_t length, int32_t dpi) {
    const int64_t scaled = int64_t{length} * dpi;
    return static_cast<int32_t>(scaled >= 0 ? (scaled + kDesignDpi / 2) / kDesignDpi
                                            : (scaled - kDesignDpi / 2) / kDesignDpi);
}

// The dpi a window is shown at (null: the system's).
int32_t WindowDpi(HWND window);
// A system metric (SM_CXSMICON and the like) at dpi.
int32_t SystemMetricAt(int index, int32_t dpi);
// The outer rectangle of a window whose client area is r, at dpi.
void AdjustWindowRectAt(RECT& r, DWORD style, DWORD exStyle, int32_t dpi);
// The rectangle WM_DPICHANGED suggests (lParam), read without trusting the pointer: any program can
// send the message. False when it cannot be read or its dpi (wParam) is not one a display has.
bool SuggestedRect(WPARAM wParam, LPARAM lParam, RECT& out);
