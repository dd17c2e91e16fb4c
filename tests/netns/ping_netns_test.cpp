// The echo engine where waits last, inside a private network namespace (run_in_netns.sh), for what the
// run of the real program does not reach: lookups by name and a chain started during a wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
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
    TData in;
    nestedPing->actPing(in, 0);
    return 0;
}

class Netns : public ::testing::Test {
protected:
    void SetUp() override {
        // Outside the namespace a lookup of a made-up name would leave the machine.
        ASSERT_TRUE(InPrivateNamespace()) << "run through tests/netns/run_in_netns.sh";
        ASSERT_TRUE(SetSilent(false));
        window = MakeMessageWindow(L"NetnsTestWindow", &WindowProc);
        ASSERT_NE(window, nullptr);
        EnableLinks();
    }
    void TearDown() override {
        DisableLinks();
        if (window != nullptr) DestroyWindow(window);
        SetSilent(false);
    }
    void Wire(TKVPing& ping) {
        l.Wire(ping);
        ping.DataSize = 128;
        ping.Timeout = 1000;
    }

    HWND window = nullptr;
    EchoListener l;
};

// The failures the program's own run does not reach: a failed lookup must not leave its error code
// for the next good one, and a host silent by name fails with code 3 after about Timeout. Either way
// each failure keeps the last values.
TEST_F(Netns, FailedLookupsAndSilentNamesKeepTheLastValues) {
    TKVPing ping;
    Wire(ping);
    auto before = LastValues(ping);
    const struct {
        const char* host;
        bool silent;
        int32_t size;
        const char* event;
    } cases[] = {
        {"127.0.0.1", false, 128, "reply 127.0.0.1 128"},  // first, so the failures have values to keep
        {"no-such-host", false, 128, "error 2"},
        {"localhost", false, 64, "reply 127.0.0.1 64"},
        {"localhost", true, 32, "error 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        ASSERT_TRUE(SetSilent(c.silent));
        ping.Host = c.host;
        ping.DataSize = c.size;
        const double start = SteadyMs();
        TData in;
        ping.actPing(in, 0);
        const double took = SteadyMs() - start;
        EXPECT_EQ(l.events, std::vector<std::string>{c.event});
        if (c.event[0] == 'r') {
            EXPECT_EQ(LastValues(ping).second, c.size);
            before = LastValues(ping);
        }
        EXPECT_EQ(LastValues(ping), before);
        if (c.silent) {
            EXPECT_GE(took, 900);
            EXPECT_LT(took, 3000);
        }
        l.events.clear();
    }
}

// A click during the wait starts a second echo: it runs nested, ends first with its own outlet, and
// the outer echo still ends with its own. By address the click lands in the outer echo's wait, so
// both waits overlap; by name it may land in the lookup's wait, before the outer echo goes out.
TEST_F(Netns, EchoStartedDuringTheWaitRunsNestedAndBothReport) {
    TKVPing ping;
    Wire(ping);
    ASSERT_TRUE(SetSilent(true));
    nestedPing = &ping;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        ping.Host = host;
        l.Clear();
        PostMessageW(window, kNestedPing, 0, 0);
        const double start = SteadyMs();
        TData in;
        ping.actPing(in, 0);
        ASSERT_EQ(l.events, (std::vector<std::string>{"error 3", "error 3"})) << host;
        EXPECT_GE(l.at[0] - start, 900) << host;
        EXPECT_GE(l.at[1] - start, 900) << host;
        if (std::strcmp(host, "127.0.0.1") == 0) {
            EXPECT_LT(l.at[1] - l.at[0], 500) << "the outer echo was waiting at the same time";
        }
    }
}

}  // namespace
