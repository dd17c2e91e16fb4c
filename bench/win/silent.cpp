// Responsiveness: the real scheme runs periodic echoes every second to a host that does not answer
// (inside the private network namespace of tests/netns/run_in_netns.sh, where 127.0.0.1 is
// silenced) in the program's own loop, while another thread sends the main window a message every
// millisecond. Prints the longest time a sent message waited for its answer.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/win/schemerun.h"
#include "tests/support/wintest.h"

namespace {

constexpr DWORD kSeconds = 10;

// Switches echo replies off or on in the private network namespace the program runs in, through
// Wine's view of the Unix file system. False when the switch cannot be written.
bool SetSilent(bool silent) {
    HANDLE f = CreateFileW(L"Z:\\proc\\sys\\net\\ipv4\\icmp_echo_ignore_all", GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, silent ? "1\n" : "0\n", 2, &written, nullptr) && written == 2;
    CloseHandle(f);
    return ok;
}

// True when run_in_netns.sh started the program inside its private network namespace.
bool InPrivateNamespace() {
    const char* flag = std::getenv("ECHOMETER_NETNS");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

struct Probe {
    HWND window = nullptr, log = nullptr;
    TSchemeRun* run = nullptr;
    LRESULT lines = 0;
    double longest = 0, sum = 0;
    long count = 0;
};

DWORD WINAPI Prober(void* p) {
    auto* probe = static_cast<Probe*>(p);
    Sleep(1500);  // the first tick's echo is out
    const double end = NowMs() + kSeconds * 1000.0;
    while (NowMs() < end) {
        const double t0 = NowMs();
        DWORD_PTR r = 0;
        SendMessageTimeoutW(probe->window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
        const double took = NowMs() - t0;
        probe->longest = std::max(probe->longest, took);
        probe->sum += took;
        ++probe->count;
        Sleep(1);
    }
    probe->lines = SendMessageW(probe->log, EM_GETLINECOUNT, 0, 0);
    probe->run->Close();
    return 0;
}

}  // namespace

int main() {
    if (!InPrivateNamespace() || !SetSilent(true)) {
        std::printf("Responsiveness: needs the private network namespace (tests/netns/run_in_netns.sh)\n");
        return 77;
    }
    TSchemeRun run;
    TSchemeRun::SetText(run.S->EditHost, "127.0.0.1");
    SendMessageW(TSchemeRun::Window(run.S->BtnStart), BM_CLICK, 0, 0);
    Probe probe;
    probe.window = TSchemeRun::Window(run.S->Form);
    probe.log = TSchemeRun::Window(run.S->Log);
    probe.run = &run;
    HANDLE thread = CreateThread(nullptr, 0, &Prober, &probe, 0, nullptr);
    TSchemeRun::RunLoop();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    SetSilent(false);

    std::printf(
        "Responsiveness: the program's scheme, periodic echoes every 1 s to a silent host, a message "
        "sent to its window every ~1 ms for %lu s\n",
        kSeconds);
    std::printf("  %ld lines logged (the start line and the failures); %ld messages answered, mean %.3f ms\n",
                static_cast<long>(probe.lines), probe.count, probe.count > 0 ? probe.sum / probe.count : 0.0);
    std::printf("  LONGEST ANSWER of the window while the echoes run: %.2f ms   (target <= 16 ms)\n",
                probe.longest);
    return 0;
}
