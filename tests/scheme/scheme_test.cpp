// The real scheme with fake platform services (echo, timer, message box) and a fixed clock: requests
// outstanding across ticks, clicks and STOP give exactly the written lines, in their order; a period
// the timer cannot take is refused once. What a person sees of each button alone is the end-to-end run's.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "scheme/scheme.h"
#include "support/cp1251.h"
#include "support/localtime.h"
#include "tests/support/echo.h"
#include "tests/support/fakes.h"
#include "toolkit/applet.h"
#include "wincomponents/kvhintmanager.h"
#include "wincomponents/kvmainform.h"

namespace {

const std::string kStamp = "06 00:12:2026  09:05:03";
// The lines as the log writes them: the text, then the stamp (in brackets, but for the failure's).
std::string Stamped(std::string_view text) {
    return std::string(text) + "(" + kStamp + ")";
}
const std::string kReply = Stamped(Cp1251("Обменн данными размером 128 байт, время ответа - 7 мсек "));
const std::string kStarted = Stamped(Cp1251("Пингуем узел каждые 1000 мсек "));
const std::string kStopped = Stamped(Cp1251("Нажата кнопка \"стоп\" "));
const std::string kFailure = std::string(Cp1251("Хост не ответил вовремя - ")) + kStamp;  // then the code

// One scheme for the whole suite, as in the program: the application object it makes is the
// process's one.
class Scheme : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCommonControlsEx(0xFF);
        InitHintManager();
        InitForms();
        LocalTimeSource = [] {
            return TLocalTime{.Year = 2026, .Month = 12, .Day = 6, .Hour = 9, .Minute = 5, .Second = 3};
        };
        s = new TClassMainForm_4051E30({&echo, &timer, &box});
        EnableLinks();
        RunStartProcs();
    }
    static void TearDownTestSuite() {
        DisableLinks();
        delete s;
    }
    void SetUp() override {
        echo.resolveOk = echo.echoOk = true;
        box.shown.clear();
    }

    std::string LogText() {
        TData d;
        s->Log->getText(d, 0);
        return ToString(d);
    }
    // A click, then the outcomes of what it sent, as the loop would take them.
    static void Click(TKVWin* w) {
        SendMessageW(w->Control->GetWindowHandle(), BM_CLICK, 0, 0);
        echo.DeliverAll();
    }
    void SetPeriod(const std::string& text) {
        TData d;
        SetString(d, text);
        s->EditInterval->actText(d, 0);
    }
    std::string Period() {
        TData d;
        s->EditInterval->getText(d, 0);
        return ToString(d);
    }

    static inline FakeEcho echo;
    static inline FakeTimers timer;
    static inline FakeBox box;
    static inline TClassMainForm_4051E30* s = nullptr;
};

// A start, or a restart with a new period while periodic echoes run, that the platform refuses: the
// box says so and the cycle lamp goes out, and the timer is left stopped.
TEST_F(Scheme, ATimerThePlatformRefusesIsToldAndNothingShowsAsRunning) {
    const std::string told =
        std::string(Cp1251("Ошибка")) + "|" +
        std::string(Cp1251("Система не дала таймер с таким периодом: пинговать по циклу не получится."));
    for (const char* period : {"70", "5"}) {
        SetPeriod("1");
        timer.refuses = false;
        Click(s->BtnStart);
        ASSERT_EQ(s->LedCycle->State, 1);
        box.shown.clear();
        timer.refuses = true;
        if (std::string(period) == "70") {
            Click(s->BtnStop);
            SetPeriod(period);
            Click(s->BtnStart);
        } else {
            SetPeriod(period);  // the restart
        }
        EXPECT_EQ(box.shown, std::vector<std::string>{told}) << period;
        EXPECT_EQ(s->LedCycle->State, 0) << period;
        EXPECT_FALSE(s->Timer->Timer()->Enabled) << period;
    }
    timer.refuses = false;
}

// Periodic echoes with requests outstanding. A tick sends one; ticks that come while it is out are
// dropped. The first GO sends its own meanwhile; STOP takes effect at once; the outcomes come back
// later in their own order, each logged once, the tick's after the stop line; then ticks send
// again.
TEST_F(Scheme, TicksAndClicksWithRequestsOutstanding) {
    SetPeriod("1");
    Click(s->BtnClear);
    Click(s->BtnStart);
    TMMTimer* const timer = s->Timer->Timer();
    echo.echoOk = false;
    timer->Tick();
    timer->Tick();
    timer->Tick();
    ASSERT_EQ(echo.sent.size(), 1u) << "ticks while the tick's echo was out were not dropped";
    echo.echoOk = true;
    SendMessageW(s->BtnPing->Control->GetWindowHandle(), BM_CLICK, 0, 0);
    SendMessageW(s->BtnStop->Control->GetWindowHandle(), BM_CLICK, 0, 0);
    EXPECT_EQ(timer->Handle, 0u);
    ASSERT_EQ(echo.sent.size(), 2u);
    echo.Deliver(1);
    echo.Deliver(0);
    EXPECT_EQ(LogText(), kStarted + "\r\n" + kStopped + "\r\n" + kReply + "\r\n" + kFailure + "3");
    EXPECT_EQ(s->LedHost->State, 0) << "the last outcome was the failure";
    timer->Tick();
    EXPECT_EQ(echo.sent.size(), 1u) << "the round was over";
    echo.DeliverAll();
}

TEST_F(Scheme, PeriodsTheTimerCannotTakeAreRefusedOnceAndSettleOn01) {
    const std::string refusal =
        std::string(Cp1251("Ошибка")) + "|" +
        std::string(Cp1251("Ну нельзя сюда ставить менее 1 секунды. Вы что, таки хотите устроить дудос?"));
    const struct {
        const char* text;
        bool refused;
        int32_t ms;
    } cases[] = {
        // "0", "", "-1", "9e9" and "0.5" are typed by the end-to-end run.
        {"abc", true, 1000}, {"1e3", true, 1000},    {".0004", true, 1000}, {".01", false, 10},
        {".001", false, 1},  {"999", false, 999000}, {"2", false, 2000},
    };
    for (const auto& c : cases) {
        SetPeriod("7");
        box.shown.clear();
        SetPeriod(c.text);
        EXPECT_EQ(box.shown.size(), c.refused ? 1u : 0u) << c.text;
        if (c.refused) {
            EXPECT_EQ(box.shown.front(), refusal);
            EXPECT_EQ(Period(), "01") << c.text;
        }
        EXPECT_EQ(s->Timer->Timer()->Interval, c.ms) << c.text;
    }
}

}  // namespace
