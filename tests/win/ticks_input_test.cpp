// Ticks never starve the person: with every tick's work outlasting its period, real X clicks and
// keys still reach the window, and it still repaints.
#include <gtest/gtest.h>

#include <utility>

#include "tests/support/tickload.h"

namespace {

TEST(TicksInput, ClicksKeysAndPaintingGetThroughTicksThatOutlastTheirPeriod) {
    for (const auto& [period, work] : {std::pair{10, 20}, {1, 2}}) {  // ms; each tick's work twice the period
        SCOPED_TRACE(std::to_string(period) + " ms");
        TTickLoad load(period, work);
        int ticksBeforeInput = 0, missed = 0;
        std::string typed;
        bool painted = false;
        ASSERT_TRUE(load.Run([&](TTickLoad& t) {
            Sleep(300);  // ticks are running and the queue is busy
            ticksBeforeInput = t.Ticks;
            for (int i = 0; i < 6; ++i)
                missed += t.Click(1000) ? 0 : 1;
            Xdotool("mousemove " + CentreArgs(t.Edit->Handle) + " click 1");
            Xdotool("type --delay 20 abc");
            for (int i = 0; i < 100 && typed != "abc"; ++i) {
                Sleep(10);
                typed = GetWindowText1251(t.Edit->Handle);
            }
            ResetEvent(t.Painted);
            InvalidateRect(t.Form->Handle, nullptr, FALSE);
            painted = WaitForSingleObject(t.Painted, 1000) == WAIT_OBJECT_0;
        }));
        EXPECT_GT(ticksBeforeInput, 0) << "the ticks were running";
        EXPECT_EQ(missed, 0) << "clicks not handled within 1 s";
        EXPECT_EQ(typed, "abc");
        EXPECT_TRUE(painted) << "no WM_PAINT reached the invalidated window within 1 s";
        EXPECT_GT(load.Ticks, 10) << "the ticks kept running meanwhile";
    }
}

}  // namespace
