#include "toolkit/winthread.h"

#include <memory>
#include <mutex>
#include <vector>

#include "toolkit/applet.h"

TWaitResult PumpingWait(HANDLE object, DWORD timeout) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    bool quit = false;
    WPARAM exitCode = 0;
    TWaitResult result = TWaitResult::Failed;
    for (;;) {
        DWORD left = timeout;
        if (timeout != INFINITE) {
            const ULONGLONG now = GetTickCount64();
            left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        // MWMO_INPUTAVAILABLE: messages already seen by an earlier peek still wake us. After the quit
        // only messages sent from other threads are answered: the sender may be what we wait for.
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &object, left, quit ? QS_SENDMESSAGE : QS_ALLINPUT,
                                                    quit ? 0 : MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) {
            result = TWaitResult::Signalled;
            break;
        }
        if (r == WAIT_TIMEOUT) {
            result = TWaitResult::TimedOut;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        if (quit) {
            // A peek delivers the sent messages and removes nothing from the queue.
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        // The main loop's own step: input and paint first, the application's filter, the same
        // translation, so the window behaves alike whether or not something is being waited for.
        while (ProcessMessage(Applet, msg)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                exitCode = msg.wParam;
                break;
            }
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(exitCode));
    return result;
}

// ---- Worker pool

namespace {

struct TWorker {
    HANDLE thread = nullptr;
    HANDLE go = nullptr;    // auto-reset: a job (or the end, when job is null) is set
    HANDLE done = nullptr;  // auto-reset: the job has finished
    void (*job)(void*) = nullptr;
    void* arg = nullptr;
    bool busy = false;
    bool retire = false;  // end it when its current job returns

    ~TWorker() {
        if (thread != nullptr) {
            job = nullptr;
            SetEvent(go);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        if (go != nullptr) CloseHandle(go);
        if (done != nullptr) CloseHandle(done);
    }
};

DWORD WINAPI WorkerMain(void* param) {
    auto* w = static_cast<TWorker*>(param);
    for (;;) {
        WaitForSingleObject(w->go, INFINITE);
        if (w->job == nullptr) return 0;
        w->job(w->arg);
        SetEvent(w->done);
    }
}

std::mutex poolLock;
std::vector<std::unique_ptr<TWorker>> pool;

// Takes an idle worker, or starts one; null when the system gives no thread.
TWorker* TakeWorker() {
    std::lock_guard<std::mutex> hold(poolLock);
    for (auto& w : pool) {
        if (!w->busy && !w->retire) {
            w->busy = true;
            return w.get();
        }
    }
    auto w = std::make_unique<TWorker>();
    w->go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    w->done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (w->go == nullptr || w->done == nullptr) return nullptr;
    w->thread = CreateThread(nullptr, 0, &WorkerMain, w.get(), 0, nullptr);
    if (w->thread == nullptr) return nullptr;
    w->busy = true;
    pool.push_back(std::move(w));
    return pool.back().get();
}

}  // namespace

void RunOffThread(void (*job)(void* arg), void* arg) {
    TWorker* w = TakeWorker();
    if (w == nullptr) {
        job(arg);
        return;
    }
    w->job = job;
    w->arg = arg;
    SetEvent(w->go);
    // The job may touch arg until done is set, so the wait has no timeout.
    PumpingWait(w->done, INFINITE);

    std::unique_ptr<TWorker> ended;
    {
        std::lock_guard<std::mutex> hold(poolLock);
        w->busy = false;
        if (w->retire) {
            for (auto it = pool.begin(); it != pool.end(); ++it) {
                if (it->get() == w) {
                    ended = std::move(*it);
                    pool.erase(it);
                    break;
                }
            }
        }
    }
    // ended's destructor joins the thread outside the lock.
}

void StopWorkerThreads() {
    std::vector<std::unique_ptr<TWorker>> idle;
    {
        std::lock_guard<std::mutex> hold(poolLock);
        for (auto it = pool.begin(); it != pool.end();) {
            if ((*it)->busy) {
                (*it)->retire = true;
                ++it;
            } else {
                idle.push_back(std::move(*it));
                it = pool.erase(it);
            }
        }
    }
}

int WorkerThreadCount() {
    std::lock_guard<std::mutex> hold(poolLock);
    return static_cast<int>(pool.size());
}
