// The bounded log at length, with the log visible on the virtual display where a person would see it
// (each append timed with the repaint it causes) and hidden for the long fills, where an append costs
// no repaint:
//   - at a lowered bound: the working set at the bound and after three times its lines, lines kept;
//   - on the 32-bit build, a long run of 100,000 lines at a lowered bound: the newest line last;
//   - at the default bound: the working set filled, one visible append there against one at 1,000
//     lines, and the longest single trim step (removing the oldest line) the window thread takes.
// Figures only: it fails only when lines are lost or out of order.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "tests/support/wintest.h"
#include "wincomponents/kvrichedit.h"

namespace {

constexpr int kTimed = 200;        // visible appends timed at 1,000 lines
constexpr int kTimedAtBound = 20;  // and at the default bound, where Wine's trim is slow
constexpr int kLowBound = 2000;
constexpr int kLongBound = 200;
constexpr int kLongRun = 100000;

struct LogFeed {
    TKVRichEdit* log = nullptr;
    Probe text, color;
    std::string line =
        Cp1251("Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026  23:59:59)");
    int n = 0;

    explicit LogFeed(int32_t maxLines) {
        log = Make<TKVRichEdit>(10, 100, 390, 205);
        log->Color = 0xFF000005;
        log->ScrollBars = 2;
        log->ReadOnly = 1;
        log->NewLine = 1;
        log->MaxLines = maxLines;
        log->pinStr = text.Pin();
        log->pinColor = color.Pin();
        log->InitControl();
    }
    ~LogFeed() { delete log; }

    // Appends lines lines in one append, one colour, red and black in turn.
    void Add(int lines = 1) {
        std::string all;
        for (int i = 0; i < lines; ++i)
            all += (i == 0 ? "" : "\r\n") + std::to_string(++n) + " " + line;
        SetString(text.Answer, all);
        color.Answer = IntData(n % 2 != 0 ? 0x0000FF : 0);
        EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
    }
    // Ten lines an append keeps the long fills short under Wine, where every message is slow.
    void FillHidden(int upTo) {
        log->Control->SetVisible(false);
        while (n < upTo)
            Add(std::min(10, upTo - n));
        log->Control->SetVisible(true);
        PumpFor(200);
    }
    // Median milliseconds of one visible append, repaint included.
    double Time(int times) {
        std::vector<double> ms;
        for (int i = 0; i < times; ++i) {
            const double t0 = NowMs();
            Add();
            PumpFor(0);
            ms.push_back(NowMs() - t0);
        }
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    // The longest of a few visible steps that remove the oldest line, repaint included.
    double LongestTrim(int times) {
        double longest = 0;
        for (int i = 0; i < times; ++i) {
            const double t0 = NowMs();
            log->TrimOldest(1);
            PumpFor(0);
            longest = std::max(longest, NowMs() - t0);
            Add();
        }
        return longest;
    }
    // True when the log holds exactly the newest lines, in order; kept is their number.
    bool Newest(int& kept) {
        TData all;
        log->getText(all, 0);
        const std::string text = ToString(all);
        kept = 0;
        int expected = n - log->LogLines() + 1;
        for (size_t at = 0; at <= text.size(); ++kept, ++expected) {
            size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            if (text.compare(at, end - at, std::to_string(expected) + " " + line) != 0) return false;
            at = end + 2;
        }
        return expected == n + 1;
    }
};

}  // namespace

int main() {
    const int bits = sizeof(void*) * 8;
    bool ok = true;
    int kept = 0;
    {
        LogFeed feed(kLowBound);
        feed.FillHidden(kLowBound);
        const double atBound = WorkingSetMb();
        feed.FillHidden(3 * kLowBound);
        ok = feed.Newest(kept) && ok;
        std::printf(
            "log %d-bit, bound %d: working set at the bound %.1f MB, after %d lines %.1f MB; "
            "%d lines kept, the newest in order: %s\n",
            bits, kLowBound, atBound, 3 * kLowBound, WorkingSetMb(), kept, ok ? "yes" : "NO");
    }
    if (bits == 32) {
        LogFeed feed(kLongBound);
        const double t0 = NowMs();
        feed.FillHidden(kLongRun);
        const bool newest = feed.Newest(kept);
        ok = newest && ok;
        std::printf(
            "log %d-bit, bound %d: %d lines appended in %.0f s, %d kept, the last the newest: %s; "
            "working set %.1f MB\n",
            bits, kLongBound, kLongRun, (NowMs() - t0) / 1000, kept, newest ? "yes" : "NO", WorkingSetMb());
    }
    {
        LogFeed feed(TKVRichEdit::kDefaultMaxLines);
        const double empty = WorkingSetMb();
        feed.FillHidden(1000 - kTimed);
        const double at1k = feed.Time(kTimed);
        const double t0 = NowMs();
        feed.FillHidden(TKVRichEdit::kDefaultMaxLines);
        const double fill = NowMs() - t0;
        const double full = WorkingSetMb();
        const double atBound = feed.Time(kTimedAtBound);
        const double trim = feed.LongestTrim(5);
        const bool newest = feed.Newest(kept);
        ok = newest && ok;
        std::printf(
            "log %d-bit, default bound %d: working set empty %.1f MB, filled hidden %.1f MB (%.0f s); "
            "%d kept in order: %s\n",
            bits, TKVRichEdit::kDefaultMaxLines, empty, full, fill / 1000, kept, newest ? "yes" : "NO");
        std::printf(
            "log %d-bit: one visible append at 1,000 lines %.1f ms, at the bound %.1f ms: ratio %.2f "
            "(goal <= 2); longest trim step %.1f ms\n",
            bits, at1k, atBound, atBound / at1k, trim);
    }
    return ok ? 0 : 1;
}
