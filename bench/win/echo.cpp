// Echo overhead: the engine's round trip to 127.0.0.1 from actPing to evReply (a worker's look-up
// and echo, and the outcome back through this thread's message loop), against a bare IcmpSendEcho on
// a handle opened once, and a bare IcmpCreateFile + IcmpSendEcho + IcmpCloseHandle, in the same
// process, interleaved in blocks so that drifts of the machine hit all three alike.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "components/kvping.h"

namespace {

constexpr int kEchoes = 1000;
constexpr int kBlock = 50;
constexpr int kPayload = 128;

double NowUs() {
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) * 1e6 / static_cast<double>(f.QuadPart);
}

struct Stop {
    double at = 0;
    int replies = 0;
    void onReply(TData&, uint16_t) {
        at = NowUs();
        ++replies;
    }
};

void Print(const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v)
        sum += x;
    std::printf("  %-44s mean %7.1f us  median %7.1f us  p95 %7.1f us  (n=%zu)\n", name, sum / v.size(),
                v[v.size() / 2], v[v.size() * 95 / 100], v.size());
}

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return sum / v.size();
}

}  // namespace

int main() {
    EnableLinks();
    TKVPing ping;  // starts Winsock for the bare calls too
    Stop stop;
    ping.evReply = MakeEvent<&Stop::onReply>(&stop, 0);
    ping.Host = "127.0.0.1";
    ping.DataSize = kPayload;
    ping.Timeout = 1000;

    const IPAddr loopback = htonl(INADDR_LOOPBACK);
    std::vector<char> request(kPayload, 0);
    std::vector<char> reply(sizeof(ICMP_ECHO_REPLY) + kPayload + 8);
    HANDLE icmp = IcmpCreateFile();

    std::vector<double> engine, bare, bareOpenClose;
    int bareFailures = 0;
    // One warm-up block of each, not counted.
    for (int block = -1; block < kEchoes / kBlock; ++block) {
        for (int i = 0; i < kBlock; ++i) {
            const double t0 = NowUs();
            const int before = stop.replies;
            TData in;
            ping.actPing(in, 0);
            MSG m;
            while (ping.Outstanding() != 0 && GetMessageW(&m, nullptr, 0, 0) > 0)
                DispatchMessageW(&m);
            if (block >= 0 && stop.replies > before) engine.push_back(stop.at - t0);
        }
        for (int i = 0; i < kBlock; ++i) {
            const double t0 = NowUs();
            const DWORD n = IcmpSendEcho(icmp, loopback, request.data(), kPayload, nullptr, reply.data(),
                                         static_cast<DWORD>(reply.size()), 1000);
            const double t1 = NowUs();
            if (n == 0) ++bareFailures;
            if (block >= 0) bare.push_back(t1 - t0);
        }
        for (int i = 0; i < kBlock; ++i) {
            const double t0 = NowUs();
            HANDLE h = IcmpCreateFile();
            const DWORD n = IcmpSendEcho(h, loopback, request.data(), kPayload, nullptr, reply.data(),
                                         static_cast<DWORD>(reply.size()), 1000);
            IcmpCloseHandle(h);
            const double t1 = NowUs();
            if (n == 0) ++bareFailures;
            if (block >= 0) bareOpenClose.push_back(t1 - t0);
        }
    }
    IcmpCloseHandle(icmp);

    std::printf("Echo overhead, 127.0.0.1, %d-byte payload, %d echoes each, blocks of %d interleaved\n",
                kPayload, kEchoes, kBlock);
    Print("engine: actPing -> evReply", engine);
    Print("bare IcmpSendEcho (handle opened once)", bare);
    Print("bare IcmpCreateFile+IcmpSendEcho+IcmpCloseHandle", bareOpenClose);
    std::printf("  replies %d of %d, bare failures %d\n", stop.replies, kEchoes + kBlock, bareFailures);
    std::printf("  RATIO engine / bare IcmpSendEcho (means): %.3f   (target <= 1.2)\n",
                Mean(engine) / Mean(bare));
    std::printf("  ratio engine / bare open+send+close (means): %.3f\n", Mean(engine) / Mean(bareOpenClose));
    DisableLinks();
    return 0;
}
