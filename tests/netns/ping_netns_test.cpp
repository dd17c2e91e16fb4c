// The echo engine where waits last: a name that does not resolve and a host that does not answer,
// inside a private network namespace (run_in_netns.sh). The window thread must answer messages
// through every wait, run a chain started meanwhile nested, and, when told to quit during a wait,
// let the echo end, pass the quit on and leave no thread or handle behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "components/kvmmtimer.h"
#include "components/kvping.h"
#include "tests/support/echo.h"
#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

int ThreadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    int n = 0;
    for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    }
    CloseHandle(snap);
    return n;
}

// Runs on the window thread when its message is dispatched; lParam names the action.
constexpr UINT kProbe = WM_APP + 1;
constexpr UINT kNestedPing = WM_APP + 2;
constexpr UINT kQuit = WM_APP + 3;
constexpr UINT kClose = WM_APP + 4;  // as the main form closes: links off, then the quit
TKVPing* nestedPing = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kProbe:
            return 1;
        case kNestedPing: {
            TData in;
            nestedPing->actPing(in, 0);
            return 0;
        }
        case kClose:
            DisableLinks();
            [[fallthrough]];
        case kQuit:
            PostQuitMessage(static_cast<int>(wp));
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// Another thread sends the window a message every few milliseconds and keeps the longest time one
// took to be answered.
class Prober {
public:
    explicit Prober(HWND window) : window_(window) {
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~Prober() { Stop(); }
    double Stop() {
        if (thread_ != nullptr) {
            stop_ = true;
            // It may be inside a send: answer it until it has ended.
            while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
                MSG m;
                PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return longest_;
    }
    int answers() const { return answers_; }

private:
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<Prober*>(p);
        while (!self->stop_) {
            const double start = SteadyMs();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(self->window_, kProbe, 0, 0, SMTO_NORMAL, 10000, &result);
            const double took = SteadyMs() - start;
            if (took > self->longest_) self->longest_ = took;
            if (result == 1) ++self->answers_;
            Sleep(5);
        }
        return 0;
    }
    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    double longest_ = 0;
    std::atomic<int> answers_{0};
};

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
    // A good echo first, so a failure can be seen to keep the values it left.
    void Answered(TKVPing& ping) {
        ping.Host = "127.0.0.1";
        TData in;
        ping.actPing(in, 0);
        ASSERT_EQ(l.events, std::vector<std::string>{"reply 127.0.0.1 128"});
        l.Clear();
    }

    HWND window = nullptr;
    EchoListener l;
};

TEST_F(Netns, NameThatDoesNotResolveFailsWithCode2AndKeepsTheLastValues) {
    TKVPing ping;
    Wire(ping);
    Answered(ping);
    const auto before = LastValues(ping);
    EXPECT_EQ(before.second, 128);
    for (const char* host : {"no-such-host.invalid", "no-such-host"}) {
        ping.Host = host;
        TData in;
        ping.actPing(in, 0);
        EXPECT_EQ(l.events, std::vector<std::string>{"error 2"}) << host;
        EXPECT_EQ(LastValues(ping), before) << host;
        l.events.clear();
    }
    // The failed lookup leaves its error code on the worker thread; the next good one must not read
    // it as its own.
    ping.Host = "localhost";
    ping.DataSize = 64;
    TData in;
    ping.actPing(in, 0);
    EXPECT_EQ(l.events, std::vector<std::string>{"reply 127.0.0.1 64"});
    EXPECT_EQ(LastValues(ping).second, 64);
}

// The host and its name both go silent: code 3 after about Timeout, values kept, and the window
// thread answered sent messages all the while (a generous bound: it proves no freeze, not speed).
TEST_F(Netns, SilentHostFailsWithCode3AfterTheTimeoutWhileMessagesAreAnswered) {
    TKVPing ping;
    Wire(ping);
    Answered(ping);
    const auto before = LastValues(ping);
    ASSERT_TRUE(SetSilent(true));
    for (const char* host : {"127.0.0.1", "localhost"}) {
        ping.Host = host;
        Prober prober(window);
        Sleep(20);
        const double start = SteadyMs();
        TData in;
        ping.actPing(in, 0);
        const double took = SteadyMs() - start;
        const double longest = prober.Stop();
        EXPECT_EQ(l.events, std::vector<std::string>{"error 3"})
            << host << ": a reply means the echo left the namespace";
        EXPECT_GE(took, 900) << host;
        EXPECT_LT(took, 3000) << host;
        EXPECT_LT(longest, 250) << host << ": the window thread stopped answering";
        EXPECT_GE(prober.answers(), 20) << host;
        EXPECT_EQ(LastValues(ping), before) << host;
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

// The scheme's road: a timer tick starts the echo to a silent host and the main window is closed
// during that wait (links off, quit posted). The echo ends, the loop gets the quit, and once the
// timer and the engine are destroyed no thread, handle, timer event or tick window is left.
TEST_F(Netns, ClosingDuringATickDrivenEchoLeavesNothingBehind) {
    struct Chain {
        HWND window;
        TKVPing* ping;
        int ticks = 0;
        double echoTook = 0;
        void onTimer(TData& d, uint16_t) {
            ++ticks;
            PostMessageW(window, kClose, 9, 0);
            const double start = SteadyMs();
            ping->actPing(d, 0);
            echoTook = SteadyMs() - start;
        }
    };
    auto cycle = [&](bool close) {
        EnableLinks();
        auto* ping = new TKVPing;
        Wire(*ping);
        ping->Host = "localhost";
        auto* timer = new TKVMMTimer;
        Chain chain{window, ping};
        timer->evTimer =
            close ? MakeEvent<&Chain::onTimer>(&chain, 0) : MakeEvent<&TKVPing::actPing>(ping, 0);
        timer->SetResolution(1);
        timer->SetInterval(100);
        timer->SetCount(close ? 0 : 1);
        TData none;
        timer->actStart(none, 0);
        MSG msg;
        if (close) {
            while (GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            EXPECT_EQ(msg.wParam, 9u);
            EXPECT_EQ(chain.ticks, 1);
            EXPECT_GE(chain.echoTook, 900) << "the echo was let end";
            EXPECT_EQ(RunningTimerEvents(), 1) << "still running until the scheme destroys it";
        } else {
            while (l.events.empty() && GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
            EXPECT_EQ(l.events, std::vector<std::string>{"error 3"});
        }
        delete timer;
        delete ping;
        l.events.clear();
    };
    ASSERT_TRUE(SetSilent(true));
    // A first round lets the system libraries make what they keep for the whole process (winmm's
    // timer thread among them).
    cycle(false);
    const int threadsBefore = ThreadsOfThisProcess();
    const uintptr_t handlesBefore = HandleProbe();
    cycle(true);
    EXPECT_EQ(RunningTimerEvents(), 0);
    EXPECT_EQ(TickWindowCount(), 0);
    EXPECT_EQ(WorkerThreadCount(), 0);
    // The system's own timer thread comes and goes with the timer events: a leak stays, it does not.
    for (int i = 0; i < 40 && (ThreadsOfThisProcess() != threadsBefore || HandleProbe() != handlesBefore);
         ++i)
        Sleep(50);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    EXPECT_EQ(HandleProbe(), handlesBefore);
}

}  // namespace
