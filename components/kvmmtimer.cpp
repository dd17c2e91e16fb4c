#include "components/kvmmtimer.h"

TKVMMTimer::TKVMMTimer(TTimerService& service) : busy_(TRound::New()), timer_(NewMMTimer(1000, service)) {
    if (timer_ == nullptr) return;  // out of memory: a timer that never ticks
    timer_->SetEnabled(false);
    timer_->OnTimer = MakeMethod<&TKVMMTimer::OnTick>(this);
}

TKVMMTimer::~TKVMMTimer() {
    if (timer_ != nullptr) {
        // Cancelled now, not when the timer is freed: a tick being handled holds it, and no later
        // tick may reach this component. From another thread this waits for that tick to end.
        timer_->SetEnabled(false);
        timer_->OnTimer = TOnEvent{};
    }
    if (destroyed_ != nullptr) *destroyed_ = true;
    TObj::Free(timer_);
    // An echo of the last round may still be on its way with the round.
    if (busy_ != nullptr) busy_->Release();
}

void TKVMMTimer::SetResolution(int32_t value) {
    if (timer_ != nullptr) timer_->Resolution = value;
}

void TKVMMTimer::SetInterval(int32_t value) {
    if (timer_ == nullptr) return;
    timer_->SetInterval(value);
    CheckStarted();
}

void TKVMMTimer::SetEnable(bool value) {
    if (timer_ == nullptr) return;
    timer_->SetEnabled(value);
    CheckStarted();
}

void TKVMMTimer::CheckStarted() {
    if (!timer_->Enabled || timer_->Handle != 0) return;
    timer_->SetEnabled(false);
    EmitInt(evError, timer_->Interval);
}

void TKVMMTimer::SetCount(int32_t value) {
    Count = value;
    remaining_ = value;
}

void TKVMMTimer::actStart(TData& /*data*/, uint16_t /*index*/) {
    // While running only the count starts again; the period goes on.
    remaining_ = Count;
    SetEnable(true);
}

void TKVMMTimer::actStop(TData& /*data*/, uint16_t /*index*/) {
    Stop();
}

void TKVMMTimer::actInterval(TData& data, uint16_t /*index*/) {
    SetInterval(ToInteger(data));
}

void TKVMMTimer::Stop() {
    SetEnable(false);
    EmitNull(evStop);
}

void TKVMMTimer::OnTick(TObj* /*sender*/) {
    if (Busy()) return;
    if (remaining_ >= 0) --remaining_;
    // Decided before evTimer, so the chain behind it cannot change whether this tick is the last.
    const bool last = remaining_ == 0;
    bool destroyed = false;
    destroyed_ = &destroyed;
    {
        // The scope keeps the round alive when the chain destroys this component.
        const TRoundScope round(busy_);
        EmitNull(evTimer);
        if (last && !destroyed) Stop();
    }
    if (destroyed) return;
    destroyed_ = nullptr;
}
