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
#include <tuple>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

// 25 rounds of the cases on one engine, then handles, events, workers and the socket library are
// all given back. 0 and 128 bytes did not fit the 32-bit reply record on 64-bit Windows; 65536 + 64
// sends 64 bytes; 65535 bytes (-1) are more than an IPv4 packet holds, and both buffers are sized
// for them.
TEST(RealPing, LoopbackAnswersWithItsAddressAndThePayloadSizeAndLeavesNothingBehind) {
    const std::tuple<const char*, int32_t, const char*> cases[] = {
        {"localhost", 128, "reply 127.0.0.1 128"},
        {"127.0.0.2", 0, "reply 127.0.0.2 0"},
        {"127.0.0.1", 65536 + 64, "reply 127.0.0.1 64"},
        {"127.0.0.1", -1, "error 3"},
    };
    const uintptr_t handles = HandleProbe();
    EnableLinks();
    {
        TKVPing ping;
        EchoListener l;
        l.Wire(ping);
        ping.Timeout = 1000;
        for (int round = 0; round < 25; ++round) {
            for (const auto& [host, dataSize, expected] : cases) {
                ping.Host = host;
                ping.DataSize = dataSize;
                l.Clear();
                PingOnce(ping);
                ASSERT_EQ(l.events, std::vector<std::string>{expected}) << host << " " << dataSize;
            }
        }
        EXPECT_LT(LastValues(ping).first, 100) << "loopback answers within milliseconds";
    }
    DisableLinks();
    EXPECT_EQ(WorkerThreadCount(), 0);
    EXPECT_EQ(WinsockUsers, 0);
    EXPECT_EQ(HandleProbe(), handles);
    // The last user stopped the socket library.
    EXPECT_EQ(gethostbyname("127.0.0.1"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// The asynchronous echo writes an IO_STATUS_BLOCK after the reply on Windows (not under Wine): the
// buffer holds the platform's record, the payload, an ICMP error and that block.
TEST(RealPing, ReplyBufferHasRoomForTheStatusBlock) {
    for (const uint16_t size : {0, 1, 128, 65535}) {
        EXPECT_GE(EchoReplyBufferSize(size), sizeof(ICMP_ECHO_REPLY) + size + 8 + sizeof(IO_STATUS_BLOCK))
            << size;
    }
}

}  // namespace
