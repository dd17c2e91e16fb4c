// Timers: TTimer holds what every timer has (handle, enabled state, period, tick handler);
// TMMTimer runs it on a platform multimedia timer event.
//
// The platform's timer thread never runs a tick handler. Its callback only hands the tick to the
// thread that started the timer (through that thread's home window, toolkit/homewindow, so modal
// loops such as a message box's still deliver it); OnTimer always runs there. At most one tick per
// timer is waiting to be handled; one that falls due meanwhile is dropped, and so is a periodic tick that
// waited a whole period (the window thread could not keep up): ticks are never queued or run late.
// The window thread's loop takes input and painting before posted ticks (toolkit/applet), so ticks
// cannot starve the person at any period. A tick still on its way when the timer is stopped,
// restarted or destroyed is discarded. A timer stopped (or freed) from another thread while its
// tick is being handled stays alive until that tick has ended: the stop waits, answering messages
// sent to its thread meanwhile.
//
// A period longer than the platform takes in one event runs as a shorter event whose every n-th tick
// is the timer's: the platform's own schedule keeps the long period from drifting. A start the
// platform still refuses leaves Handle at 0; the component above says so.
//
// The platform's side sits behind TTimerService, so the logic here is tested with a fake on any host
// and the real winmm service under Wine.
#pragma once

#include <cstdint>

#include "toolkit/method.h"
#include "toolkit/obj.h"

class TTimer : public TObj {
public:
    uint32_t Handle = 0;   // platform timer identifier; 0 while no timer event exists
    bool Enabled = false;  // the state last requested
    int32_t Interval = 0;  // ms
    TOnEvent OnTimer;      // called with the timer as sender on every tick

    virtual void SetEnabled(bool value) = 0;
    // A running timer restarts at once with the new period (its phase restarts); a stopped one stays
    // stopped. The same value changes nothing.
    void SetInterval(int32_t value);

protected:
    ~TTimer() override = default;
};

class TMMTimer;

// The seam to the platform's multimedia timers.
class TTimerService {
public:
    // The longest period the platform takes in one event, ms.
    virtual uint32_t LongestPeriod() = 0;
    // Starts a timer event of that period with the timer's Resolution and Periodic; every count-th
    // of its ticks reaches timer.Tick() on the calling thread. 0 when the platform refused.
    virtual uint32_t Start(TMMTimer& timer, uint32_t period, uint32_t count) = 0;
    // Cancels the timer's event; no tick of it reaches Tick() afterwards, not even one already
    // handed over. From another thread it returns once a tick being handled has ended.
    virtual void Stop(TMMTimer& timer, uint32_t handle) = 0;

protected:
    ~TTimerService() = default;
};

// winmm's timeSetEvent and timeKillEvent on Windows.
TTimerService& SystemTimerService();

// How a period is run on a platform whose events are at most `longest` ms: an event of Period ms
// whose every Count-th tick is the timer's. Period × Count is the interval exactly wherever a
// divisor of it fits (every period a person can type); otherwise within Count ms. A period the
// platform takes, or one it must refuse (0 or less), is passed on as it is.
struct TPeriodSplit {
    uint32_t Period;
    uint32_t Count;
};
TPeriodSplit SplitPeriod(int32_t interval, uint32_t longest);

class TMMTimer : public TTimer {
public:
    int32_t Resolution = 0;  // ms; 0 = the best the platform offers
    bool Periodic = true;    // false: one tick per start

    // Made by NewMMTimer.
    TMMTimer(int32_t interval, TTimerService& service);

    void SetEnabled(bool value) override;
    // The tick routine: called by the service for every tick of the running event.
    void Tick();

protected:
    ~TMMTimer() override;

private:
    TTimerService& service_;
};

// The creation function; null when memory ran out.
TMMTimer* NewMMTimer(int32_t interval, TTimerService& service = SystemTimerService());

#ifdef _WIN32
// Cancels every running timer event of the process and drops their ticks on the way: the program's
// exit path, so that no chain runs while a run-time error is reported.
void StopTimerEvents();

// What the Windows service keeps count of, read at one moment.
struct TTimerCounts {
    int Running;      // timer events
    int Windows;      // home windows (toolkit/homewindow), those its ticks go through among them
    int64_t Dropped;  // ticks since the start of the process: due while one was waiting, or late by a period
};
TTimerCounts TimerCounts();
#endif
