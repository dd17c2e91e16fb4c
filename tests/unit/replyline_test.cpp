// The scheme's log lines, built by the same components and links as in the program, with the echo
// engine, the timer and the window components replaced by recorders and a fixed clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvhub.h"
#include "components/kvif_else.h"
#include "components/kvmath.h"
#include "components/kvmemory.h"
#include "components/kvstrcatdelim.h"
#include "components/kvtime.h"
#include "support/cp1251.h"
#include "support/localtime.h"

namespace {

TLocalTime SaturdayEvening() {
    return TLocalTime{2026, 12, 6, 5, 21, 59, 7, 0};
}
constexpr char kStamp[] = "05 06:12:2026  21:59:07";

// Everything around the logic components: the points they are linked to write "point:value".
struct Outside {
    std::vector<std::string> journal;
    int32_t replySize = 128;
    int32_t roundTrip = 3;
    // Outlets of the echo engine, the form, the period edit and the buttons.
    TKV_Event evReply, evError, evCreate, evChange, evStartClick, evStopClick;

    void getRoundTrip(TData& d, uint16_t /*index*/) { SetInteger(d, roundTrip); }
    void getReplySize(TData& d, uint16_t /*index*/) { SetInteger(d, replySize); }
    void record(const char* point, const TData& d) {
        journal.push_back(std::string(point) + ":" + ToString(d));
    }
    void logAdd(TData& d, uint16_t /*index*/) { record("log", d); }
    void lampOn(TData& d, uint16_t /*index*/) { record("host lamp on", d); }
    void lampOff(TData& d, uint16_t /*index*/) { record("host lamp off", d); }
    void editText(TData& d, uint16_t /*index*/) { record("period text", d); }
    void errorBox(TData& d, uint16_t /*index*/) { record("error box", d); }
    void timerInterval(TData& d, uint16_t /*index*/) { record("interval", d); }
    void timerStart(TData& d, uint16_t /*index*/) { record("timer start", d); }
    void timerStop(TData& d, uint16_t /*index*/) { record("timer stop", d); }
    void cycleOn(TData& d, uint16_t /*index*/) { record("cycle lamp on", d); }
    void cycleOff(TData& d, uint16_t /*index*/) { record("cycle lamp off", d); }
};

// The logic part of the scheme: its components with their settings, then its links in order.
struct Scheme {
    Outside out;
    TKVStrCatDelim CatRtt, CatSize, CatReply, CatTimeout, CatEvery, CatOne, CatStop, CatStart;
    TKVTime TimeReply, TimeTimeout, TimeStop, TimeStart;
    TKVHub HubLog, HubFail, HubReply, HubStart, HubError, HubReset, HubStop, HubStarted;
    TKVMemory MemTimeout, MemReply;
    TKVMath MathMs;
    TKVIf_else IfZero;

