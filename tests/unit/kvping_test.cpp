// The echo engine's steps over a fake platform: where the host text comes from, the failure codes,
// exactly one outlet per call, the shared socket-library count, the last-reply values, and calls
// nested in the waits (another echo, or the engine's destruction).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/unit/testdata.h"

namespace {

class FakeEcho final : public TEchoService {
public:
    bool startOk = true;
    int starts = 0;
    int stops = 0;
    bool resolveOk = true;
    bool echoOk = true;
    TEchoReply answer{{127, 0, 0, 1}, 0, 3, 128};
    std::vector<std::string> names;
    std::string request;  // the last echo: "ADDRESS SIZE TIMEOUT"
    // Runs inside the lookup's or the echo's wait, as a chain started meanwhile would.
    void (*nested)(void*) = nullptr;
    void* nestedArg = nullptr;
    bool nestInResolve = false;

    bool StartSockets() override {
        ++starts;
        return startOk;
    }
    void StopSockets() override { ++stops; }
    bool Resolve(const std::string& host, TIPv4& address) override {
        names.push_back(host);
        if (nestInResolve) Nest();
        address = {127, 0, 2, 9};
        return resolveOk;
    }
    bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) override {
        request = FormatIPv4(address) + " " + std::to_string(dataSize) + " " + std::to_string(timeout);
        if (!nestInResolve) Nest();
        if (echoOk) reply = answer;
        return echoOk;
    }
    void Nest() {
        auto run = nested;
        nested = nullptr;
        if (run != nullptr) run(nestedArg);
    }
};

class Ping : public LinkedTest {
protected:
    void SetUp() override {
        ASSERT_EQ(WinsockUsers, 0);
        LinkedTest::SetUp();
    }
    void TearDown() override {
        LinkedTest::TearDown();
        EXPECT_EQ(WinsockUsers, 0);
    }
    void Ping1(TKVPing& ping) {
        TData in;
        ping.actPing(in, 0);
    }

public:
    FakeEcho fake;
    EchoListener listener;
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
}

// While the socket library is not started every call says so (code 1), never "no such host", and
// tries again; once it starts, only a name that truly does not resolve gives code 2. A library
// that never started is not stopped.
TEST_F(Ping, SocketLibraryThatDidNotStartIsReportedOnEveryCall) {
    fake.startOk = false;
    {
        TKVPing ping(fake);
        listener.Wire(ping);
        ping.Host = "127.0.0.1";
        Ping1(ping);
        Ping1(ping);
        EXPECT_TRUE(fake.names.empty());
        EXPECT_EQ(fake.starts, 3);
        fake.startOk = true;
        fake.resolveOk = false;
        Ping1(ping);
        fake.resolveOk = true;
        Ping1(ping);
        EXPECT_EQ(listener.events,
                  (std::vector<std::string>{"error 1", "error 1", "error 2", "reply 127.0.0.1 128"}));
    }
    EXPECT_EQ(fake.stops, 1);
    fake.startOk = false;
    { TKVPing never(fake); }
    EXPECT_EQ(fake.stops, 1);
}

TEST_F(Ping, HostTextComesFromPinThenPropertyThenIncomingValue) {
    struct Case {
        const char* host;
        bool pin;
        const char* expected;
        bool incomingConsumed;
    };
    const Case cases[] = {
        {"prop", true, "from-pin", false}, {"prop", false, "prop", false}, {"", false, "in", true}};
    Source pin{Str("from-pin")};
    for (const Case& c : cases) {
        TKVPing ping(fake);
        ping.Host = c.host;
        if (c.pin) ping.pinHost = MakeEvent<&Source::get>(&pin, 0);
        TData in = Str("in");
        fake.names.clear();
        ping.actPing(in, 0);
        EXPECT_EQ(fake.names, std::vector<std::string>{c.expected});
        EXPECT_EQ(in.Type == kTypeNull, c.incomingConsumed) << c.expected;
    }
}

// The resolver answers an empty name with this computer and does not check a name's length.
TEST_F(Ping, EmptyAndOverlongHostsFailWithoutALookup) {
    struct Case {
        size_t length;
        bool looksUp;
    };
    const Case cases[] = {{0, false}, {1, true}, {255, true}, {256, false}, {100000, false}};
    TKVPing ping(fake);
    listener.Wire(ping);
    for (const Case& c : cases) {
        ping.Host = std::string(c.length, 'a');
        listener.Clear();
        fake.names.clear();
        Ping1(ping);
        EXPECT_EQ(fake.names.size(), c.looksUp ? 1u : 0u) << c.length;
        EXPECT_EQ(listener.events, std::vector<std::string>{c.looksUp ? "reply 127.0.0.1 128" : "error 2"})
            << c.length;
    }
}

