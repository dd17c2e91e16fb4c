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
            const TPeriodSplit split = SplitPeriod(Interval, service_.LongestPeriod());
            Handle = service_.Start(*this, split.Period, split.Count);
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
    // The handler may free this timer; the reference makes the free wait until the handler has returned.
    AddRef();
    OnTimer(this);
    ReleaseRef();
}

TMMTimer* NewMMTimer(int32_t interval, TTimerService& service) {
    return NewObj<TMMTimer>(interval, service);
}

TPeriodSplit SplitPeriod(int32_t interval, uint32_t longest) {
    const auto whole = static_cast<uint32_t>(interval);
    if (interval <= 0 || longest == 0 || whole <= longest) return {whole, 1};
    const uint32_t fewest = (whole + longest - 1) / longest;
    // The fewest sub-ticks whose period divides the interval; the search is bounded, as a large prime
    // interval has no such divisor but 1.
    constexpr uint32_t kSearch = 10000;
    for (uint32_t count = fewest; count < fewest + kSearch && count <= whole; ++count) {
        if (whole % count == 0) return {whole / count, count};
    }
    return {(whole + fewest - 1) / fewest, fewest};
}
