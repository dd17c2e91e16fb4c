// The window thread's waits: messages keep being dispatched, WM_QUIT ends the pumping but not the
// wait and is handed on, and the worker pool serves nested waits and ends without leaving threads.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

constexpr UINT kRun = WM_APP + 1;  // lParam: a std::function<void()>* to run

LRESULT CALLBACK RunProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRun) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the pointer travels in lParam
        (*reinterpret_cast<std::function<void()>*>(lp))();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct TSignal {
    HANDLE event;
    DWORD ms;
};

DWORD WINAPI SignalMain(void* p) {
    auto* s = static_cast<TSignal*>(p);
    Sleep(s->ms);
    SetEvent(s->event);
    delete s;
    return 0;
}

// Sets the event after ms milliseconds, from another thread.
HANDLE SignalAfter(HANDLE event, DWORD ms) {
    return CreateThread(nullptr, 0, &SignalMain, new TSignal{event, ms}, 0, nullptr);
}

class Waits : public ::testing::Test {
protected:
    void SetUp() override {
        window = MakeMessageWindow(L"WaitTestRunner", &RunProc);
        ASSERT_NE(window, nullptr);
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        CloseHandle(event);
        StopWorkerThreads();
    }
    void Post(std::function<void()>* f) { PostMessageW(window, kRun, 0, reinterpret_cast<LPARAM>(f)); }
    HANDLE SignalLater(DWORD ms) { return SignalAfter(event, ms); }
    static void Join(HANDLE thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }

    HWND window = nullptr;
    HANDLE event = nullptr;
};

TEST_F(Waits, MessagesAreDispatchedUntilTheObjectIsSignalledOrTheTimeRunsOut) {
    struct Case {
        DWORD signalAfter;  // INFINITE: never
        DWORD timeout;
        TWaitResult expected;
    };
    const Case cases[] = {
        {150, INFINITE, TWaitResult::Signalled},
        {150, 5000, TWaitResult::Signalled},
        {INFINITE, 150, TWaitResult::TimedOut},
    };
    for (const Case& c : cases) {
        ResetEvent(event);
        int ran = 0;
        std::function<void()> note = [&] { ++ran; };
        Post(&note);
        HANDLE signaller = c.signalAfter == INFINITE ? nullptr : SignalLater(c.signalAfter);
        // Posted from inside the wait, so the second one arrives while the wait is already on.
        std::function<void()> again = [&] {
            ++ran;
            if (ran < 5) Post(&again);
        };
        Post(&again);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(PumpingWait(event, c.timeout), c.expected);
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_EQ(ran, 5);
        EXPECT_GE(took, 120u);
        EXPECT_LT(took, 2000u);
        if (signaller != nullptr) Join(signaller);
    }
}

// Once the quit is seen the wait stops dispatching, but a message another thread sends must still
// be answered: that thread may be what the awaited object waits for.
struct TSender {
    HWND window;
    HANDLE event;
    LRESULT answered = 0;
};

DWORD WINAPI SendThenSignal(void* p) {
    auto* s = static_cast<TSender*>(p);
    Sleep(100);  // the wait has seen the quit by now
    DWORD_PTR result = 0;
    s->answered = SendMessageTimeoutW(s->window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result);
    SetEvent(s->event);
    return 0;
}

TEST_F(Waits, QuitEndsThePumpingButNotTheWaitAndIsPostedAgain) {
    int after = 0;
    std::function<void()> quit = [&] { PostQuitMessage(7); };
    std::function<void()> late = [&] { ++after; };
    Post(&quit);
    Post(&late);
    TSender sender{window, event};
    HANDLE thread = CreateThread(nullptr, 0, &SendThenSignal, &sender, 0, nullptr);
    const ULONGLONG start = GetTickCount64();
    // PostQuitMessage's WM_QUIT comes only once the queue is empty, so "late" runs first; the wait
    // must then go on to its event rather than return at the quit.
    EXPECT_EQ(PumpingWait(event, 10000), TWaitResult::Signalled);
    EXPECT_GE(GetTickCount64() - start, 90u);
    EXPECT_LT(GetTickCount64() - start, 2000u);
    Join(thread);
    EXPECT_EQ(after, 1);
    EXPECT_NE(sender.answered, 0) << "a message sent after the quit was not answered";

    MSG msg;
    std::function<void()> ignored = [] {};
    Post(&ignored);
    int got;
    int dispatched = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        DispatchMessageW(&msg);
        ++dispatched;
    }
    EXPECT_EQ(got, 0) << "the quit reached the enclosing loop";
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(dispatched, 1);
}

// A quit seen by an inner wait reaches the outer one, which also keeps waiting for its own object.
TEST_F(Waits, QuitPassesThroughNestedWaits) {
    HANDLE inner = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> order;
    std::function<void()> nested = [&] {
        PostQuitMessage(3);
        HANDLE t = SignalAfter(inner, 100);
        EXPECT_EQ(PumpingWait(inner, INFINITE), TWaitResult::Signalled);
        order.push_back("inner");
        Join(t);
    };
    Post(&nested);
    HANDLE signaller = SignalLater(300);
    EXPECT_EQ(PumpingWait(event, INFINITE), TWaitResult::Signalled);
    order.push_back("outer");
    Join(signaller);
    EXPECT_EQ(order, (std::vector<std::string>{"inner", "outer"}));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    CloseHandle(inner);
}

TEST_F(Waits, JobsRunOffThisThreadAndANestedJobTakesAnotherWorker) {
    const uintptr_t before = HandleProbe();
    struct Job {
        DWORD ms;
        DWORD thread = 0;
        std::vector<std::string>* order;
        const char* name;
    };
    std::vector<std::string> order;
    Job outer{200, 0, &order, "outer"};
    Job inner{50, 0, &order, "inner"};
    auto run = [](void* p) {
        auto* j = static_cast<Job*>(p);
        j->thread = GetCurrentThreadId();
        Sleep(j->ms);
        j->order->push_back(j->name);
    };
    int workersDuringInner = 0;
    std::function<void()> click = [&] {
        RunOffThread(run, &inner);
        workersDuringInner = WorkerThreadCount();
    };
    Post(&click);
    RunOffThread(run, &outer);
    EXPECT_EQ(order, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_EQ(workersDuringInner, 2);
    EXPECT_NE(outer.thread, GetCurrentThreadId());
    EXPECT_NE(inner.thread, GetCurrentThreadId());
    EXPECT_NE(outer.thread, inner.thread);

    // Idle workers are reused, not multiplied.
    RunOffThread(run, &inner);
    RunOffThread(run, &outer);
    EXPECT_EQ(WorkerThreadCount(), 2);

    StopWorkerThreads();
    EXPECT_EQ(WorkerThreadCount(), 0);
    EXPECT_EQ(HandleProbe(), before);
}

// The pool is stopped while an outer wait still has a worker busy: that worker ends once its job
// is done and the wait has returned.
TEST_F(Waits, StoppingDuringAJobRetiresItsWorkerAfterwards) {
    const uintptr_t before = HandleProbe();
    int workersAfterStop = -1;
    std::function<void()> stop = [&] {
        StopWorkerThreads();
        workersAfterStop = WorkerThreadCount();
    };
    Post(&stop);
    bool done = false;
    RunOffThread(
        [](void* p) {
            Sleep(150);
            *static_cast<bool*>(p) = true;
        },
        &done);
    EXPECT_TRUE(done);
    EXPECT_EQ(workersAfterStop, 1);
    EXPECT_EQ(WorkerThreadCount(), 0);
    EXPECT_EQ(HandleProbe(), before);
}

}  // namespace
