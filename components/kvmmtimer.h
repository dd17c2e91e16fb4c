// TKVMMTimer: the periodic echo's clock. It owns one TMMTimer, fires evTimer on every tick, stops
// itself after Count ticks per start (0: never) and fires evStop whenever it is stopped. A start or
// restart the platform refuses leaves it stopped and fires evError with the refused period (ms):
// nothing may look as if it ran.
//
// Ticks run on the thread that started the timer (the window thread), handed over by the timer;
// see toolkit/mmtimer.h. A tick's round lasts as long as its chain and the work that chain started:
// the echo behind evTimer comes back later as a chain of its own, inside the timer's round (runtime/
// round.h). A tick that comes while the previous round is still going is dropped, not queued,
// and does not count. The chain may destroy the component; the timer event ends at once, and the
// tick touches nothing of it after.
#pragma once

#include <cstdint>

#include "runtime/event.h"
#include "runtime/round.h"
#include "runtime/tobject.h"
#include "toolkit/mmtimer.h"

class TKVMMTimer : public TObject {
    TRound* busy_ = nullptr;     // held while a tick's round is going; released, not deleted
    TMMTimer* timer_ = nullptr;  // owned
    int32_t remaining_ = 0;      // ticks left before it stops by itself; negative: endless
    bool* destroyed_ = nullptr;  // while a tick is handled: set when its chain destroys this component

public:
    explicit TKVMMTimer(TTimerService& service = SystemTimerService());
    ~TKVMMTimer() override;

    int32_t Count = 0;  // ticks per start; 0: endless
    TKV_Event evTimer;
    TKV_Event evStop;
    TKV_Event evError;

    // Property setters, acting at once.
    void SetResolution(int32_t value);
    void SetInterval(int32_t value);
    void SetEnable(bool value);
    void SetCount(int32_t value);

    // Action entries; they ignore the index.
    void actStart(TData& data, uint16_t index);
    void actStop(TData& data, uint16_t index);
    void actInterval(TData& data, uint16_t index);

    int32_t Remaining() const { return remaining_; }
    bool Busy() const { return busy_ != nullptr && busy_->Going(); }
    TMMTimer* Timer() const { return timer_; }

private:
    void OnTick(TObj* sender);
    void Stop();
    // After a start or restart: the platform's refusal is told, and the timer left stopped.
    void CheckStarted();
};
