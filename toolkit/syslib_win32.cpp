#include "toolkit/syslib.h"

#include <string>

void UseSystemLibrarySearch() {
    // Found at run time: systems before the loader update that brought it lack the call.
    using TSetDefault = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto set = kernel == nullptr ? nullptr
                                 : reinterpret_cast<TSetDefault>(reinterpret_cast<void*>(
                                       GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without it, at least the current folder leaves the search.
    SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE m = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (m != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return m;
    // A loader without the flag: the full path in the system directory.
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(dir, n) + L"\\" + name).c_str());
}
