// The window thread's waits when the program is closed during nested waits: the quit ends their
// pumping but not the waits, messages other threads send are still answered meanwhile, and the quit
// is handed on; the worker pool, stopped while a wait still has a worker busy, retires that worker
// once its job is done.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

constexpr UINT kRun = WM_APP + 1;  // lParam: a std::function<void()>* to run

LRESULT CALLBACK RunProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != kRun) return DefWindowProcW(hwnd, msg, wp, lp);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the pointer travels in lParam
    (*reinterpret_cast<std::function<void()>*>(lp))();
    return 0;
}

// From another thread, after ms milliseconds: sends the window a message, then sets the event.
struct TNudge {
    HWND window;
    HANDLE event;
    DWORD ms;
    LRESULT answered = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Main(void* p) {
        auto* n = static_cast<TNudge*>(p);
        Sleep(n->ms);
        DWORD_PTR result = 0;
        n->answered = SendMessageTimeoutW(n->window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result);
        SetEvent(n->event);
        return 0;
    }
    void Start() { thread = CreateThread(nullptr, 0, &Main, this, 0, nullptr); }
    void Join() {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(event);
    }
};

// The last echo engine goes during a lookup's wait: a chain nested in it stops the worker pool, the
// quit is posted, and a wait nested further sees it first. Every wait goes on to its own object: the
// job (whose argument it may still touch), or an event another thread sets only once its message was
// answered (that thread may be what is waited for).
TEST(Waits, QuitAndPoolStopInsideNestedWaits) {
    HWND window = MakeMessageWindow(L"WaitTestRunner", &RunProc);
    ASSERT_NE(window, nullptr);
    const uintptr_t handles = HandleProbe();
    TNudge inner{window, CreateEventW(nullptr, TRUE, FALSE, nullptr), 100};
    bool innerEnded = false, jobDone = false;
    int workersAfterStop = -1;
    std::function<void()> nested = [&] {
        PostQuitMessage(7);
        StopWorkerThreads();
        workersAfterStop = WorkerThreadCount();
        inner.Start();
        EXPECT_EQ(PumpingWait(inner.event, 10000), TWaitResult::Signalled);
        innerEnded = !jobDone;
    };
    PostMessageW(window, kRun, 0, reinterpret_cast<LPARAM>(&nested));
    RunOffThread(
        [](void* done) {
            Sleep(300);
            *static_cast<bool*>(done) = true;
        },
        &jobDone);
    EXPECT_TRUE(innerEnded) << "the inner wait ended before the job";
    EXPECT_TRUE(jobDone);
    EXPECT_NE(inner.answered, 0) << "a message sent after the quit was not answered";
    inner.Join();
    EXPECT_EQ(workersAfterStop, 1);
    EXPECT_EQ(WorkerThreadCount(), 0);
    EXPECT_EQ(HandleProbe(), handles);
    // The enclosing loop gets what is posted after the waits, then the quit with its code.
    PostMessageW(window, WM_NULL, 0, 0);
    MSG msg{};
    int dispatched = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
        DispatchMessageW(&msg);
        ++dispatched;
    }
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(dispatched, 1);
    DestroyWindow(window);
}

}  // namespace
