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

    bool StartSockets() override {
        ++starts;
        return startOk;
    }
    void StopSockets() override { ++stops; }
    bool Resolve(const std::string& host, TIPv4& address) override {
        names.push_back(host);
        if (resolveOk) address = resolved;
        return resolveOk;
    }
    bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) override {
        destinations.push_back(address);
        sizes.push_back(dataSize);
        timeouts.push_back(timeout);
        if (duringEcho != nullptr) {
            auto run = duringEcho;
            duringEcho = nullptr;
            run(duringEchoArg);
        }
        if (echoOk) reply = answer;
        return echoOk;
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

TEST_F(Ping, FailedStartStillCountsAndLaterPingsStillRun) {
    fake.startOk = false;
    {
        TKVPing ping(fake);
        EXPECT_EQ(WinsockUsers, 1);
        {
            TKVPing second(fake);  // counted as started without asking again
            EXPECT_EQ(fake.starts, 1);
        }
        EXPECT_EQ(fake.stops, 0);
        Wire(ping);
        fake.resolveOk = false;  // what the real resolver answers without the library
        TData in;
        ping.actPing(in, 0);
        EXPECT_EQ(listener.events, std::vector<std::string>{"error 2"});
    }
    EXPECT_EQ(fake.stops, 1);
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
        {"", nullptr, "", false, false},
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

// A click during the wait starts a second echo on the same engine; each call still ends in exactly
// one outlet, the inner one first, and the outer reply is the one whose values stay.
TEST_F(Ping, NestedCallDuringTheWaitFiresItsOwnOutlet) {
    TKVPing ping(fake);
    Wire(ping);
    ping.Host = "h";
    fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    fake.duringEchoArg = &ping;
    fake.duringEcho = [](void* p) {
        TData in;
        static_cast<TKVPing*>(p)->actPing(in, 0);
    };
    TData in;
    ping.actPing(in, 0);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"reply 127.0.0.2 9 32", "reply 127.0.0.2 9 32"}));
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
