// The echo engine on the real Winsock and ICMP services, loopback only: outcomes come back through
// the thread's message loop, never inside actPing; replies, the reply buffer sized for the platform's
// record, and nothing left behind. Waits that must last (a silent host, a name that does not
// resolve) are tested inside a private network namespace (the e2e suite netns).
#include <gtest/gtest.h>

#include "components/kvping_win32.h"

#include <winternl.h>

#include <atomic>
#include <string>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

// 25 rounds of the cases on one engine, then handles, events, jobs and the socket library are all
// given back. 0 and 128 bytes did not fit the 32-bit reply record on 64-bit Windows; 65536 + 64
// sends 64 bytes; 65535 bytes (-1) are more than an IPv4 packet holds, and both buffers are sized
// for them.
TEST(RealPing, LoopbackAnswersWithItsAddressAndThePayloadSizeAndLeavesNothingBehind) {
    const struct {
        const char* host;
        int32_t dataSize;
        const char* expected;  // the outlet fired
    } cases[] = {
        {"localhost", 128, "reply 127.0.0.1 128"},
        {"127.0.0.2", 0, "reply 127.0.0.2 0"},
        {"127.0.0.1", 65536 + 64, "reply 127.0.0.1 64"},
        {"127.0.0.1", -1, "error 3"},
    };
    // The engine goes with two requests on their way: they fire nothing, and their jobs still end
    // and give back what they took. The first time also starts the workers the pool keeps.
    EnableLinks();
    const auto abandonTwo = [] {
        auto* doomed = new TKVPing;
        EchoListener l;
        l.Wire(*doomed);
        doomed->Host = "localhost";
        doomed->Timeout = 1000;
        PingOnce(*doomed);
        PingOnce(*doomed);
        delete doomed;
        EXPECT_TRUE(PumpUntil([] { return BackgroundJobs() == 0; }, 5000));
        EXPECT_TRUE(l.events.empty());
    };
    abandonTwo();
    const uintptr_t handles = HandleProbe();
    {
        TKVPing ping;
        EchoListener l;
        l.Wire(ping);
        ping.Timeout = 1000;
        for (int round = 0; round < 25; ++round) {
            for (const auto& [host, dataSize, expected] : cases) {
                ping.Host = host;
                ping.DataSize = dataSize;
                l.events.clear();
                PingOnce(ping);
                ASSERT_TRUE(l.events.empty()) << "fired inside actPing";
                ASSERT_TRUE(PumpUntil([&] { return ping.Outstanding() == 0; }, 5000));
                ASSERT_EQ(l.events, std::vector<std::string>{expected}) << host << " " << dataSize;
            }
        }
        EXPECT_LT(LastValues(ping).first, 100) << "loopback answers within milliseconds";
    }
    abandonTwo();
    DisableLinks();
    EXPECT_EQ(BackgroundJobs(), 0);
    // The system's worker pool may keep a thread more than before (a handle or two each); a handle
    // left per echo would be a hundred.
    EXPECT_LE(HandleProbe(), handles + uintptr_t{32});  // 8 handles: their values are 4 apart
    // The last user stopped the socket library.
    EXPECT_EQ(gethostbyname("127.0.0.1"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// The system's ICMP calls, but the next `refusals` opens give no handle, and every send checks the
// reply buffer it is given.
std::atomic<int> refusals{0};
std::atomic<int> shortBuffers{0};

HANDLE WINAPI RefusingOpen() {
    if (refusals > 0) {
        --refusals;
        return INVALID_HANDLE_VALUE;
    }
    return SystemIcmpCalls().CreateFile();
}

// The echo service may write an IO_STATUS_BLOCK after the reply on Windows (not under Wine): the
// buffer holds the platform's record, the payload, an ICMP error and that block.
DWORD WINAPI CheckedSend(HANDLE icmp, IPAddr to, void* data, WORD size, IP_OPTION_INFORMATION* options,
                         void* reply, DWORD replySize, DWORD timeout) {
    if (replySize < sizeof(ICMP_ECHO_REPLY) + size + 8 + sizeof(IO_STATUS_BLOCK)) ++shortBuffers;
    return SystemIcmpCalls().SendEcho(icmp, to, data, size, options, reply, replySize, timeout);
}

const TIcmpCalls& CheckedCalls() {
    static const TIcmpCalls calls{&RefusingOpen, &CheckedSend, SystemIcmpCalls().CloseHandle};
    return calls;
}

// A fault of this machine is not the host's: code 1, and the next request tries again. 65535 bytes
// (-1) are more than an IPv4 packet holds, and the buffer is sized for them too.
TEST(RealPing, NoEchoHandleIsALocalFailureTheNextRequestTriesAgainAndTheReplyBufferHasRoom) {
    EnableLinks();
    {
        TKVPing ping(NewEchoService(&CheckedCalls));
        EchoListener l;
        l.Wire(ping);
        ping.Host = "127.0.0.1";
        ping.Timeout = 1000;
        const struct {
            int refusals;
            int32_t dataSize;
            const char* expected;
        } cases[] = {
            {1, 32, "error 1"},          {1, 32, "error 1"},          {0, 128, "reply 127.0.0.1 128"},
            {0, 0, "reply 127.0.0.1 0"}, {0, 1, "reply 127.0.0.1 1"}, {0, -1, "error 3"},
        };
        for (const auto& [refused, dataSize, expected] : cases) {
            refusals = refused;
            ping.DataSize = dataSize;
            l.events.clear();
            PingOnce(ping);
            ASSERT_TRUE(PumpUntil([&] { return ping.Outstanding() == 0; }, 5000));
            EXPECT_EQ(l.events, std::vector<std::string>{expected}) << dataSize;
        }
    }
    DisableLinks();
    EXPECT_EQ(shortBuffers, 0);
}

}  // namespace
