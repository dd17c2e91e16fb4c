#include "toolkit/winthread.h"

#include <atomic>
#include <cstdint>
#include <vector>

#include "toolkit/homewindow.h"
#include "toolkit/messages.h"
#include "toolkit/winlock.h"

namespace {

// kMsgJobDone's wParam and lParam: the job's ticket, low and high 32 bits. Any program on the desktop
// can post to the home window, so the message carries a number, never a pointer: only a ticket of a
// job whose work has ended hands that job over, and it does so once.

std::atomic<int> jobsRunning{0};

struct TTicket {
    uint64_t number;
    TBackgroundJob* job;
    bool worked;  // Work has ended: the job is the starting thread's again
};

TLock ticketsLock;
uint64_t lastTicket = 0;

// Jobs started and not yet handed back. Never destroyed: a worker may outlive the program's static
// objects.
std::vector<TTicket>& Tickets() {
    static auto* tickets = new std::vector<TTicket>;
    return *tickets;
}

// The home finished jobs come back to, one per starting thread, attached on first use and kept for
// the thread's life: attached per job it would cost every echo a window.
thread_local HWND homeWindow = nullptr;

}  // namespace

struct TJobDelivery {
    // The job of a ticket whose work has ended, taken out of the list; null for a ticket the
    // program did not give or already took back.
    static TBackgroundJob* Redeem(uint64_t number) {
        TLockScope locked(ticketsLock);
        std::vector<TTicket>& tickets = Tickets();
        for (auto it = tickets.begin(); it != tickets.end(); ++it) {
            if (it->number != number) continue;
            if (!it->worked) return nullptr;
            TBackgroundJob* job = it->job;
            tickets.erase(it);
            return job;
        }
        return nullptr;
    }

    static void Returned(HWND /*home*/, WPARAM wp, LPARAM lp) {
        const uint64_t number =
            static_cast<uint32_t>(wp) | (static_cast<uint64_t>(static_cast<uint32_t>(lp)) << 32);
        TBackgroundJob* job = Redeem(number);
        if (job == nullptr) return;
        --jobsRunning;
        if (!job->abandoned_) job->Finish();
        delete job;
    }

    // On the worker, after Work: from here on only the starting thread touches the job. A full queue
    // is waited out; a window that is gone (its thread ended) takes nothing, and nobody else will
    // free the job then.
    static void HandBack(TBackgroundJob* job) {
        // Read first: once the ticket says the work has ended, a message made up with its number may
        // hand the job over and free it before the real one is posted.
        const HWND home = job->home_;
        uint64_t number = 0;
        {
            TLockScope locked(ticketsLock);
            for (TTicket& t : Tickets()) {
                if (t.job == job) {
                    t.worked = true;
                    number = t.number;
                }
            }
        }
        const auto low = static_cast<WPARAM>(static_cast<uint32_t>(number));
        const auto high = static_cast<LPARAM>(static_cast<uint32_t>(number >> 32));
        while (!PostMessageW(home, kMsgJobDone, low, high)) {
            if (!IsWindow(home)) {
                TBackgroundJob* mine = Redeem(number);
                if (mine == nullptr) return;  // handed over meanwhile
                --jobsRunning;
                delete mine;
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
    homeWindow = AttachHome(kMsgJobDone, &TJobDelivery::Returned);
    return homeWindow;
}

// Takes the ticket back of a job that never started.
void Withdraw(TBackgroundJob* job) {
    TLockScope locked(ticketsLock);
    std::vector<TTicket>& tickets = Tickets();
    for (auto it = tickets.begin(); it != tickets.end(); ++it) {
        if (it->job == job) {
            tickets.erase(it);
            return;
        }
    }
}

}  // namespace

bool StartBackground(TBackgroundJob* job) {
    job->home_ = HomeWindow();
    if (job->home_ == nullptr) return false;
    {
        TLockScope locked(ticketsLock);
        Tickets().push_back({++lastTicket, job, false});
    }
    // A look-up or an echo mostly waits: marked long, a second one gets a thread of its own at once
    // instead of queueing behind the first.
    TP_CALLBACK_ENVIRON environment;
    InitializeThreadpoolEnvironment(&environment);
    SetThreadpoolCallbackRunsLong(&environment);
    ++jobsRunning;
    if (TrySubmitThreadpoolCallback(&TJobDelivery::OnWorker, job, &environment)) return true;
    --jobsRunning;
    Withdraw(job);
    return false;
}

void AbandonBackground(TBackgroundJob* job) {
    job->abandoned_ = true;
}

int BackgroundJobs() {
    return jobsRunning;
}
