// The fault program's tick (echometer_fault.exe): the real program, whose scheme gets one step more
// when it starts. On the tick ECHOMETER_FAULT_TICK names (default 50), every earlier tick passed on to
// the echo as usual, the program faults where ECHOMETER_FAULT_IN says: "tick" (default) divides by
// zero in the tick chain; "paint" divides by zero in the main form's paint handler and "throw" throws
// an exception there, from then on at every paint. Divisions are floating-point, so the program's own
// traps are what turn them into faults.
#include <cstdlib>
#include <cstring>
#include <exception>

#include "runtime/tdata.h"
#include "scheme/scheme.h"
#include "toolkit/control.h"
#include "wincomponents/kvmainform.h"

namespace {

enum class TWhere { Tick, Paint, Throw };

double Divided() {
    volatile double zero = 0.0;
    return 1.0 / zero;
}

struct TFaultTick {
    TKV_Event evTimer;
    int32_t Left = 50;
    TWhere Where = TWhere::Tick;
    TControl* Form = nullptr;
    bool PaintArmed = false;

    void actTick(TData& data, uint16_t /*index*/) {
        if (--Left == 0) {
            if (Where == TWhere::Tick) {
                SetReal(data, Divided());
            } else {
                PaintArmed = true;
                InvalidateRect(Form->Handle, nullptr, TRUE);
            }
        }
        Emit(evTimer, data);
    }

    // Puts the faulting step between the timer's outlet and what it was linked to, and the faulting
    // paint handler on the form.
    void Insert();
};
TFaultTick faultTick;

bool FaultPaint(TControl* /*self*/, MSG& msg, LRESULT& result) {
    if (msg.message != WM_PAINT || !faultTick.PaintArmed) return false;
    if (faultTick.Where == TWhere::Throw) throw std::exception();
    result = static_cast<LRESULT>(Divided());
    return true;
}

void TFaultTick::Insert() {
    if (const char* tick = std::getenv("ECHOMETER_FAULT_TICK")) Left = std::atoi(tick);
    if (const char* where = std::getenv("ECHOMETER_FAULT_IN")) {
        if (std::strcmp(where, "paint") == 0) Where = TWhere::Paint;
        if (std::strcmp(where, "throw") == 0) Where = TWhere::Throw;
    }
    TKV_Event& timerOutlet = Scheme->Timer->evTimer;
    evTimer = timerOutlet;
    timerOutlet = MakeEvent<&TFaultTick::actTick>(this, 0);
    Form = Scheme->Form->Control;
    Form->AttachHandler(&FaultPaint);
}

// Registered before the program body runs, so it is the first start procedure: the scheme is built
// and its links are on, and nothing has ticked or painted yet.
struct TRegistration {
    TRegistration() { AddStartProc(MakeMethod<&TFaultTick::Insert>(&faultTick)); }
} registration;

}  // namespace