    Scheme() {
        for (TKVTime* t : {&TimeReply, &TimeTimeout, &TimeStop, &TimeStart})
            t->Format = "D W:M:Y  h:m:s";
        const struct {
            TKVStrCatDelim* cat;
            std::string str1, delimiter, str2;
        } joiners[] = {
            {&CatRtt, "", "", Cp1251(" мсек (")},
            {&CatSize, Cp1251("Обменн данными размером "), "", Cp1251(" байт, время ответа - ")},
            {&CatReply, "(", "", ")"},
            {&CatTimeout, Cp1251("Хост не ответил вовремя - "), "", ""},
            {&CatEvery, Cp1251("Пингуем узел каждые "), "", Cp1251(" мсек (")},
            {&CatOne, "", "", "1"},
            {&CatStop, Cp1251("Нажата кнопка \"стоп\" ("), "", ")"},
            {&CatStart, "", "", ")"},
        };
        for (const auto& j : joiners) {
            j.cat->Str1 = j.str1;
            j.cat->Delimiter = j.delimiter;
            j.cat->Str2 = j.str2;
        }
        const struct {
            TKVHub* hub;
            uint8_t in, out;
        } hubs[] = {{&HubLog, 4, 1},   {&HubFail, 1, 2},  {&HubReply, 1, 2}, {&HubStart, 1, 2},
                    {&HubError, 1, 2}, {&HubReset, 2, 2}, {&HubStop, 1, 3},  {&HubStarted, 1, 2}};
        for (const auto& h : hubs) {
            h.hub->InCount = h.in;
            h.hub->SetOutCount(h.out);
        }
        MemTimeout.SetDefault(IntData(0));
        MemReply.SetDefault(IntData(0));
        MathMs.Operation = 2;
        MathMs.Op1 = 0.0;
        MathMs.Op2 = 1000.0;
        MathMs.ResultType = 1;
        MathMs.SetDefault(0.0);
        MathMs.SetAngleMode(false);
        IfZero.Type = 0;
        IfZero.Op2 = IntData(0);

        const struct {
            TKV_Event* from;
            TKV_Event to;
        } links[] = {
            {&out.evCreate, MakeEvent<&TKVHub::actIn>(&HubReset, 1)},
            {&out.evReply, MakeEvent<&TKVHub::actIn>(&HubReply, 0)},
            {&out.evError, MakeEvent<&TKVHub::actIn>(&HubFail, 0)},
            {&CatRtt.evResult, MakeEvent<&TKVStrCatDelim::actStrCat>(&CatReply, 0)},
            {&CatRtt.pinStr1, MakeEvent<&TKVStrCatDelim::getResult>(&CatSize, 0)},
            {&CatRtt.pinDelimiter, MakeEvent<&Outside::getRoundTrip>(&out, 0)},
            {&CatSize.evResult, MakeEvent<&TKVStrCatDelim::actStrCat>(&CatRtt, 0)},
            {&CatSize.pinDelimiter, MakeEvent<&Outside::getReplySize>(&out, 1)},
            {&CatReply.evResult, MakeEvent<&TKVMemory::actValue>(&MemReply, 0)},
            {&CatReply.pinStr1, MakeEvent<&TKVStrCatDelim::getResult>(&CatRtt, 0)},
            {&CatReply.pinDelimiter, MakeEvent<&TKVTime::getTime>(&TimeReply, 0)},
            {&CatTimeout.evResult, MakeEvent<&TKVMemory::actValue>(&MemTimeout, 0)},
            {&CatTimeout.pinDelimiter, MakeEvent<&TKVTime::getTime>(&TimeTimeout, 0)},
            {&HubLog.evOut[0], MakeEvent<&Outside::logAdd>(&out, 0)},
            {&MemTimeout.evData, MakeEvent<&TKVHub::actIn>(&HubLog, 0)},
            {&MemTimeout.pinData, MakeEvent<&TKVStrCatDelim::getResult>(&CatTimeout, 0)},
            {&MemReply.evData, MakeEvent<&TKVHub::actIn>(&HubLog, 1)},
            {&MemReply.pinData, MakeEvent<&TKVStrCatDelim::getResult>(&CatReply, 0)},
            {&HubFail.evOut[0], MakeEvent<&TKVStrCatDelim::actStrCat>(&CatTimeout, 0)},
            {&HubFail.evOut[1], MakeEvent<&Outside::lampOff>(&out, 1)},
            {&HubReply.evOut[0], MakeEvent<&Outside::lampOn>(&out, 2)},
            {&HubReply.evOut[1], MakeEvent<&TKVStrCatDelim::actStrCat>(&CatSize, 0)},
            {&out.evChange, MakeEvent<&TKVMath::actCalc>(&MathMs, 0)},
            {&out.evStartClick, MakeEvent<&TKVHub::actIn>(&HubStart, 0)},
            {&out.evStopClick, MakeEvent<&TKVHub::actIn>(&HubStop, 0)},
            {&MathMs.evResult, MakeEvent<&TKVIf_else::actCompare>(&IfZero, 0)},
            {&CatEvery.evResult, MakeEvent<&TKVStrCatDelim::actStrCat>(&CatStart, 0)},
            {&CatEvery.pinDelimiter, MakeEvent<&TKVMath::getResult>(&MathMs, 0)},
            {&HubStart.evOut[0], MakeEvent<&TKVStrCatDelim::actStrCat>(&CatEvery, 0)},
            {&HubStart.evOut[1], MakeEvent<&Outside::timerStart>(&out, 0)},
            {&IfZero.evTrue, MakeEvent<&TKVHub::actIn>(&HubError, 0)},
            {&IfZero.evFalse, MakeEvent<&Outside::timerInterval>(&out, 2)},
            {&HubError.evOut[0], MakeEvent<&Outside::errorBox>(&out, 0)},
            {&HubError.evOut[1], MakeEvent<&TKVHub::actIn>(&HubReset, 0)},
            {&CatOne.evResult, MakeEvent<&Outside::editText>(&out, 0)},
            {&HubReset.evOut[1], MakeEvent<&TKVStrCatDelim::actStrCat>(&CatOne, 0)},
            {&CatStop.evResult, MakeEvent<&TKVHub::actIn>(&HubLog, 3)},
            {&CatStop.pinDelimiter, MakeEvent<&TKVTime::getTime>(&TimeStop, 0)},
            {&HubStop.evOut[0], MakeEvent<&TKVStrCatDelim::actStrCat>(&CatStop, 0)},
            {&HubStop.evOut[1], MakeEvent<&Outside::timerStop>(&out, 1)},
            {&HubStop.evOut[2], MakeEvent<&Outside::cycleOff>(&out, 1)},
            {&CatStart.evResult, MakeEvent<&TKVHub::actIn>(&HubStarted, 0)},
            {&CatStart.pinStr1, MakeEvent<&TKVStrCatDelim::getResult>(&CatEvery, 0)},
            {&CatStart.pinDelimiter, MakeEvent<&TKVTime::getTime>(&TimeStart, 0)},
            {&HubStarted.evOut[0], MakeEvent<&TKVHub::actIn>(&HubLog, 2)},
            {&HubStarted.evOut[1], MakeEvent<&Outside::cycleOn>(&out, 2)},
        };
        for (const auto& l : links)
            *l.from = l.to;
    }
};

class LogLines : public ::testing::Test {
protected:
    void SetUp() override {
        LocalTimeSource = SaturdayEvening;
        EnableLinks();
    }
    void TearDown() override {
        DisableLinks();
        LocalTimeSource = nullptr;
    }
    Scheme s;
    std::vector<std::string>& journal = s.out.journal;
};

std::string Line(std::string_view text) {
    return "log:" + std::string(text);
}

TEST_F(LogLines, EchoReply) {
    s.out.replySize = 32;
    s.out.roundTrip = 15;
    EmitStr(s.out.evReply, "127.0.0.1");
    const std::string line = Cp1251("Обменн данными размером ").str() + "32" +
                             Cp1251(" байт, время ответа - ").str() + "15" + Cp1251(" мсек (").str() +
                             kStamp + ")";
    EXPECT_EQ(journal, (std::vector<std::string>{"host lamp on:127.0.0.1", Line(line)}));
    EXPECT_EQ(ToString(s.MemReply.Value), line);

    // The next reply pulls fresh values: nothing of the previous line is left over.
    journal.clear();
    s.out.replySize = 128;
    s.out.roundTrip = 0;
    EmitStr(s.out.evReply, "127.0.0.1");
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1],
              Line(Cp1251("Обменн данными размером ").str() + "128" + Cp1251(" байт, время ответа - ").str() +
                   "0" + Cp1251(" мсек (").str() + kStamp + ")"));
}

