// Responsiveness: 20 echoes to a host that does not answer (inside the private network namespace
// of tests/netns/run_in_netns.sh, where 127.0.0.1 is silenced), while another thread sends the
// window thread a message every millisecond. Prints the longest time a sent message waited for its
// answer.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "components/kvping.h"
#include "tests/support/wintest.h"

namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr int kWaits = 20;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return msg == kProbe ? 1 : DefWindowProcW(hwnd, msg, wp, lp);
}

struct Probe {
    HWND window;
    std::atomic<bool> stop{false};
    std::atomic<bool> measuring{false};
    double longest = 0;
    double sum = 0;
    long count = 0;
};

DWORD WINAPI Prober(void* p) {
    auto* probe = static_cast<Probe*>(p);
    while (!probe->stop) {
        const double t0 = NowMs();
        DWORD_PTR r = 0;
        SendMessageTimeoutW(probe->window, kProbe, 0, 0, SMTO_NORMAL, 10000, &r);
        const double took = NowMs() - t0;
        if (probe->measuring) {
            probe->longest = std::max(probe->longest, took);
            probe->sum += took;
            ++probe->count;
        }
        Sleep(1);
    }
    return 0;
}

struct Outcome {
    int errors = 0;
    int replies = 0;
    void onError(TData&, uint16_t) { ++errors; }
    void onReply(TData&, uint16_t) { ++replies; }
};

}  // namespace

int main() {
    if (!InPrivateNamespace() || !SetSilent(true)) {
        std::printf("Responsiveness: needs the private network namespace (tests/netns/run_in_netns.sh)\n");
        return 77;
    }
    Probe probe;
    probe.window = MakeMessageWindow(L"SilentProbe", &Proc);

    EnableLinks();
    TKVPing ping;
    Outcome out;
    ping.evError = MakeEvent<&Outcome::onError>(&out, 0);
    ping.evReply = MakeEvent<&Outcome::onReply>(&out, 0);
    ping.Host = "127.0.0.1";
    ping.DataSize = 128;
    ping.Timeout = 1000;

    HANDLE thread = CreateThread(nullptr, 0, &Prober, &probe, 0, nullptr);
    double waited = 0;
    probe.measuring = true;
    for (int i = 0; i < kWaits; ++i) {
        const double t0 = NowMs();
        TData in;
        ping.actPing(in, 0);
        waited += NowMs() - t0;
    }
    probe.measuring = false;
    probe.stop = true;
    // The prober may be inside a send: keep answering until it has ended.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    SetSilent(false);
    DisableLinks();

    std::printf("Responsiveness: %d echoes to a silent host, Timeout 1000 ms, a message sent every ~1 ms\n",
                kWaits);
    std::printf("  outcomes: %d errors, %d replies (a reply would mean the host was not silent)\n",
                out.errors, out.replies);
    std::printf("  mean wait %.1f ms; %ld messages answered, mean %.3f ms\n", waited / kWaits, probe.count,
                probe.count > 0 ? probe.sum / probe.count : 0.0);
    std::printf("  LONGEST GAP (send to answer) over %d silent waits: %.2f ms   (target <= 50 ms)\n", kWaits,
                probe.longest);
    return 0;
}
