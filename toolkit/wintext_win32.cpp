#include "toolkit/wintext.h"

std::string GetWindowText1251(HWND window) {
    if (window == nullptr || !IsWindow(window)) return {};
    const int n = GetWindowTextLengthW(window);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, w.data(), n + 1);
    w.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return FromWide(w);
}

bool SetWindowText1251(HWND window, std::string_view text) {
    if (window == nullptr) return false;
    return SetWindowTextW(window, ToWide(text).c_str()) != FALSE;
}

LRESULT SendText(HWND window, UINT msg, WPARAM wParam, std::string_view text) {
    const std::wstring w = ToWide(text);
    return SendMessageW(window, msg, wParam, reinterpret_cast<LPARAM>(w.c_str()));
}
