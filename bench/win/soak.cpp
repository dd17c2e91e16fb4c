// Soak: 10,000 echoes to 127.0.0.1 driven by TKVMMTimer at a 10 ms period, the scheme's chain
// (tick -> actPing -> outlet) on the window thread. Prints the handle probe (the lowest free handle
// slot, since GetProcessHandleCount answers 0 under Wine) and memory before and after.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "components/kvmmtimer.h"
#include "components/kvping.h"
#include "tests/support/wintest.h"

namespace {

double WorkingSetKb() {
    return WorkingSetMb() * 1024.0;
}

// VmData of the process as Linux sees it (Wine's view of the Unix file system), -1 elsewhere.
long VmDataKb() {
    HANDLE f = CreateFileW(L"Z:\\proc\\self\\status", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    static char buf[8192];
    DWORD got = 0;
    ReadFile(f, buf, sizeof buf - 1, &got, nullptr);
    CloseHandle(f);
    buf[got] = 0;
    const char* p = std::strstr(buf, "VmData:");
    return p != nullptr ? std::strtol(p + 7, nullptr, 10) : -1;
}

struct Counter {
    int replies = 0;
    int errors = 0;
    int ticks = 0;
    bool stopped = false;
    void onReply(TData&, uint16_t) { ++replies; }
    void onError(TData&, uint16_t) { ++errors; }
    void onTimer(TData&, uint16_t) { ++ticks; }
    void onStop(TData&, uint16_t) { stopped = true; }
};

struct Figures {
    double seconds = 0;
    uintptr_t probeBefore = 0, probeAfter = 0;
    double wsBefore = 0, wsAfter = 0;
    long dataBefore = 0, dataAfter = 0;
};

// Makes the engine and the timer, warms them up (the first echoes and ticks make what lives for
// the whole run: the ICMP handle, an event, the home window), runs `echoes` ticks and destroys both.
Figures Cycle(int echoes, Counter& c) {
    Figures f;
    auto* ping = new TKVPing;
    ping->Host = "127.0.0.1";
    ping->DataSize = 128;
    ping->Timeout = 1000;
    ping->evReply = MakeEvent<&Counter::onReply>(&c, 0);
    ping->evError = MakeEvent<&Counter::onError>(&c, 0);
    auto* timer = new TKVMMTimer;
    timer->evTimer = MakeEvent<&TKVPing::actPing>(ping, 0);
    timer->evStop = MakeEvent<&Counter::onStop>(&c, 0);
    timer->SetResolution(1);
    timer->SetInterval(10);

    TData none;
    timer->SetCount(100);
    timer->actStart(none, 0);
    while (!c.stopped)
        PumpFor(50);
    c = Counter{};

    f.probeBefore = HandleProbe();
    f.wsBefore = WorkingSetKb();
    f.dataBefore = VmDataKb();
    const ULONGLONG t0 = GetTickCount64();
    timer->SetCount(echoes);
    timer->actStart(none, 0);
    while (!c.stopped)
        PumpFor(100);
    f.seconds = static_cast<double>(GetTickCount64() - t0) / 1000.0;
    f.probeAfter = HandleProbe();
    f.wsAfter = WorkingSetKb();
    f.dataAfter = VmDataKb();

    delete timer;
    delete ping;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int echoes = argc > 1 ? std::atoi(argv[1]) : 10000;
    EnableLinks();
    Counter c;
    // A first short cycle lets the system libraries (Winsock, winmm's timer thread, the window
    // system) make what they keep for the life of the process.
    Cycle(100, c);
    c = Counter{};
    const uintptr_t probeAtStart = HandleProbe();
    const Figures f = Cycle(echoes, c);
    const uintptr_t probeAtEnd = HandleProbe();
    DisableLinks();

    std::printf("Soak: %d ticks at 10 ms, each one echo to 127.0.0.1 (%.1f s)\n", echoes, f.seconds);
    std::printf("  replies %d, errors %d (ticks dropped while busy: %d)\n", c.replies, c.errors,
                echoes - c.replies - c.errors);
    std::printf("  HANDLE PROBE before %llu, after %llu: %s\n",
                static_cast<unsigned long long>(f.probeBefore), static_cast<unsigned long long>(f.probeAfter),
                f.probeBefore == f.probeAfter ? "unchanged" : "CHANGED");
    std::printf("  handle probe before making engine and timer %llu, after destroying them %llu: %s\n",
                static_cast<unsigned long long>(probeAtStart), static_cast<unsigned long long>(probeAtEnd),
                probeAtStart == probeAtEnd ? "unchanged" : "CHANGED");
    std::printf(
        "  MEMORY growth: working set %+.0f KB (%.0f -> %.0f KB), VmData %+ld KB (%ld -> %ld KB)"
        "   (target < 1024 KB)\n",
        f.wsAfter - f.wsBefore, f.wsBefore, f.wsAfter, f.dataAfter - f.dataBefore, f.dataBefore, f.dataAfter);
    return 0;
}
