// Ticks never starve the person: with every tick's work outlasting its period, real X clicks and
// keys still reach the window, and it still repaints.
#include <gtest/gtest.h>

#include "tests/support/tickload.h"

namespace {

struct TStarvedCase {
    int period;    // ms
    int work;      // ms per tick: twice the period
    bool pumping;  // the work is a message-pumping wait (an echo's), not a spin
};

class TicksInputTest : public ::testing::TestWithParam<TStarvedCase> {};

TEST_P(TicksInputTest, ClicksKeysAndPaintingGetThroughTicksThatOutlastTheirPeriod) {
    const TStarvedCase c = GetParam();
    TTickLoad load(c.period, c.work, c.pumping);
    std::vector<double> clicks;
    std::string typed;
    bool painted = false;
    int ticksBeforeInput = 0;
    const bool ran = load.Run([&](TTickLoad& t) {
        Sleep(300);  // ticks are running and the queue is busy
        ticksBeforeInput = t.Ticks;
        for (int i = 0; i < 6; ++i)
            clicks.push_back(t.Click(1000));
        Xdotool("mousemove " + CentreArgs(t.Edit->Handle) + " click 1");
        Xdotool("type --delay 20 abc");
        for (int i = 0; i < 100 && typed != "abc"; ++i) {
            Sleep(10);
            typed = GetWindowText1251(t.Edit->Handle);
        }
        ResetEvent(t.Painted);
        InvalidateRect(t.Pad->Handle, nullptr, FALSE);
        painted = WaitForSingleObject(t.Painted, 1000) == WAIT_OBJECT_0;
    });
    ASSERT_TRUE(ran);
    EXPECT_GT(ticksBeforeInput, 0) << "the ticks were running";
    for (size_t i = 0; i < clicks.size(); ++i)
        EXPECT_GE(clicks[i], 0) << "click " << i << " was not handled within 1 s";
    EXPECT_EQ(typed, "abc");
    EXPECT_TRUE(painted) << "no WM_PAINT reached the invalidated window within 1 s";
    EXPECT_GT(load.Ticks, 10) << "the ticks kept running meanwhile";
}

INSTANTIATE_TEST_SUITE_P(Periods, TicksInputTest,
                         ::testing::Values(TStarvedCase{10, 20, false}, TStarvedCase{1, 2, false},
                                           TStarvedCase{10, 20, true}),
                         [](const auto& info) {
                             return "Period" + std::to_string(info.param.period) + "ms" +
                                    (info.param.pumping ? "InPumpingWaits" : "");
                         });

TEST(TicksKeepUpTest, AHandlerFasterThanThePeriodLosesNoTick) {
    TTickLoad load(50, 5);
    int64_t dropped = -1;
    double took = 0;
    const bool ran = load.Run([&](TTickLoad& t) {
        while (t.Ticks < 100)
            Sleep(50);
        dropped = DroppedTicks() - t.DroppedAtStart;
        took = t.LastTick - t.FirstTick;
    });
    ASSERT_TRUE(ran);
    EXPECT_GE(load.Ticks, 100);
    // A process starved of the processor (99 intervals far beyond 99 periods) gets its ticks late
    // and bunched whatever the program does; such a run cannot judge dropping.
    if (took > 99 * 50 * 1.2) GTEST_SKIP() << "the machine was too busy: 99 intervals took " << took << " ms";
    EXPECT_EQ(dropped, 0);
}

}  // namespace
