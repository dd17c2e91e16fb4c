#include "toolkit/dpi.h"

namespace {

// Found in user32 at run time: its import stays the same on every Windows.
template <class T>
T UserProc(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user == nullptr ? nullptr
                           : reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(user, name)));
}

int32_t SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int32_t dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int32_t WindowDpi(HWND window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = UserProc<TGetDpiForWindow>("GetDpiForWindow");
    if (window != nullptr && forWindow != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi != 0) return static_cast<int32_t>(dpi);
    }
    return SystemDpi();
}

int32_t SystemMetricAt(int index, int32_t dpi) {
    using TMetricForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = UserProc<TMetricForDpi>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) return forDpi(index, static_cast<UINT>(dpi));
    // Before Windows 10 the metrics are the system dpi's; scaled from there for another display.
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

void AdjustWindowRectAt(RECT& r, DWORD style, DWORD exStyle, int32_t dpi) {
    using TAdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto forDpi = UserProc<TAdjustForDpi>("AdjustWindowRectExForDpi");
    if (forDpi == nullptr || !forDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

bool SuggestedRect(WPARAM wParam, LPARAM lParam, RECT& out) {
    constexpr UINT kLeast = 24, kMost = 24 * kDesignDpi;  // 25 % to 2400 %
    const UINT dpi = LOWORD(wParam);
    if (dpi < kLeast || dpi > kMost || lParam == 0) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(lParam), &out, sizeof out,
                             &read) &&
           read == sizeof out;
}
