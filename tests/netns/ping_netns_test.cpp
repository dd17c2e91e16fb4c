// The echo engine where waits last, inside a private network namespace (run_in_netns.sh), for what the
// run of the real program does not reach: a good lookup right after a failed one, and a click that
// starts a second echo to a silent host during the wait, by address and by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"

namespace {

// A click as the window thread sees it: dispatched while an echo waits, it starts a second one.
constexpr UINT kNestedPing = WM_APP + 2;
TKVPing* nestedPing = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kNestedPing) return DefWindowProcW(hwnd, msg, wp, lp);
    PingOnce(*nestedPing);
    return 0;
}

// The echo started by the click runs nested and ends first, each
// echo with its own outlet, about Timeout after the start. By address the click lands in the outer
// echo's wait, so both waits overlap; by name it may land in the lookup's wait, before the outer echo
// goes out.
TEST(Netns, LookupsAndEchoesStartedDuringTheWaitToASilentHost) {
    // Outside the namespace a lookup of a made-up name would leave the machine.
    ASSERT_TRUE(InPrivateNamespace()) << "run through tests/netns/run_in_netns.sh";
    HWND window = MakeMessageWindow(L"NetnsTestWindow", &WindowProc);
    ASSERT_NE(window, nullptr);
    // The host, whether it is silent (and a click comes during the wait), and the outlets fired.
    const std::tuple<const char*, bool, std::vector<std::string>> cases[] = {
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
    nestedPing = &ping;
    for (const auto& [host, silent, events] : cases) {
        SCOPED_TRACE(host);
        ASSERT_TRUE(SetSilent(silent));
        ping.Host = host;
        l.Clear();
        if (silent) PostMessageW(window, kNestedPing, 0, 0);
        const double start = SteadyMs();
        PingOnce(ping);
        ASSERT_EQ(l.events, events);
        if (!silent) continue;
        EXPECT_GE(l.at[0] - start, 900);
        EXPECT_LT(l.at[0] - start, 2500);
        EXPECT_GE(l.at[1] - start, 900);
        if (host[0] == '1') {
            EXPECT_LT(l.at[1] - l.at[0], 500) << "the outer echo was waiting at the same time";
        }
    }
    DisableLinks();
    SetSilent(false);
    DestroyWindow(window);
}

}  // namespace
