// The fault test build's tick (echometer_fault.exe): on the tick ECHOMETER_FAULT_TICK names (default
// 50), every earlier tick passed on to the echo as usual, the program faults where ECHOMETER_FAULT_IN
// says: "tick" (default) divides by zero in the tick chain; "paint" divides by zero in the main
// form's paint handler and "throw" throws an exception there, from then on at every paint. Divisions
// are floating-point, so the program's own traps are what turn them into faults.
#pragma once

#include "runtime/event.h"
#include "toolkit/control.h"

// Puts the faulting step between the timer's outlet and what it was linked to, and the faulting
// paint handler on the form.
void InsertFaultTick(TKV_Event& timerOutlet, TControl* form);
