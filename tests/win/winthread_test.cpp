// Background jobs: their end comes back as a chain of its own from whatever loop takes the thread's
// messages (here a modal box's), never inside the start; jobs run side by side; an abandoned job is
// freed without finishing.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/wintest.h"
#include "toolkit/winthread.h"

namespace {

struct TLog {
    std::vector<double> started, finished;
    int freed = 0;
    DWORD finishThread = 0;
};

class TSleeper final : public TBackgroundJob {
public:
    TSleeper(TLog& log, DWORD ms) : log_(log), ms_(ms) {}
    ~TSleeper() override { ++log_.freed; }
    void Work() override {
        started_ = NowMs();
        Sleep(ms_);
    }
    void Finish() override {
        log_.started.push_back(started_);
        log_.finished.push_back(NowMs());
        log_.finishThread = GetCurrentThreadId();
        if (HWND box = FindWindowW(nullptr, L"Job test box")) PostMessageW(box, WM_COMMAND, IDOK, 0);
    }

private:
    TLog& log_;
    DWORD ms_;
    double started_ = 0;
};

void CALLBACK CancelTheBox(HWND /*hwnd*/, UINT /*msg*/, UINT_PTR /*id*/, DWORD /*time*/) {
    PostMessageW(FindWindowW(nullptr, L"Job test box"), WM_COMMAND, IDCANCEL, 0);
}

TEST(BackgroundJobs, FinishComesFromTheCurrentLoopAndJobsRunSideBySide) {
    TLog log;
    ASSERT_TRUE(StartBackground(new TSleeper(log, 0)));
    Sleep(200);  // long done, but nobody took the message yet
    EXPECT_TRUE(log.finished.empty()) << "finished inside the start";
    EXPECT_TRUE(PumpUntil([&] { return log.finished.size() == 1; }, 5000));

    // Three at once, finishing while a modal box is open: the first closes it from the box's loop.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(StartBackground(new TSleeper(log, 300)));
    const UINT_PTR guard = SetTimer(nullptr, 0, 10000, &CancelTheBox);
    const int answer = MessageBoxW(nullptr, L"jobs", L"Job test box", MB_OKCANCEL);
    KillTimer(nullptr, guard);
    EXPECT_EQ(answer, IDOK) << "no job finished inside the box's loop";
    EXPECT_TRUE(PumpUntil([&] { return log.finished.size() == 4; }, 5000));
    EXPECT_EQ(log.finishThread, GetCurrentThreadId());
    for (size_t i = 2; i < log.started.size(); ++i)
        EXPECT_LT(log.started[i], log.finished[1]) << "job " << i << " waited for another to end";

    // Abandoned while it works: freed once its work ends, without finishing.
    auto* doomed = new TSleeper(log, 100);
    ASSERT_TRUE(StartBackground(doomed));
    AbandonBackground(doomed);
    EXPECT_TRUE(PumpUntil([] { return BackgroundJobs() == 0; }, 5000));
    EXPECT_EQ(log.finished.size(), 4u);
    EXPECT_EQ(log.freed, 5);
}

}  // namespace
