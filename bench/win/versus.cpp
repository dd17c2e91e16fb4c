// The real program against the least program that does its job (bench/least), started and clicked
// as another process sees them, interleaved run by run so that drifts of the machine hit both alike:
//   start-up: from CreateProcess to the main window visible;
//   click to line: from the posted click on the first "GO" (the host edit's default, resolved each
//   time) to the log's text having grown.
// measure_versus RUNS PROGRAM LEAST prints medians, each beside the least program's, as ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/wintest.h"

namespace {

constexpr int kClicksPerRun = 5;
constexpr double kVisibleWithinMs = 10000;
constexpr double kLineWithinMs = 3000;
constexpr const wchar_t* kCaption = L"Эхометр 1.0";  // both programs' main window

struct TFound {
    DWORD pid;
    HWND window;
};

BOOL CALLBACK FindVisible(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<TFound*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t caption[32] = {};
    GetWindowTextW(w, caption, 32);
    RECT r{};
    GetWindowRect(w, &r);
    // The real program's application window has the same caption, but no size.
    if (pid != f->pid || !IsWindowVisible(w) || wcscmp(caption, kCaption) != 0 || r.right <= r.left)
        return TRUE;
    f->window = w;
    return FALSE;
}

struct TControls {
    HWND go = nullptr;  // the first row's "GO": the top-most one
    HWND log = nullptr;
};

BOOL CALLBACK FindControls(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<TControls*>(lp);
    wchar_t cls[64] = {}, text[16] = {};
    GetClassNameW(w, cls, 64);
    DWORD_PTR n = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &n);
    RECT r;
    GetWindowRect(w, &r);
    if (wcsstr(cls, L"RichEdit") != nullptr || wcsstr(cls, L"RICHEDIT") != nullptr) c->log = w;
    if (wcscmp(text, L"GO") == 0) {
        RECT best;
        if (c->go == nullptr || (GetWindowRect(c->go, &best), r.top < best.top)) c->go = w;
    }
    return TRUE;
}

LRESULT LengthOf(HWND w) {
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &n)) return -1;
    return static_cast<LRESULT>(n);
}

struct TRun {
    double startup = -1;
    std::vector<double> clicks;
};

// clicks: the program is clicked; a bare window is only started.
TRun RunOnce(const std::wstring& command, bool clicks = true) {
    TRun run;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = command;
    const double t0 = NowMs();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return run;
    TFound found{pi.dwProcessId, nullptr};
    while (found.window == nullptr && NowMs() - t0 < kVisibleWithinMs) {
        EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&found));
        if (found.window == nullptr) Sleep(1);
    }
    if (found.window != nullptr) run.startup = NowMs() - t0;
    if (found.window != nullptr && clicks) {
        Sleep(300);  // settled: the start-up chain has run
        TControls c;
        EnumChildWindows(found.window, &FindControls, reinterpret_cast<LPARAM>(&c));
        if (c.go == nullptr || c.log == nullptr) std::fprintf(stderr, "versus: no \"GO\" or no log found\n");
        for (int i = 0; c.go != nullptr && c.log != nullptr && i < kClicksPerRun; ++i) {
            const LRESULT before = LengthOf(c.log);
            const double sent = NowMs();
            PostMessageW(c.go, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(c.go, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            while (LengthOf(c.log) == before && NowMs() - sent < kLineWithinMs)
                Sleep(1);
            if (LengthOf(c.log) != before) {
                run.clicks.push_back(NowMs() - sent);
            } else {
                std::fprintf(stderr, "versus: no line within %.0f ms of a click\n", kLineWithinMs);
            }
            Sleep(100);
        }
    }
    if (found.window != nullptr) PostMessageW(found.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Row(const char* what, const std::vector<double>& mine, const std::vector<double>& least, size_t runs) {
    const double m = Median(mine), l = Median(least);
    std::printf("  %-34s %8.1f ms  least %8.1f ms  ratio %5.2f  (n=%zu of %zu)\n", what, m, l,
                l > 0 ? m / l : 0.0, mine.size(), runs);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: measure_versus RUNS PROGRAM LEAST\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    const std::wstring program = std::wstring(L"\"") + argv[2] + L"\"";
    const std::wstring least = std::wstring(L"\"") + argv[3] + L"\"";
    std::vector<double> startMine, startLeast, startBare, clickMine, clickLeast;
    for (int i = 0; i < runs; ++i) {
        // Alternated, so neither side always runs first after the other's exit.
        const bool mineFirst = i % 2 == 0;
        TRun a = RunOnce(mineFirst ? program : least);
        TRun b = RunOnce(mineFirst ? least : program);
        const TRun& mine = mineFirst ? a : b;
        const TRun& ref = mineFirst ? b : a;
        const TRun bare = RunOnce(least + L" bare", false);
        if (mine.startup >= 0) startMine.push_back(mine.startup);
        if (ref.startup >= 0) startLeast.push_back(ref.startup);
        if (bare.startup >= 0) startBare.push_back(bare.startup);
        clickMine.insert(clickMine.end(), mine.clicks.begin(), mine.clicks.end());
        clickLeast.insert(clickLeast.end(), ref.clicks.begin(), ref.clicks.end());
    }
    std::printf("Start-up and click to line, medians of %d runs (%d clicks a run):\n", runs, kClicksPerRun);
    Row("start-up to the window visible", startMine, startLeast, runs);
    Row("  a bare window, beside the least", startBare, startLeast, runs);
    Row("click to line (localhost)", clickMine, clickLeast, static_cast<size_t>(runs) * kClicksPerRun);
    const bool complete =
        startMine.size() == static_cast<size_t>(runs) && !clickMine.empty() && !clickLeast.empty();
    return complete ? 0 : 1;
}
