// The echo engine's steps over a fake platform: where the host text comes from, the three failure
// codes, exactly one outlet per call, the shared socket-library count and the last-reply values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvping.h"

namespace {

class FakeEcho final : public TEchoService {
public:
    bool startOk = true;
    int starts = 0;
    int stops = 0;
    bool resolveOk = true;
    TIPv4 resolved{127, 0, 0, 1};
    bool echoOk = true;
    TEchoReply answer{{127, 0, 0, 1}, 0, 3, 128};
    std::vector<std::string> names;
    std::vector<uint16_t> sizes;
    std::vector<uint32_t> timeouts;
    std::vector<TIPv4> destinations;
    void (*duringEcho)(void*) = nullptr;  // runs inside the wait, as a nested chain would
    void* duringEchoArg = nullptr;
    bool nestInResolve = false;  // duringEcho runs inside the lookup's wait instead

    bool StartSockets() override {
        ++starts;
        return startOk;
    }
    void StopSockets() override { ++stops; }
    bool Resolve(const std::string& host, TIPv4& address) override {
        names.push_back(host);
        if (nestInResolve) Nest();
        if (resolveOk) address = resolved;
        return resolveOk;
    }
    bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) override {
        destinations.push_back(address);
        sizes.push_back(dataSize);
        timeouts.push_back(timeout);
        if (!nestInResolve) Nest();
        if (echoOk) reply = answer;
        return echoOk;
    }
    void Nest() {
        if (duringEcho == nullptr) return;
        auto run = duringEcho;
        duringEcho = nullptr;
        run(duringEchoArg);
    }
};

// Records both outlets; on a reply it pulls the getters as the scheme's joiners do.
struct Listener {
    TKVPing* ping = nullptr;
    std::vector<std::string> events;
    void onError(TData& d, uint16_t) { events.push_back("error " + ToString(d)); }
    void onReply(TData& d, uint16_t) {
        TData rtt, size;
        ping->getRoundTrip(rtt, 7);
        ping->getReplySize(size, 7);
        events.push_back("reply " + ToString(d) + " " + ToString(rtt) + " " + ToString(size));
    }
    void hostText(TData& d, uint16_t) { SetString(d, "from-pin"); }
};

class Ping : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(WinsockUsers, 0);
        EnableLinks();
    }
    void TearDown() override {
        DisableLinks();
        EXPECT_EQ(WinsockUsers, 0);
    }
    void Wire(TKVPing& ping) {
        listener.ping = &ping;
        ping.evError = MakeEvent<&Listener::onError>(&listener, 0);
        ping.evReply = MakeEvent<&Listener::onReply>(&listener, 0);
    }
    static std::pair<int32_t, int32_t> LastValues(TKVPing& ping) {
        TData rtt, size;
        ping.getRoundTrip(rtt, 0);
        ping.getReplySize(size, 1);
        return {ToInteger(rtt), ToInteger(size)};
    }

public:
    FakeEcho fake;
    Listener listener;
};

TEST_F(Ping, SocketLibraryStartsWithTheFirstUserAndStopsWithTheLast) {
    auto* a = new TKVPing(fake);
    auto* b = new TKVPing(fake);
    EXPECT_EQ(fake.starts, 1);
    EXPECT_EQ(WinsockUsers, 2);
    delete a;
    EXPECT_EQ(fake.stops, 0);
    delete b;
    EXPECT_EQ(fake.stops, 1);
    EXPECT_EQ(fake.starts, 1);
}

// While the socket library is not started every call says so (code 1), never "no such host", and
// tries again; once it starts, only a name that truly does not resolve gives code 2. A library
// that never started is not stopped.
TEST_F(Ping, SocketLibraryThatDidNotStartIsReportedOnEveryCall) {
    fake.startOk = false;
    {
        TKVPing ping(fake);
        Wire(ping);
        ping.Host = "127.0.0.1";
        TData in;
        ping.actPing(in, 0);
        ping.actPing(in, 0);
        EXPECT_EQ(listener.events, (std::vector<std::string>{"error 1", "error 1"}));
        EXPECT_TRUE(fake.names.empty());
        EXPECT_EQ(fake.starts, 3);
        fake.startOk = true;
        fake.resolveOk = false;
        ping.actPing(in, 0);
        fake.resolveOk = true;
        ping.actPing(in, 0);
        EXPECT_EQ(listener.events,
                  (std::vector<std::string>{"error 1", "error 1", "error 2", "reply 127.0.0.1 3 128"}));
    }
    EXPECT_EQ(fake.starts, 4);
    EXPECT_EQ(fake.stops, 1);
    fake.startOk = false;
    { TKVPing never(fake); }
    EXPECT_EQ(fake.stops, 1);
}

