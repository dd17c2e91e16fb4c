// Tick accuracy: TKVMMTimer at a 500 ms period for 100 ticks (Count 100), each handed to this
// thread's message loop. Prints the mean absolute error of the intervals and how far the 100th tick
// lies from 100 x 500 ms after the start (drift).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "components/kvmmtimer.h"
#include "tests/support/wintest.h"

namespace {

struct Recorder {
    std::vector<double> ticks;
    bool stopped = false;
    void onTimer(TData&, uint16_t) { ticks.push_back(NowMs()); }
    void onStop(TData&, uint16_t) { stopped = true; }
};

}  // namespace

int main(int argc, char** argv) {
    const int period = argc > 1 ? std::atoi(argv[1]) : 500;
    const int count = argc > 2 ? std::atoi(argv[2]) : 100;
    EnableLinks();
    TKVMMTimer timer;
    Recorder rec;
    timer.evTimer = MakeEvent<&Recorder::onTimer>(&rec, 0);
    timer.evStop = MakeEvent<&Recorder::onStop>(&rec, 0);
    timer.SetResolution(1);
    timer.SetInterval(period);
    timer.SetCount(count);

    TData none;
    // Three quick ticks first: in the program the window thread is long up when the timer starts,
    // so the first use of the window system and of winmm's timer thread is not part of the figure.
    timer.SetInterval(10);
    timer.SetCount(3);
    timer.actStart(none, 0);
    while (!rec.stopped)
        PumpFor(50);
    rec = Recorder{};
    timer.SetInterval(period);
    timer.SetCount(count);

    const double start = NowMs();
    timer.actStart(none, 0);
    const double startCost = NowMs() - start;
    while (!rec.stopped && NowMs() - start < count * period + 5000.0)
        PumpFor(50);

    std::printf("Ticks: period %d ms, Count %d, handled on the window thread (message-only window)\n", period,
                count);
    if (rec.ticks.size() != static_cast<size_t>(count)) {
        std::printf("  got %zu ticks of %d\n", rec.ticks.size(), count);
        return rec.ticks.empty() ? 1 : 0;
    }
    double sumAbs = 0, worst = 0, prev = start;
    for (double t : rec.ticks) {
        const double err = std::fabs((t - prev) - period);
        sumAbs += err;
        worst = std::max(worst, err);
        prev = t;
    }
    const double last = rec.ticks.back() - (start + static_cast<double>(count) * period);
    // Drift would make the offsets grow with k; jitter only scatters them.
    double worstOffset = 0, sumOffset = 0;
    for (size_t k = 0; k < rec.ticks.size(); ++k) {
        const double offset = rec.ticks[k] - (start + static_cast<double>(k + 1) * period);
        sumOffset += offset;
        if (std::fabs(offset) > std::fabs(worstOffset)) worstOffset = offset;
    }
    std::printf("  MEAN ABS INTERVAL ERROR: %.3f ms over %d intervals (worst %.3f ms)   (target <= 2 ms)\n",
                sumAbs / count, count, worst);
    std::printf("  TICK %d OFFSET from start + %d x %d ms: %+.3f ms   (target within 10 ms)\n", count, count,
                period, last);
    std::printf("  (the start itself, making this thread's home window, took %.3f ms)\n", startCost);
    std::printf("  offset of tick k from start + k x %d ms: mean %+.3f ms, worst %+.3f ms\n", period,
                sumOffset / count, worstOffset);
    DisableLinks();
    return 0;
}
