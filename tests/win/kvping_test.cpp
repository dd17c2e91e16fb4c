// The echo engine on the real Winsock and ICMP services, loopback only: replies, the reply buffer
// sized for the platform's record, and nothing left behind. Waits that must last (a silent host, a
// name that does not resolve) are tested inside a private network namespace (tests/netns).
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include <iphlpapi.h>

#include <icmpapi.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"
#include "tests/unit/testdata.h"
#include "toolkit/winthread.h"

namespace {

class RealPing : public LinkedTest {};

TEST_F(RealPing, LoopbackAnswersWithItsAddressAndThePayloadSize) {
    struct Case {
        const char* host;
        int32_t dataSize;
        const char* expected;
    };
    // 0 and 128 did not fit the 32-bit reply record on 64-bit Windows; 65536 + 64 sends 64 bytes;
    // 65535 bytes (-1) are more than an IPv4 packet holds, and both buffers are sized for them.
    const Case cases[] = {
        {"127.0.0.1", 128, "reply 127.0.0.1 128"},
        {"localhost", 128, "reply 127.0.0.1 128"},
        {"127.0.0.1", 0, "reply 127.0.0.1 0"},
        {"127.0.0.1", 1400, "reply 127.0.0.1 1400"},
        {"127.0.0.1", 65536 + 64, "reply 127.0.0.1 64"},
        {"127.0.0.2", 32, "reply 127.0.0.2 32"},
        {"127.0.0.1", -1, "error 3"},
    };
    TKVPing ping;
    EchoListener l;
    l.Wire(ping);
    ping.Timeout = 1000;
    for (const Case& c : cases) {
        ping.Host = c.host;
        ping.DataSize = c.dataSize;
        l.Clear();
        TData in;
        ping.actPing(in, 0);
        EXPECT_EQ(l.events, std::vector<std::string>{c.expected}) << c.host << " " << c.dataSize;
        EXPECT_GE(l.roundTrip, 0);
        EXPECT_LT(l.roundTrip, 100) << "loopback answers within milliseconds";
    }
}

// The asynchronous echo writes an IO_STATUS_BLOCK after the reply on Windows (not under Wine): the
// buffer holds the platform's record, the payload, an ICMP error and that block.
TEST(RealPingBuffer, ReplyBufferHasRoomForTheStatusBlock) {
    for (const uint16_t size : {0, 1, 128, 65535}) {
        EXPECT_GE(EchoReplyBufferSize(size), sizeof(ICMP_ECHO_REPLY) + size + 8 + sizeof(IO_STATUS_BLOCK))
            << size;
    }
}

// Handles, events, workers and the socket library are all given back.
TEST_F(RealPing, RepeatedEchoesLeaveNothingBehind) {
    const uintptr_t before = HandleProbe();
    {
        TKVPing ping;
        EchoListener l;
        l.Wire(ping);
        ping.Timeout = 1000;
        ping.DataSize = 128;
        for (int i = 0; i < 200; ++i) {
            ping.Host = i % 2 == 0 ? "127.0.0.1" : "localhost";
            TData in;
            ping.actPing(in, 0);
        }
        EXPECT_EQ(l.events.size(), 200u);
        EXPECT_EQ(l.events.back(), "reply 127.0.0.1 128");
    }
    EXPECT_EQ(WorkerThreadCount(), 0);
    EXPECT_EQ(WinsockUsers, 0);
    EXPECT_EQ(HandleProbe(), before);
    // The last user stopped the socket library.
    EXPECT_EQ(gethostbyname("127.0.0.1"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
