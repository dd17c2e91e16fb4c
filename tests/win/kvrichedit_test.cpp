// The rich-edit log on a real window, at bounds lowered so that Wine's control is quick enough: past
// the bound the newest lines stay, each with its own colour and style; a reader scrolled back keeps the
// place; a lowered text limit and a refused line keep it logging; clearing gives the memory back.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>
#include <richedit.h>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "wincomponents/kvrichedit.h"

namespace {

const std::string kLine =
    Cp1251("Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026  23:59:59)");

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
}

// Line n of the feed: its number first, so that order and loss show.
std::string LineText(int n) {
    return std::to_string(n) + " " + kLine;
}

class Log : public testing::Test {
protected:
    Probe text, color, style;
    TKVRichEdit* log = Make<TKVRichEdit>(10, 100, 390, 205);
    int next = 0;

    void SetUp() override {
        log->ScrollBars = 2;
        log->ReadOnly = 1;
        log->NewLine = 1;
        log->pinStr = text.Pin();
        log->pinColor = color.Pin();
        log->pinStyle = style.Pin();
        log->InitControl();
        // Hidden, an append costs no repaint; the scrolling case shows it.
        log->Control->SetVisible(false);
    }
    void TearDown() override { delete log; }

    // Appends lines lines in one append, red, bold, italic and underlined when odd is set.
    void Add(int lines, bool odd) {
        std::string all;
        for (int j = 0; j < lines; ++j)
            all += (j == 0 ? "" : "\r\n") + LineText(next++);
        SetString(text.Answer, all);
        color.Answer = IntData(odd ? 0x0000FF : static_cast<int32_t>(0xFF000008));
        style.Answer = IntData(odd ? 1 | 2 | 4 : 0);
        EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
    }
    std::string Text() {
        TData all;
        log->getText(all, 0);
        return ToString(all);
    }
    // The log's lines as the numbers they start with; -1 for a line that is not a whole feed line.
    std::vector<int> Numbers() {
        std::vector<int> got;
        const std::string all = Text();
        for (size_t at = 0; at <= all.size();) {
            size_t end = all.find("\r\n", at);
            if (end == std::string::npos) end = all.size();
            const std::string line = all.substr(at, end - at);
            const int n = std::atoi(line.c_str());
            got.push_back(line == LineText(n) ? n : -1);
            at = end + 2;
        }
        return got;
    }
    // Expects the log to hold exactly the feed lines from first to the newest, in order.
    void ExpectNewest(int first) {
        const std::vector<int> got = Numbers();
        ASSERT_EQ(static_cast<int>(got.size()), next - first);
        for (int i = 0; i < static_cast<int>(got.size()); ++i)
            ASSERT_EQ(got[static_cast<size_t>(i)], first + i) << "line " << i;
    }
    // The format at the start of feed line n, with first the first line the log holds.
    CHARFORMAT2W FormatOf(int n, int first) {
        const auto start = static_cast<int32_t>(Text().find(LineText(n) + (n + 1 < next ? "\r\n" : "")) -
                                                static_cast<size_t>(n - first));
        log->Control->Perform(EM_SETSEL, start, start + 5);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        log->Control->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    }
};

TEST_F(Log, PastTheBoundTheNewestLinesStayWithTheirOwnFormat) {
    EXPECT_EQ(log->Control->Perform(EM_GETLIMITTEXT, 0, 0), TKVRichEdit::kLogLimit);
    EXPECT_EQ(log->MaxLines, TKVRichEdit::kDefaultMaxLines);
    log->MaxLines = 500;
    // Three times the bound in appends of ten lines that alternate their format, then single lines.
    for (int i = 0; i < 150; ++i)
        Add(10, i % 2 != 0);
    for (int i = 0; i < 7; ++i)
        Add(1, i % 2 != 0);
    EXPECT_EQ(log->LogLines(), 500);
    ExpectNewest(next - 500);

    // The first line kept lost the lines of its own append before it, not its format.
    const int first = next - 500;
    const DWORD effects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE;
    const struct {
        int line;
        bool odd;
    } cases[] = {{first, ((first / 10) % 2) != 0}, {1499, true}, {1500, false}, {next - 1, false}};
    for (const auto& c : cases) {
        const CHARFORMAT2W cf = FormatOf(c.line, first);
        EXPECT_EQ(cf.crTextColor, c.odd ? 0x0000FFu : Color2RGB(0xFF000008)) << c.line;
        EXPECT_EQ(cf.dwEffects & effects, c.odd ? effects : 0u) << c.line;
    }

    // Undo takes back the newest append alone: the lines trimmed for it do not return.
    ASSERT_NE(log->Control->Perform(EM_CANUNDO, 0, 0), 0);
    log->Control->Perform(EM_UNDO, 0, 0);
    --next;
    ExpectNewest(first);
}

