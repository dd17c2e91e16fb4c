// The echo engine where waits last, inside a private network namespace (run_in_netns.sh), for what the
// run of the real program does not reach: a good lookup right after a failed one, and two requests
// outstanding together to a silent host (a tick's and a click's), by address and by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"

namespace {

// Both requests wait at the same time, each ending in its own outlet about Timeout after the start,
// while the thread keeps taking its messages.
TEST(Netns, LookupsAndRequestsOutstandingTogetherToASilentHost) {
    // Outside the namespace a lookup of a made-up name would leave the machine.
    ASSERT_TRUE(InPrivateNamespace()) << "run through tests/netns/run_in_netns.sh";
    // The host, whether it is silent (and a second request goes out at once), and the outlets fired.
    const struct {
        const char* host;
        bool silent;
        std::vector<std::string> events;
    } cases[] = {
        {"127.0.0.1", false, {"reply 127.0.0.1 128"}}, {"no-such-host", false, {"error 2"}},
        {"localhost", false, {"reply 127.0.0.1 128"}},  // no error code left by the failed lookup
        {"127.0.0.1", true, {"error 3", "error 3"}},   {"localhost", true, {"error 3", "error 3"}},
    };
    EnableLinks();
    TKVPing ping;
    EchoListener l;
    l.Wire(ping);
    ping.Timeout = 1000;
    ping.DataSize = 128;
    for (const auto& [host, silent, events] : cases) {
        SCOPED_TRACE(host);
        ASSERT_TRUE(SetSilent(silent));
        ping.Host = host;
        l.Clear();
        const double start = SteadyMs();
        PingOnce(ping);
        if (silent) PingOnce(ping);
        ASSERT_TRUE(PumpUntil([&] { return ping.Outstanding() == 0; }, 15000));
        ASSERT_EQ(l.events, events);
        if (!silent) continue;
        EXPECT_GE(l.at[0] - start, 900);
        EXPECT_LT(l.at[0] - start, 2500);
        EXPECT_LT(l.at[1] - l.at[0], 500) << "the second request waited for the first";
    }
    DisableLinks();
    SetSilent(false);
}

}  // namespace
