// The application object and the message loop. Windows only.
//
// One process-wide application object (a TControl of class "App") owns the program's forms. Run
// loops until the quit message; ProcessMessage is its one per-message step. No other loop of the
// program's own takes messages: work that waits ends as a posted message (toolkit/winthread), which
// whatever loop is current dispatches, a modal box's included.
//
// Input and painting come before posted messages: ProcessMessage takes waiting keyboard, mouse and
// paint messages first, so timer ticks (posted) can never starve the person, whatever their period.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "toolkit/control.h"

extern TControl* Applet;       // the application object, or null
extern bool AppletRunning;     // Run is looping
extern bool AppletTerminated;  // the loop must end; handlers without the keep flag stop
extern bool AppletUsed;        // an application object was made: its first child is the main window
extern void (*IdleHook)(TControl* applet);  // after every batch of messages

// The application object: class "App", style 0x90CA0000, WS_EX_APPWINDOW, its handler and caption.
TControl* NewApplet(std::string_view caption);
// A form on parent (the application object or another control): class "Form", double clicks, the
// form handlers, caption.
TControl* NewForm(TControl* parent, std::string_view caption);

// The message loop; returns when the application has terminated. applet is cleared by the
// termination.
void Run(TControl*& applet);
// Takes one message (input and paint first) and handles it; false when none was waiting.
bool ProcessMessage(TControl* applet);
// The same, giving the message taken: a WM_QUIT is handed back undispatched (AppletTerminated set,
// unless it was posted to a window: another program's, ignored).
bool ProcessMessage(TControl* applet, MSG& msg);
void ProcessMessages(TControl* applet);
// Orderly end: drains the queue and closes the application window unless it had terminated already,
// then frees the application object. applet is cleared.
void Terminate(TControl*& applet);

// InitCommonControls, then comctl32's InitCommonControlsEx (looked up by name) with classes.
void InitCommonControlsEx(uint32_t classes);

// The main window: the application window's first child when an application object was made, else
// the first top-level form that exists. Null when there is none.
TControl* MainWindow();
