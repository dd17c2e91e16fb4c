// The one text boundary between the program and Win32.
//
// Inside, every text is a code page 1251 byte string; Win32 is spoken to in UTF-16 through its W
// functions, so Russian texts read right whatever the system code page. Every text that goes to a
// window or comes from one passes through here, and nowhere else is a text converted.
//
// The conversions are portable (the host build tests them); the window helpers are Windows only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// 1251 bytes to UTF-16 code units (one unit per byte; every byte has one).
std::wstring ToWide(std::string_view text);
// UTF-16 to 1251: a character the code page lacks becomes '?'; a surrogate pair is one character.
std::string FromWide(std::wstring_view text);
// One character each way (a key's character message, a single 1251 byte).
wchar_t WideChar(char c);
char NarrowChar(wchar_t c);  // '?' when the code page lacks it

#ifdef _WIN32
#include <windows.h>

// The window's text, read with GetWindowTextLengthW and GetWindowTextW; empty for no window.
std::string GetWindowText1251(HWND window);
// SetWindowTextW; false when the window refused it or is no window.
bool SetWindowText1251(HWND window, std::string_view text);
// SendMessageW with a text as lParam (WM_SETTEXT, EM_REPLACESEL and the like).
LRESULT SendText(HWND window, UINT msg, WPARAM wParam, std::string_view text);
#endif
