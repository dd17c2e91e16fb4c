// Helpers shared by the Windows tests and measuring programs. Windows only.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Milliseconds on the performance counter: whole-millisecond clocks are too coarse for tick errors.
inline double NowMs() {
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// This process's working set, in megabytes.
inline double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return -1;
    return static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
}

// Takes and handles this thread's messages for ms milliseconds (0: those waiting now), as the
// program's message loop does; a quit is posted again and ends it early.
inline void PumpFor(DWORD ms) {
    const double end = NowMs() + ms;
    for (;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                return;
            }
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        const double left = end - NowMs();
        if (left <= 0) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left) + 1, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

// Pumps until done() or ms milliseconds have passed; whether done() came true.
template <class F>
bool PumpUntil(F done, DWORD ms) {
    const double end = NowMs() + ms;
    while (!done()) {
        if (NowMs() > end) return false;
        PumpFor(5);
    }
    return true;
}

// The lowest free handle slot. Windows and Wine hand out the lowest free one, so it climbs when a
// handle leaked (the process's own handle count reads 0 under Wine).
inline uintptr_t HandleProbe() {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(e);
    return reinterpret_cast<uintptr_t>(e);
}

// Presses and releases vk through the system's input queue, with the modifiers held around it.
inline void TypeKey(WORD vk, std::initializer_list<WORD> modifiers = {}) {
    std::vector<INPUT> in;
    const auto key = [&](WORD k, DWORD flags) {
        in.push_back({INPUT_KEYBOARD, {.ki = {k, 0, flags, 0, 0}}});
    };
    for (WORD m : modifiers)
        key(m, 0);
    key(vk, 0);
    key(vk, KEYEVENTF_KEYUP);
    for (auto m = modifiers.end(); m != modifiers.begin();)
        key(*--m, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
