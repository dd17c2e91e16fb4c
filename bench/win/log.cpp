// The log at length: the cost of appending one line at 1,000 lines and at 100,000 lines, with the log
// visible on the virtual display (each append timed with the repaint it causes), whether all 100,000
// lines are there afterwards, and the process working set with them. The long fill runs hidden, where an
// append costs no repaint.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "tests/support/wintest.h"
#include "wincomponents/kvrichedit.h"

namespace {

constexpr int kTimed = 200;  // appends timed at each length
constexpr int kTotal = 100000;

struct LogFeed {
    TKVRichEdit* log = nullptr;
    Probe text, color;
    std::string line =
        Cp1251("Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026  23:59:59)");
    int n = 0;

    void Add() {
        SetString(text.Answer, std::to_string(++n) + " " + line);
        color.Answer = IntData(n % 2 != 0 ? 0x0000FF : 0);
        EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
    }
    // Fills hidden; returns the mean milliseconds of the last kTimed appends there (no repaint).
    double FillHidden(int upTo) {
        log->Control->SetVisible(false);
        while (n < upTo - kTimed)
            Add();
        const double t0 = NowMs();
        while (n < upTo)
            Add();
        const double mean = (NowMs() - t0) / kTimed;
        log->Control->SetVisible(true);
        Pump(200);
        return mean;
    }
    // Median and mean milliseconds of one visible append, repaint included.
    void Time(double& median, double& mean) {
        std::vector<double> ms;
        for (int i = 0; i < kTimed; ++i) {
            const double t0 = NowMs();
            Add();
            Pump();
            ms.push_back(NowMs() - t0);
        }
        mean = 0;
        for (double v : ms)
            mean += v / kTimed;
        std::sort(ms.begin(), ms.end());
        median = ms[kTimed / 2];
    }
};

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return -1;
    return static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
}

}  // namespace

int main() {
    LogFeed feed;
    feed.log = Make<TKVRichEdit>(10, 100, 390, 205);
    feed.log->Color = 0xFF000005;
    feed.log->ScrollBars = 2;
    feed.log->ReadOnly = 1;
    feed.log->NewLine = 1;
    feed.log->pinStr = feed.text.Pin();
    feed.log->pinColor = feed.color.Pin();
    feed.log->InitControl();
    if (!IsWindowVisible(Window(feed.log))) {
        std::printf("log: the window could not be shown\n");
        return 1;
    }

    double med1k = 0, mean1k = 0, med100k = 0, mean100k = 0;
    const double hidden1k = feed.FillHidden(1000);
    feed.Time(med1k, mean1k);
    const double ws1k = WorkingSetMb();
    const double hidden100k = feed.FillHidden(kTotal - kTimed);
    feed.Time(med100k, mean100k);
    // EM_GETLINECOUNT counts wrapped lines; the log's lines are its CR LF breaks plus one.
    TData all;
    feed.log->getText(all, 0);
    const std::string text = ToString(all);
    int lines = 1;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;

    std::printf(
        "log: one visible append at 1,000 lines %.2f ms (mean %.2f), at 100,000 lines %.2f ms (mean %.2f); "
        "ratio %.2f (target <= 2)\n",
        med1k, mean1k, med100k, mean100k, med100k / med1k);
    std::printf("log: one hidden append (no repaint) at 1,000 lines %.2f ms, at 100,000 lines %.2f ms\n",
                hidden1k, hidden100k);
    const double ws100k = WorkingSetMb();
    std::printf(
        "log: %d of %d lines kept; working set with them %.1f MB (target < 64), with 1,200 lines %.1f MB, "
        "so %.1f KB per line\n",
        lines, kTotal, ws100k, ws1k, (ws100k - ws1k) * 1024.0 / (kTotal - 1000 - kTimed));
    return lines == kTotal ? 0 : 1;
}
