// Helpers shared by the Windows tests and measuring programs. Windows only.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>

// Milliseconds on the performance counter: whole-millisecond clocks are too coarse for tick errors.
inline double NowMs() {
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Switches echo replies off or on in the private network namespace the program runs in, through
// Wine's view of the Unix file system. False when the switch cannot be written.
inline bool SetSilent(bool silent) {
    HANDLE f = CreateFileW(L"Z:\\proc\\sys\\net\\ipv4\\icmp_echo_ignore_all", GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, silent ? "1\n" : "0\n", 2, &written, nullptr) && written == 2;
    CloseHandle(f);
    return ok;
}

// True when run_in_netns.sh started the program inside its private network namespace.
inline bool InPrivateNamespace() {
    const char* flag = std::getenv("ECHOMETER_NETNS");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

// A message-only window of this thread with its own procedure: a target for sent and posted
// messages that the thread's waits must keep answering. Null when it cannot be made.
inline HWND MakeMessageWindow(const wchar_t* className, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    // A second window of the same class finds it registered already.
    if (RegisterClassW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}