TEST_F(LogLines, EchoFailureCodeLandsAfterTheTime) {
    for (const int32_t code : {1, 2, 3}) {
        SCOPED_TRACE(code);
        journal.clear();
        EmitInt(s.out.evError, code);
        const std::string line = Cp1251("Хост не ответил вовремя - ").str() + kStamp + std::to_string(code);
        // The lamp's copy is the code itself, untouched by the joiner that consumed its own.
        EXPECT_EQ(journal, (std::vector<std::string>{Line(line), "host lamp off:" + std::to_string(code)}));
    }
}

TEST_F(LogLines, StartUpPutsOneIntoThePeriodEdit) {
    EmitNull(s.out.evCreate);
    EXPECT_EQ(journal, std::vector<std::string>{"period text:1"});
}

TEST_F(LogLines, PeriodCheckAndPeriodicStartLine) {
    const struct {
        const char* typed;
        std::vector<std::string> check;  // what the period check does
        const char* ms;                  // the period in the start line
    } cases[] = {
        {"1", {"interval:1000"}, "1000"},
        {"0.5", {"interval:500"}, "500"},
        {"999", {"interval:999000"}, "999000"},
        // Refused: the box gets the product, then the text goes back to 0 followed by 1.
        {"", {"error box:0", "period text:01"}, "0"},
        {"0", {"error box:0", "period text:01"}, "0"},
        {"x", {"error box:0", "period text:01"}, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        journal.clear();
        EmitStr(s.out.evChange, c.typed);
        EXPECT_EQ(journal, c.check);

        journal.clear();
        EmitNull(s.out.evStartClick);
        const std::string line =
            Cp1251("Пингуем узел каждые ").str() + c.ms + Cp1251(" мсек (").str() + kStamp + ")";
        EXPECT_EQ(journal, (std::vector<std::string>{Line(line), "cycle lamp on:" + line, "timer start:"}));
    }
}

TEST_F(LogLines, Stop) {
    EmitNull(s.out.evStopClick);
    const std::string line = Cp1251("Нажата кнопка \"стоп\" (").str() + kStamp + ")";
    EXPECT_EQ(journal, (std::vector<std::string>{Line(line), "timer stop:", "cycle lamp off:"}));
}

}  // namespace