TEST_F(Log, AReaderScrolledBackKeepsTheTextOnTopAndTheSelection) {
    log->MaxLines = 0;
    for (int i = 0; i < 30; ++i)
        Add(10, false);
    log->Control->SetVisible(true);
    Pump(100);
    HWND window = Window(log);
    // Control position of feed line n: every line before it has one break.
    const auto at = [&](int n) {
        return static_cast<LONG>(Text().find(LineText(n)) - static_cast<size_t>(n));
    };
    const auto selectedAndTop = [&] {
        const auto row = SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0);
        const auto start = static_cast<LONG>(SendMessageW(window, EM_LINEINDEX, row, 0));
        wchar_t top[16] = {}, sel[64] = {};
        TEXTRANGEW range{{start, start + 15}, top};
        SendMessageW(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        SendMessageW(window, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(sel));
        return std::wstring(top) + L"|" + sel;
    };
    // Words of line 210 selected, scrolled back to line 196 on top.
    SendMessageW(window, EM_SETSEL, at(210), at(210) + 20);
    const auto row = SendMessageW(window, EM_EXLINEFROMCHAR, 0, at(196));
    SendMessageW(window, EM_LINESCROLL, 0, row - SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0));
    Pump(50);
    const std::wstring before = selectedAndTop();
    // Wine scrolls by rows of its own; near line 196 is enough, as long as it is past the lines that go.
    const int topLine = _wtoi(before.c_str());
    ASSERT_GT(topLine, 60);
    ASSERT_LT(topLine, 240);
    log->TrimOldest(50);
    Pump(50);
    EXPECT_EQ(selectedAndTop(), before);
    ExpectNewest(50);
    // When the lines on top go, the view starts at the first line kept.
    log->TrimOldest(200);
    Pump(50);
    EXPECT_EQ(SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    ExpectNewest(250);
}

// Refuses the next non-empty replacement as the control does without memory (nothing in, EN_ERRSPACE)
// or at its limit (the start of the text in, EN_MAXTEXT).
struct Refuser {
    static inline WNDPROC Original = nullptr;
    static inline UINT Code = 0;
    static inline bool Armed = false;

    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        if (msg != EM_REPLACESEL || !Armed || text == nullptr || *text == 0)
            return CallWindowProcW(Original, window, msg, wParam, lParam);
        Armed = false;
        LRESULT r = 0;
        if (Code == EN_MAXTEXT)
            r = CallWindowProcW(Original, window, msg, wParam, reinterpret_cast<LPARAM>(L"\r\n12 cut"));
        SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), Code),
                     reinterpret_cast<LPARAM>(window));
        return r;
    }
};

TEST_F(Log, ALoweredTextLimitAndARefusedLineKeepItLogging) {
    log->MaxLines = 0;
    // Under Wine the control takes text past its limit; the log keeps to it all the same.
    log->Control->Perform(EM_EXLIMITTEXT, 0, 20000);
    int first = 0;
    for (int i = 0; i < 500; ++i) {
        Add(1, false);
        GETTEXTLENGTHEX how{GTL_PRECISE | GTL_NUMCHARS, 1200};
        ASSERT_LE(log->Control->Perform(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0), 20000) << i;
        first = next - log->LogLines();
    }
    ExpectNewest(first);
    EXPECT_GT(log->LogLines(), 200);

    HWND window = Window(log);
    Refuser::Original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Refuser::Proc)));
    for (const UINT code : {EN_ERRSPACE, EN_MAXTEXT}) {
        const int lines = log->LogLines();
        Refuser::Code = code;
        Refuser::Armed = true;
        Add(1, true);
        EXPECT_FALSE(Refuser::Armed) << code;
        // Half the log went for it; the line is there whole and the next one goes in as always.
        EXPECT_LE(log->LogLines(), lines / 2 + 2) << code;
        Add(1, false);
        ExpectNewest(next - log->LogLines());
        EXPECT_EQ(log->Control->TextRefused, 0) << code;
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Refuser::Original));
}

TEST_F(Log, ClearingKeepsNothingForUndoAndGivesTheMemoryBack) {
    log->MaxLines = 0;
    const double empty = WorkingSetMb();
    for (int i = 0; i < 300; ++i)
        Add(10, i % 2 != 0);
    const double full = WorkingSetMb();
    EmitNull(MakeEvent<&TKVWinList::actClear>(log, 0));
    Pump(50);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(log->LogLines(), 0);
    EXPECT_EQ(log->Control->Perform(EM_CANUNDO, 0, 0), 0);
    // Windows' control takes far less a line than Wine's; the test needs a growth to see it go.
    if (full - empty > 8) {
        EXPECT_LT(WorkingSetMb() - empty, (full - empty) / 4) << empty << " " << full;
    }
    // A new line starts the log again without a separator.
    Add(1, false);
    EXPECT_EQ(Text(), LineText(next - 1));
}

}  // namespace
