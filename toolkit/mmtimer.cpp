#include "toolkit/mmtimer.h"

void TTimer::SetInterval(int32_t value) {
    if (value == Interval) return;
    Interval = value;
    const bool wasEnabled = Enabled;
    SetEnabled(false);
    SetEnabled(wasEnabled);
}

TMMTimer::TMMTimer(int32_t interval, TTimerService& service) : service_(service) {
    Interval = interval;
}

TMMTimer::~TMMTimer() {
    // Called here, not in ~TTimer: by then this class's SetEnabled would no longer be the one called.
    TMMTimer::SetEnabled(false);
}

void TMMTimer::SetEnabled(bool value) {
    if (value != (Handle != 0)) {
        if (Handle == 0) {
            Handle = service_.Start(*this);
        } else {
            const uint32_t running = Handle;
            Handle = 0;
            service_.Stop(*this, running);
        }
    }
    // Also when the platform refused: a later SetEnabled(false) then only clears the request.
    Enabled = value;
}

void TMMTimer::Tick() {
    // The handler may free this timer; the hold makes the free wait until the handler has returned.
    AddRef();
    OnTimer(this);
    ReleaseRef();
}

TMMTimer* NewMMTimer(int32_t interval, TTimerService& service) {
    return NewObj<TMMTimer>(interval, service);
}