// The resolver answers an empty name with this computer and does not check a name's length.
TEST_F(Ping, EmptyAndOverlongHostsFailWithoutALookup) {
    struct Case {
        size_t length;
        bool looksUp;
    };
    const Case cases[] = {{0, false}, {1, true}, {255, true}, {256, false}, {100000, false}};
    TKVPing ping(fake);
    Wire(ping);
    for (const Case& c : cases) {
        ping.Host = std::string(c.length, 'a');
        listener.events.clear();
        fake.names.clear();
        TData in;
        ping.actPing(in, 0);
        EXPECT_EQ(fake.names.size(), c.looksUp ? 1u : 0u) << c.length;
        EXPECT_EQ(listener.events, std::vector<std::string>{c.looksUp ? "reply 127.0.0.1 3 128" : "error 2"})
            << c.length;
    }
}

TEST_F(Ping, HostTextComesFromPinThenPropertyThenIncomingValue) {
    struct Case {
        const char* host;
        const char* incoming;  // null: a null record
        const char* expected;
        bool pin;
        bool incomingConsumed;
    };
    const Case cases[] = {
        {"prop", "in", "from-pin", true, false},
        {"prop", "in", "prop", false, false},
        {"", "in", "in", false, true},
    };
    for (const Case& c : cases) {
        TKVPing ping(fake);
        Wire(ping);
        ping.Host = c.host;
        if (c.pin) ping.pinHost = MakeEvent<&Listener::hostText>(&listener, 0);
        TData in;
        if (c.incoming != nullptr) SetString(in, c.incoming);
        fake.names.clear();
        ping.actPing(in, 0);
        ASSERT_EQ(fake.names.size(), 1u);
        EXPECT_EQ(fake.names[0], c.expected) << c.expected;
        EXPECT_EQ(in.Type == kTypeNull, c.incomingConsumed || c.incoming == nullptr) << c.expected;
    }
}

TEST_F(Ping, EachCallFiresExactlyOneOutletAndOnlyAGoodReplyChangesTheLastValues) {
    struct Case {
        const char* name;
        bool resolveOk;
        bool echoOk;
        uint32_t status;
        std::string expected;
        std::pair<int32_t, int32_t> after;
    };
    // Each case starts from the values of a first good reply: 7 ms, 128 bytes.
    const Case cases[] = {
        {"name does not resolve", false, true, 0, "error 2", {7, 128}},
        {"no reply in time", true, false, 0, "error 3", {7, 128}},
        {"destination host unreachable", true, true, 11003, "error 3", {7, 128}},
        {"TTL expired in transit", true, true, 11013, "error 3", {7, 128}},
        {"echo reply", true, true, 0, "reply 127.0.0.5 70 64", {70, 64}},
    };
    for (const Case& c : cases) {
        TKVPing ping(fake);
        Wire(ping);
        ping.Host = "h";
        TData in;
        fake.resolveOk = fake.echoOk = true;
        fake.answer = {{127, 0, 0, 1}, 0, 7, 128};
        ping.actPing(in, 0);
        listener.events.clear();

        fake.resolveOk = c.resolveOk;
        fake.echoOk = c.echoOk;
        fake.answer = {{127, 0, 0, 5}, c.status, 70, 64};
        ping.actPing(in, 0);
        EXPECT_EQ(listener.events, std::vector<std::string>{c.expected}) << c.name;
        EXPECT_EQ(LastValues(ping), c.after) << c.name;
    }
}

TEST_F(Ping, ValuesStartAtZeroAndKeepTheLow16BitsOfTheRoundTrip) {
    TKVPing ping(fake);
    Wire(ping);
    EXPECT_EQ(LastValues(ping), std::make_pair(0, 0));
    ping.Host = "h";
    fake.answer = {{127, 0, 0, 1}, 0, 0x12345, 65535};
    TData in;
    ping.actPing(in, 0);
    EXPECT_EQ(LastValues(ping), std::make_pair(0x2345, 65535));
}

