#include "toolkit/winthread.h"

#include <atomic>

#include "support/runerror.h"

namespace {

constexpr UINT kJobDone = WM_APP + 0x4A;  // lParam: the TBackgroundJob

std::atomic<int> jobsRunning{0};

// The window finished jobs come back to, one per starting thread, made on first use and kept for
// the thread's life: made per job it would cost every echo a window.
thread_local HWND homeWindow = nullptr;

}  // namespace

struct TJobDelivery {
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg != kJobDone) return DefWindowProcW(hwnd, msg, wp, lp);
        RestoreFloatTraps();
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the job travels in lParam
        auto* job = reinterpret_cast<TBackgroundJob*>(lp);
        --jobsRunning;
        if (!job->abandoned_) job->Finish();
        delete job;
        return 0;
    }

    // On the worker, after Work: from here on only the starting thread touches the job. A full queue
    // is waited out; a window that is gone (its thread ended) takes nothing, and nobody else will
    // free the job then.
    static void HandBack(TBackgroundJob* job) {
        while (!PostMessageW(job->home_, kJobDone, 0, reinterpret_cast<LPARAM>(job))) {
            if (!IsWindow(job->home_)) {
                --jobsRunning;
                delete job;
                return;
            }
            Sleep(10);
        }
    }

    static void CALLBACK OnWorker(PTP_CALLBACK_INSTANCE /*instance*/, void* context) {
        auto* job = static_cast<TBackgroundJob*>(context);
        job->Work();
        HandBack(job);
    }
};

namespace {

HWND HomeWindow() {
    if (homeWindow != nullptr && IsWindow(homeWindow)) return homeWindow;
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TJobDelivery::WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EchometerJobs";
        return RegisterClassW(&wc);
    }();
    homeWindow = CreateWindowExW(0, MAKEINTATOM(cls), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    return homeWindow;
}

}  // namespace

bool StartBackground(TBackgroundJob* job) {
    job->home_ = HomeWindow();
    if (job->home_ == nullptr) return false;
    // A look-up or an echo mostly waits: marked long, a second one gets a thread of its own at once
    // instead of queueing behind the first.
    TP_CALLBACK_ENVIRON environment;
    InitializeThreadpoolEnvironment(&environment);
    SetThreadpoolCallbackRunsLong(&environment);
    ++jobsRunning;
    if (TrySubmitThreadpoolCallback(&TJobDelivery::OnWorker, job, &environment)) return true;
    --jobsRunning;
    return false;
}

void AbandonBackground(TBackgroundJob* job) {
    job->abandoned_ = true;
}

int BackgroundJobs() {
    return jobsRunning;
}