// Each case starts from the values of a first good reply (7 ms, 128 bytes); the request carries the
// resolved address, DataSize and Timeout.
TEST_F(Ping, EachCallFiresExactlyOneOutletAndOnlyAGoodReplyChangesTheLastValues) {
    struct Case {
        const char* name;
        bool resolveOk, echoOk;
        uint32_t status;
        const char* expected;
        std::pair<int32_t, int32_t> after;
    };
    const Case cases[] = {
        {"name does not resolve", false, true, 0, "error 2", {7, 128}},
        {"no reply in time", true, false, 0, "error 3", {7, 128}},
        {"destination host unreachable", true, true, 11003, "error 3", {7, 128}},
        {"TTL expired in transit", true, true, 11013, "error 3", {7, 128}},
        {"echo reply", true, true, 0, "reply 127.0.0.5 64", {70, 64}},
    };
    for (const Case& c : cases) {
        TKVPing ping(fake);
        listener.Wire(ping);
        ping.Host = "h";
        ping.DataSize = 32;
        ping.Timeout = 1000;
        fake.resolveOk = fake.echoOk = true;
        fake.answer = {{127, 0, 0, 1}, 0, 7, 128};
        Ping1(ping);
        EXPECT_EQ(fake.request, "127.0.2.9 32 1000");
        listener.Clear();
        fake.resolveOk = c.resolveOk;
        fake.echoOk = c.echoOk;
        fake.answer = {{127, 0, 0, 5}, c.status, 70, 64};
        Ping1(ping);
        EXPECT_EQ(listener.events, std::vector<std::string>{c.expected}) << c.name;
        EXPECT_EQ(LastValues(ping), c.after) << c.name;
    }
}

// A click during the wait starts a second echo on the same engine with another answer: each call
// ends in exactly one outlet with its own reply, the inner one first, and the outer's values stay.
TEST_F(Ping, NestedCallDuringTheWaitFiresItsOwnOutlet) {
    TKVPing ping(fake);
    listener.Wire(ping);
    ping.Host = "h";
    fake.answer = {{127, 0, 0, 2}, 0, 9, 32};
    fake.nestedArg = this;
    fake.nested = [](void* p) {
        auto* self = static_cast<Ping*>(p);
        const TEchoReply outer = self->fake.answer;
        self->fake.answer = {{127, 0, 0, 3}, 0, 5, 16};
        TData in;
        self->listener.ping->actPing(in, 0);
        self->fake.answer = outer;
    };
    Ping1(ping);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"reply 127.0.0.3 16", "reply 127.0.0.2 32"}));
    EXPECT_EQ(LastValues(ping), std::make_pair(9, 32));
}

// The program is closed during the lookup's or the echo's wait: the engine is destroyed inside its
// own call, which then fires nothing and touches nothing of it (ASan sees any access).
TEST_F(Ping, DestroyedWhileItsOwnWaitIsNested) {
    for (const bool inResolve : {true, false}) {
        auto* ping = new TKVPing(fake);
        listener.Wire(*ping);
        listener.Clear();
        ping->Host = "h";
        fake.nestInResolve = inResolve;
        fake.nestedArg = ping;
        fake.nested = [](void* p) { delete static_cast<TKVPing*>(p); };
        Ping1(*ping);
        EXPECT_TRUE(listener.events.empty()) << inResolve;
        EXPECT_EQ(WinsockUsers, 0);
    }
}

TEST(PingText, AddressesAreFourDecimalsWithoutLeadingZeros) {
    EXPECT_EQ(FormatIPv4({127, 10, 0, 5}), "127.10.0.5");
    EXPECT_EQ(FormatIPv4({255, 255, 255, 255}), "255.255.255.255");
    EXPECT_EQ(FormatIPv4({0, 0, 0, 0}), "0.0.0.0");
}

// A leading zero can mean octal to the resolver: such text is looked up, not taken as it is.
TEST(PingText, OnlyStrictDottedQuadsSkipTheLookup) {
    struct Case {
        const char* text;
        bool quad;
    };
    const Case cases[] = {
        {"127.0.0.1", true},    {"0.0.0.0", true},     {"255.255.255.255", true}, {"127.256.0.1", false},
        {"127.0.0", false},     {"127.0.0.1.", false}, {"127.0.0.1.2", false},    {"127.00.0.1", false},
        {"127.0.010.1", false}, {"1270.0.0.1", false}, {"127.0.0.1 ", false},     {"", false},
        {"localhost", false},   {"127..0.1", false},   {"-127.2.3.4", false},     {"127.2.3.0999", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDottedQuad(c.text), c.quad) << c.text;
}

}  // namespace
