// The echo engine's steps over a fake platform: the failure codes, exactly one outlet per call, the
// shared socket library, the last-reply values, and calls nested in the waits (another echo, or the
// engine's destruction).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/unit/testdata.h"

namespace {

class FakeEcho final : public TEchoService {
public:
    bool startOk = true, resolveOk = true, echoOk = true;
    int starts = 0, stops = 0, lookups = 0;
    TEchoReply answer;
    // Runs inside the lookup's wait, or else the echo's, as a chain started meanwhile would.
    std::function<void()> nested;
    bool nestInResolve = false;

    bool StartSockets() override {
        ++starts;
        return startOk;
    }
    void StopSockets() override { ++stops; }
    bool Resolve(const std::string& /*host*/, TIPv4& /*address*/) override {
        ++lookups;
        if (nestInResolve) Nest();
        return resolveOk;
    }
    bool Echo(const TIPv4& /*address*/, uint16_t /*size*/, uint32_t /*timeout*/, TEchoReply& reply) override {
        if (!nestInResolve) Nest();
        if (echoOk) reply = answer;
        return echoOk;
    }
    void Nest() {
        if (const auto run = std::exchange(nested, nullptr)) run();
    }
};

class Ping : public LinkedTest {
public:
    void TearDown() override {
        LinkedTest::TearDown();
        EXPECT_EQ(WinsockUsers, 0);
    }
    FakeEcho fake;
    EchoListener listener;
};

// One engine, call after call, beside another user of the socket library. While the library is not
// started a call says so (code 1, never "no such host"), and the next one tries again. An empty or over-long
// name fails without the resolver, which would answer an empty name with this computer. An ICMP
// error record is no reply. Only a good reply changes the last values.
TEST_F(Ping, EachCallFiresExactlyOneOutletWithItsCode) {
    // The platform's fault ("no sockets", "no name", "no echo", "TTL expired" or none), the length of
    // the host name, the outlet fired, the lookups made, and the last values after the call.
    const std::tuple<std::string_view, size_t, const char*, int, std::pair<int32_t, int32_t>> cases[] = {
        {"no sockets", 9, "error 1", 0, {0, 0}},
        {"no name", 9, "error 2", 1, {0, 0}},
        {"", 1, "reply 127.0.0.5 64", 1, {70, 64}},
        {"", 255, "reply 127.0.0.5 64", 1, {70, 64}},
        {"", 0, "error 2", 0, {70, 64}},
        {"", 256, "error 2", 0, {70, 64}},
        {"", 100000, "error 2", 0, {70, 64}},
        {"no echo", 9, "error 3", 1, {70, 64}},
        {"TTL expired", 9, "error 3", 1, {70, 64}},
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
            fake.answer = {{127, 0, 0, 5}, fault == "TTL expired" ? 11013u : 0u, 70, 64};
            fake.lookups = 0;
            listener.Clear();
            ping.Host = std::string(hostLength, 'a');
            PingOnce(ping);
            EXPECT_EQ(listener.events, std::vector<std::string>{event});
            EXPECT_EQ(fake.lookups, lookups);
            EXPECT_EQ(LastValues(ping), values);
        }
    }
    EXPECT_EQ(fake.starts, 4);  // the two constructors, the first call, and the start
    EXPECT_EQ(fake.stops, 0) << "the other user still needs the library";
    delete other;
    fake.startOk = false;
    { TKVPing never(fake); }  // a library that never started is not stopped: that would end another's start
    EXPECT_EQ(fake.stops, 1);
}

// A click during the wait starts a second echo on the same engine with another answer: each call
// ends in exactly one outlet with its own reply, the inner one first, and the outer's values stay.
TEST_F(Ping, NestedCallDuringTheWaitFiresItsOwnOutlet) {
    TKVPing ping(fake);
    listener.Wire(ping);
    ping.Host = "h";
    fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    fake.nested = [&] {
        fake.answer = {{127, 0, 0, 3}, 0, 5, 16};
        PingOnce(ping);
        fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    };
    PingOnce(ping);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"reply 127.0.0.3 16", "reply 127.0.0.2 32"}));
    EXPECT_EQ(LastValues(ping), std::make_pair(9, 32));
}

// The program is closed during the lookup's or the echo's wait: the engine is destroyed inside its
// own call, which then fires nothing and touches nothing of it (ASan sees any access).
TEST_F(Ping, DestroyedWhileItsOwnWaitIsNested) {
    for (const bool inResolve : {true, false}) {
        auto* ping = new TKVPing(fake);
        listener.Wire(*ping);
        ping->Host = "h";
        fake.nestInResolve = inResolve;
        fake.nested = [ping] { delete ping; };
        PingOnce(*ping);
        EXPECT_TRUE(listener.events.empty()) << inResolve;
    }
}

// A leading zero can mean octal to the resolver: such text is looked up, not taken as it is.
TEST(PingText, OnlyStrictDottedQuadsSkipTheLookup) {
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true},   {"255.255.255.255", true}, {"127.256.0.1", false}, {"127.0.0", false},
        {"127.0.0.1.", false}, {"127.00.0.1", false},     {"1270.0.0.1", false},  {"localhost", false},
    };
    for (const auto& [text, quad] : cases)
        EXPECT_EQ(IsDottedQuad(text), quad) << text;
}

}  // namespace
