// Work that would block the window thread (a name look-up, an echo's wait) runs on a pooled worker
// thread. Its end comes back to the thread that started it as a message posted to that thread's home
// window (toolkit/homewindow), so whatever loop is taking messages there (the main loop, a message box's,
// a scroll bar's or a window move's) runs Finish as a chain of its own. Nothing ever waits for the
// work with a message loop of its own: such a loop would take the current modal loop's messages.
//
// Windows only; included by _win32 files and Windows tests.
#pragma once

#include <windows.h>

class TBackgroundJob {
public:
    virtual ~TBackgroundJob() = default;
    // On a worker thread. It must not touch the starting thread's objects: they may be gone.
    virtual void Work() = 0;
    // Back on the starting thread, unless the job was abandoned; the job is freed after it.
    virtual void Finish() = 0;

private:
    friend bool StartBackground(TBackgroundJob* job);
    friend void AbandonBackground(TBackgroundJob* job);
    friend struct TJobDelivery;
    HWND home_ = nullptr;     // the starting thread's home
    bool abandoned_ = false;  // the starting thread's: Finish is not called
};

// Takes the job and starts its Work; false (the job stays the caller's) when no worker or window
// could be had.
bool StartBackground(TBackgroundJob* job);
// On the starting thread: Finish will not be called, and the job is freed once its Work has ended.
void AbandonBackground(TBackgroundJob* job);

// Jobs started and not yet finished or freed.
int BackgroundJobs();
