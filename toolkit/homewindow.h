// Work handed back to a thread. Every thread that gets work back (a background job's end, a timer's
// tick) has one message-only window, its home, and the work comes back as a message posted there, so
// whatever loop takes that thread's messages (the main loop, a box's, a scroll bar's or a window
// move's) runs it as a chain of its own.
//
// Any program on the desktop can post to a home. A message carries numbers (a ticket, a serial), never
// a pointer, and the kind of work that gave them runs only work it gave and still waits for: made-up
// and stale numbers run nothing. A close or a retirement from outside is refused. An exception that
// escapes the work ends the program, as anywhere.
//
// Windows only; included by _win32 files.
#pragma once

#include <windows.h>

// Runs the work the numbers name, on the home's thread; numbers it did not give are ignored.
using THomeWork = void (*)(HWND home, WPARAM wp, LPARAM lp);

// This thread's home, made on first use and counted for one more user; null when it could not be
// made. Work posted to it as message kind runs through work.
HWND AttachHome(UINT kind, THomeWork work);
// One user fewer. A home no user needs any more is destroyed on its own thread: at once from there,
// by a message from another thread.
void DetachHome(HWND home);
// Homes that exist now.
int HomeWindows();
