// The window thread's waits: blocking work runs elsewhere while this thread keeps handling messages.
//
// Windows only; included by _win32 files and Windows tests.
//
// A wait here dispatches every message that arrives, so whatever the user starts meanwhile runs
// nested inside it, as it would inside a modal message box. WM_QUIT ends the pumping, not the wait:
// the awaited work is let finish (its buffers may still be written), messages sent from other
// threads are still answered meanwhile, and the quit is posted again on the way out, for the
// enclosing loop.
#pragma once

#include <windows.h>

enum class TWaitResult { Signalled, TimedOut, Failed };

// Waits for one object up to timeout ms (INFINITE allowed) while pumping this thread's messages.
TWaitResult PumpingWait(HANDLE object, DWORD timeout);

// Runs job(arg) on a pooled worker thread and returns when it has finished, pumping messages
// meanwhile. A nested call during the wait takes another worker. If no thread can be had, the job
// runs here.
void RunOffThread(void (*job)(void* arg), void* arg);

// Ends the pooled workers; one still busy for an outer wait ends when that wait returns. The next
// RunOffThread starts new ones.
void StopWorkerThreads();

// Workers alive now (busy or idle).
int WorkerThreadCount();
