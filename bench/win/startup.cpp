// Where the program's start-up goes: the program body's steps, made in this process one by one with
// the real library code, each timed on the performance counter; the median of several starts, each
// in a fresh process (a second start in one process would find classes, fonts and libraries made).
// measure_startup RUNS prints one line a step.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scheme/scheme.h"
#include "support/runerror.h"
#include "tests/support/wintest.h"
#include "toolkit/applet.h"
#include "toolkit/syslib.h"
#include "wincomponents/kvhintmanager.h"
#include "wincomponents/kvmainform.h"

namespace {

constexpr const char* kSteps[] = {
    "process creation to the first instruction",
    "error handler, library search",
    "common controls",
    "hint manager, forms",
    "the scheme's components",
    "links on, start procedures (the form shown)",
    "first paint of every window",
};
constexpr int kStepCount = static_cast<int>(std::size(kSteps));

// The time this process was created, on the performance counter's scale.
double CreatedMs() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& f) {
        return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    return NowMs() - (ticks(now) - ticks(created)) / 10000.0;
}

// One start in this process: the step times, tab-separated on stdout.
int MeasureOnce() {
    double t[kStepCount + 1];
    t[0] = CreatedMs();
    t[1] = NowMs();
    InstallErrorHandler();
    UseSystemLibrarySearch();
    t[2] = NowMs();
    InitCommonControlsEx(0xFF);
    t[3] = NowMs();
    InitHintManager();
    InitForms();
    t[4] = NowMs();
    auto* scheme = new TClassMainForm_4051E30;
    t[5] = NowMs();
    Applet->SetCreateVisible(scheme->Form->Visible != 0);
    EnableLinks();
    RunStartProcs();
    Applet->CreateWindow();
    t[6] = NowMs();
    UpdateWindow(scheme->Form->Control->GetWindowHandle());
    RedrawWindow(scheme->Form->Control->GetWindowHandle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    t[7] = NowMs();
    for (int i = 0; i < kStepCount; ++i)
        std::printf("%.2f\t", t[i + 1] - t[i]);
    std::printf("\n");
    std::fflush(stdout);
    DisableLinks();
    delete scheme;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "once") return MeasureOnce();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<std::vector<double>> steps(kStepCount);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (int r = 0; r < runs; ++r) {
        std::wstring line = std::wstring(L"\"") + self + L"\" once";
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE read = nullptr, write = nullptr;
        CreatePipe(&read, &write, &sa, 0);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return 1;
        CloseHandle(write);
        std::string out;
        char buf[512];
        DWORD n = 0;
        while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0)
            out.append(buf, n);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        CloseHandle(read);
        const char* p = out.c_str();
        for (int i = 0; i < kStepCount; ++i) {
            char* end = nullptr;
            const double v = std::strtod(p, &end);
            if (end == p) return 1;
            steps[static_cast<size_t>(i)].push_back(v);
            p = end;
        }
    }
    std::printf("Start-up step by step, in this process with the program's own code, medians of %d:\n", runs);
    double total = 0;
    for (int i = 0; i < kStepCount; ++i) {
        auto& v = steps[static_cast<size_t>(i)];
        std::sort(v.begin(), v.end());
        const double median = v[v.size() / 2];
        total += median;
        std::printf("  %-44s %8.1f ms\n", kSteps[i], median);
    }
    std::printf("  %-44s %8.1f ms\n", "all steps", total);
    return 0;
}
