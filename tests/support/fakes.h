// Fakes of the platform services the tests share: timers that tick on demand and a box that answers
// as pressed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvmessage.h"
#include "toolkit/mmtimer.h"

// One timer event at a time, as the steps need; periods up to 65,535 ms, as under Wine.
class FakeTimers final : public TTimerService {
public:
    std::string calls;  // "+PERIOD[xCOUNT]/RESOLUTION " per start, "-HANDLE " per stop
    TMMTimer* running = nullptr;
    uint32_t next = 1;
    bool refuses = false;  // refuses every start, as a platform out of timers would

    uint32_t LongestPeriod() override { return 65535; }
    uint32_t Start(TMMTimer& timer, uint32_t period, uint32_t count) override {
        calls += "+" + std::to_string(period) + (count > 1 ? "x" + std::to_string(count) : "") + "/" +
                 std::to_string(timer.Resolution) + " ";
        // As winmm refuses a zero period or one past its longest.
        if (refuses || period == 0 || period > LongestPeriod()) return 0;
        EXPECT_EQ(running, nullptr);
        running = &timer;
        return next++;
    }
    void Stop(TMMTimer& timer, uint32_t handle) override {
        calls += "-" + std::to_string(handle) + " ";
        EXPECT_EQ(running, &timer);
        running = nullptr;
    }
    // One tick, as the platform would hand it over.
    void Tick() {
        if (running != nullptr) running->Tick();
    }
};

// Answers as pressed, and keeps the style and "caption|text" of every box it was asked to show.
struct FakeBox final : TMessageBoxService {
    int32_t press = 1;
    uint32_t style = 0;
    std::vector<std::string> shown;
    int32_t Show(const std::string& text, const std::string& caption, uint32_t s) override {
        shown.push_back(caption + "|" + text);
        style = s;
        return press;
    }
};
