// The fault test build's tick (echometer_fault.exe): the tick chain divides by zero on the tick
// ECHOMETER_FAULT_TICK names (default 50), every earlier tick passed on to the echo as usual. A
// floating-point division, so the program's own traps are what turn it into a fault.
#pragma once

#include "runtime/event.h"

// Puts the faulting step between the timer's outlet and what it was linked to.
void InsertFaultTick(TKV_Event& timerOutlet);