TEST_F(Ping, RequestCarriesTheLow16BitsOfDataSizeTheTimeoutAndTheResolvedAddress) {
    struct Case {
        int32_t dataSize;
        uint16_t sent;
    };
    const Case cases[] = {{128, 128}, {0, 0}, {65535, 65535}, {65536 + 128, 128}, {-1, 65535}};
    TKVPing ping(fake);
    Wire(ping);
    ping.Host = "h";
    ping.Timeout = 1000;
    fake.resolved = {127, 0, 2, 9};
    for (const Case& c : cases) {
        ping.DataSize = c.dataSize;
        TData in;
        ping.actPing(in, 0);
        EXPECT_EQ(fake.sizes.back(), c.sent) << c.dataSize;
    }
    EXPECT_EQ(fake.timeouts.back(), 1000u);
    EXPECT_EQ(fake.destinations.back(), (TIPv4{127, 0, 2, 9}));
}

// A click during the wait starts a second echo on the same engine with another answer: each call
// ends in exactly one outlet with its own reply, the inner one first, and the outer's values stay.
TEST_F(Ping, NestedCallDuringTheWaitFiresItsOwnOutlet) {
    TKVPing ping(fake);
    Wire(ping);
    ping.Host = "h";
    fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    fake.duringEchoArg = this;
    fake.duringEcho = [](void* p) {
        auto* self = static_cast<Ping*>(p);
        const TEchoReply outer = self->fake.answer;
        self->fake.answer = {{127, 0, 0, 3}, 0, 5, 16};
        TData in;
        self->listener.ping->actPing(in, 0);
        self->fake.answer = outer;
    };
    TData in;
    ping.actPing(in, 0);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"reply 127.0.0.3 5 16", "reply 127.0.0.2 9 32"}));
    EXPECT_EQ(LastValues(ping), std::make_pair(9, 32));
}

// The program is closed during the lookup's or the echo's wait: the engine is destroyed inside its
// own call, which then fires nothing and touches nothing of it (ASan sees any access).
TEST_F(Ping, DestroyedWhileItsOwnWaitIsNested) {
    for (const bool inResolve : {true, false}) {
        auto* ping = new TKVPing(fake);
        Wire(*ping);
        ping->Host = "h";
        listener.events.clear();
        fake.nestInResolve = inResolve;
        fake.duringEchoArg = ping;
        fake.duringEcho = [](void* p) { delete static_cast<TKVPing*>(p); };
        TData in;
        ping->actPing(in, 0);
        EXPECT_TRUE(listener.events.empty()) << inResolve;
        EXPECT_EQ(WinsockUsers, 0);
    }
}

TEST(PingText, AddressesAreFourDecimalsWithoutLeadingZeros) {
    EXPECT_EQ(FormatIPv4({127, 10, 0, 5}), "127.10.0.5");
    EXPECT_EQ(FormatIPv4({127, 168, 0, 1}), "127.168.0.1");
    EXPECT_EQ(FormatIPv4({255, 255, 255, 255}), "255.255.255.255");
    EXPECT_EQ(FormatIPv4({0, 0, 0, 0}), "0.0.0.0");
}

TEST(PingText, OnlyStrictDottedQuadsSkipTheLookup) {
    struct Case {
        const char* text;
        bool quad;
    };
    const Case cases[] = {
        {"127.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"127.20.30.40", true},
        {"127.256.0.1", false},
        {"127.0.0", false},
        {"127.0.0.1.", false},
        {"127.0.0.1.2", false},
        {"127.00.0.1", false},
        {"127.0.010.1", false},
        {"1270.0.0.1", false},
        {"127.0.0.1 ", false},
        {"", false},
        {"localhost", false},
        {"127..0.1", false},
        {".127.0.0", false},
        {"0127.0.0.1", false},
        {"127.2.3.4x", false},
        {"-127.2.3.4", false},
        {"127.2.3.0999", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDottedQuad(c.text), c.quad) << c.text;
}

}  // namespace
