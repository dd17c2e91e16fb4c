// The echo engine's steps over a fake platform that holds every request until the test hands it
// back, as the window thread's loop does: the failure codes, exactly one outlet per request and none
// inside actPing, the shared socket library, the last-reply values, requests outstanding together,
// the round a request carries, and an engine destroyed with requests outstanding.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/unit/testdata.h"

namespace {

class Ping : public LinkedTest {
public:
    void TearDown() override {
        LinkedTest::TearDown();
        // No engine is left counted as a user of the socket library: the next last one stops it.
        FakeEcho next;
        { TKVPing last(next); }
        EXPECT_EQ(next.stops, 1);
    }
    FakeEcho fake;
    EchoListener listener;
};

// One engine, request after request, beside another user of the socket library. While the library
// is not started a request says so (code 1, never "no such host"), and the next one tries again. An
// empty or over-long name fails without the resolver, which would answer an empty name with this
// computer. An ICMP error record is no reply. Only a good reply changes the last values. Every
// outcome, a failure known at once included, fires only once the request comes back; a request that
// could not be handed to a worker fires at once, as the local failure it is (code 1, not the host's 3).
TEST_F(Ping, EachRequestFiresExactlyOneOutletWithItsCodeOnceItComesBack) {
    // The platform's fault ("no sockets", "no name", "no echo", "TTL expired" or none), the length of
    // the host name, the outlet fired, the lookups made, and the last values after the call.
    const struct {
        std::string_view fault;
        size_t hostLength;
        const char* event;
        int lookups;
        std::pair<int32_t, int32_t> values;
    } cases[] = {
        {"no sockets", 9, "error 1", 0, {0, 0}},
        {"no name", 9, "error 2", 1, {0, 0}},
        {"", 1, "reply 127.0.0.5 64", 1, {70, 64}},
        {"", 255, "reply 127.0.0.5 64", 1, {70, 64}},
        {"", 0, "error 2", 0, {70, 64}},
        {"", 256, "error 2", 0, {70, 64}},
        {"", 100000, "error 2", 0, {70, 64}},
        {"no echo", 9, "error 3", 1, {70, 64}},
        {"TTL expired", 9, "error 3", 1, {70, 64}},
        {"no thread", 9, "error 1", 0, {70, 64}},
        {"no name", 9, "error 2", 1, {70, 64}},
    };
    fake.startOk = false;
    auto* other = new TKVPing(fake);
    {
        TKVPing ping(fake);
        listener.Wire(ping);
        for (const auto& [fault, hostLength, event, lookups, values] : cases) {
            SCOPED_TRACE(std::string(fault) + " " + std::to_string(hostLength));
            fake.startOk = fault != "no sockets";
            fake.resolveOk = fault != "no name";
            fake.echoOk = fault != "no echo";
            fake.sendOk = fault != "no thread";
            const bool atOnce = !fake.sendOk;
            fake.answer = {{127, 0, 0, 5}, fault == "TTL expired" ? 11013u : 0u, 70, 64};
            fake.lookups = 0;
            listener.events.clear();
            ping.Host = std::string(hostLength, 'a');
            PingOnce(ping);
            EXPECT_EQ(listener.events.empty(), !atOnce) << "fired inside actPing";
            EXPECT_EQ(ping.Outstanding(), atOnce ? 0u : 1u);
            fake.DeliverAll();
            EXPECT_EQ(listener.events, std::vector<std::string>{event});
            EXPECT_EQ(fake.lookups, lookups);
            EXPECT_EQ(LastValues(ping), values);
            EXPECT_EQ(ping.Outstanding(), 0u);
        }
    }
    EXPECT_EQ(fake.starts, 4);  // the two constructors, the first call, and the start
    EXPECT_EQ(fake.stops, 0) << "the other user still needs the library";
    delete other;
    fake.startOk = false;
    { TKVPing never(fake); }  // a library that never started is not stopped: that would end another's start
    EXPECT_EQ(fake.stops, 1);
}

// A click sends a second request while a tick's is outstanding, with another answer. They come back
// in the other order: each fires once, its getters answer its own values during its chain, and the
// last to come back leaves its values. Only the request sent inside a round keeps it going, until its
// outcome's chain has run.
TEST_F(Ping, RequestsOutstandingTogetherEachFireOnceWithTheirOwnValues) {
    TKVPing ping(fake);
    listener.Wire(ping);
    ping.Host = "h";
    TRound* tick = TRound::New();
    fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    {
        const TRoundScope round(tick);
        PingOnce(ping);
    }
    fake.answer = {{127, 0, 0, 3}, 0, 5, 16};
    PingOnce(ping);
    EXPECT_TRUE(tick->Going()) << "the tick's request is outstanding";
    EXPECT_TRUE(listener.events.empty());
    fake.Deliver(1);
    EXPECT_TRUE(tick->Going()) << "the click's outcome is not the tick's";
    fake.Deliver(0);
    EXPECT_FALSE(tick->Going());
    EXPECT_EQ(listener.events, (std::vector<std::string>{"reply 127.0.0.3 16", "reply 127.0.0.2 32"}));
    EXPECT_EQ(LastValues(ping), std::make_pair(9, 32));
    tick->Release();
}

// The program is closed with requests outstanding: the engine abandons them, nothing fires, and the
// round they belonged to is over. The round outlives its owner while a request still carries it
// (ASan sees any access after a free).
TEST_F(Ping, DestroyedWithRequestsOutstanding) {
    auto* ping = new TKVPing(fake);
    listener.Wire(*ping);
    ping->Host = "h";
    TRound* tick = TRound::New();
    {
        const TRoundScope round(tick);
        PingOnce(*ping);
        tick->Release();  // its timer goes first
    }
    PingOnce(*ping);
    delete ping;
    EXPECT_EQ(fake.abandoned, 2);
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_TRUE(listener.events.empty());
}

}  // namespace
