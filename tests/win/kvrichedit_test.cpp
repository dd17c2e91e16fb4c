// The rich-edit log on a real window, at bounds lowered so that Wine's control is quick enough: past
// the bound the newest lines stay with their own format, trims and clearing cannot be undone and
// clearing gives the memory back; a reader scrolled back keeps the place; a lowered text limit and a
// refused line keep it logging.
#include <gtest/gtest.h>
#include <windows.h>

#include <richedit.h>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "tests/support/wintest.h"
#include "toolkit/gdi.h"
#include "wincomponents/kvrichedit.h"

namespace {

// Line n of the feed: its number first, so that order and loss show.
std::string LineText(int n) {
    return std::to_string(n) +
           std::string(Cp1251(" Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026)"));
}

class Log : public testing::Test {
protected:
    Probe text, color, style;
    TKVRichEdit* log = Make<TKVRichEdit>(10, 100, 390, 205);
    HWND window = nullptr;
    int next = 0;

    void SetUp() override {
        log->ScrollBars = 2;
        log->ReadOnly = 1;
        log->NewLine = 1;
        log->pinStr = text.Pin();
        log->pinColor = color.Pin();
        log->pinStyle = style.Pin();
        log->InitControl();
        window = Window(log);
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
        color.Answer = IntData(odd ? 0x0000FF : static_cast<int32_t>(SchemeSysColor(COLOR_WINDOWTEXT)));
        style.Answer = IntData(odd ? kFontBold | kFontItalic | kFontUnderline : 0);
        EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
    }
    std::string Text() {
        TData all;
        log->getText(all, 0);
        return ToString(all);
    }
    // Expects the log to hold exactly the feed lines from first to the newest, in order.
    void ExpectNewest(int first) {
        std::string want;
        for (int n = first; n < next; ++n)
            want += (n == first ? "" : "\r\n") + LineText(n);
        ASSERT_EQ(Text(), want);
        EXPECT_EQ(log->LogLines(), next - first);
    }
    // Control position of feed line n, with first the first line kept: every line has one break.
    LONG At(int n, int first = 0) { return static_cast<LONG>(Text().find(LineText(n)) - size_t(n - first)); }
};

TEST_F(Log, PastTheBoundTheNewestLinesStayWithTheirOwnFormat) {
    log->MaxLines = 500;
    const double empty = WorkingSetMb();
    // Three times the bound in appends of ten lines that alternate their format, then single lines.
    for (int i = 0; i < 150; ++i)
        Add(10, i % 2 != 0);
    for (int i = 0; i < 7; ++i)
        Add(1, i % 2 != 0);
    const int first = next - 500;
    ExpectNewest(first);

    // The first line kept lost the lines of its own append before it, not its format.
    const DWORD effects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE;
    for (const auto& [line, odd] :
         {std::pair{first, (first / 10) % 2 != 0}, {1499, true}, {1500, false}, {next - 1, false}}) {
        log->Control->Perform(EM_SETSEL, At(line, first), At(line, first) + 5);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        log->Control->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        EXPECT_EQ(cf.crTextColor, odd ? 0x0000FFu : Color2RGB(SchemeSysColor(COLOR_WINDOWTEXT))) << line;
        EXPECT_EQ(cf.dwEffects & effects, odd ? effects : 0u) << line;
    }
    // Undo takes back the newest append alone: the lines trimmed for it do not return.
    log->Control->Perform(EM_UNDO, 0, 0);
    --next;
    ExpectNewest(first);
    // Another program rewrites the text: the log counts from what the control holds from then on.
    SendMessageW(window, WM_SETTEXT, 0, LPARAM(L"x"));
    Add(1, false);
    EXPECT_EQ(Text(), "x\r\n" + LineText(next - 1));
    EXPECT_EQ(log->LogLines(), 2);

    const double full = WorkingSetMb();
    EmitNull(MakeEvent<&TKVWinList::actClear>(log, 0));
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(log->Control->Perform(EM_CANUNDO, 0, 0), 0);
    // Windows' control takes far less a line than Wine's; only a growth that shows can be seen to go.
    if (full - empty > 4) {
        EXPECT_LT(WorkingSetMb() - empty, (full - empty) / 4) << empty << " " << full;
    }
    Add(1, false);
    EXPECT_EQ(Text(), LineText(next - 1)) << "no separator before the first line";
}

TEST_F(Log, AReaderScrolledBackKeepsTheTextOnTopAndTheSelection) {
    log->MaxLines = 0;
    for (int i = 0; i < 30; ++i)
        Add(10, false);
    log->Control->SetVisible(true);
    const auto topAndSelected = [&] {
        const auto start = static_cast<LONG>(
            SendMessageW(window, EM_LINEINDEX, SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0), 0));
        wchar_t top[16] = {}, sel[64] = {};
        TEXTRANGEW range{{start, start + 15}, top};
        SendMessageW(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        SendMessageW(window, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(sel));
        return std::wstring(top) + L"|" + sel;
    };
    // Words of line 210 selected, scrolled back to about line 196 (Wine scrolls by its own rows).
    SendMessageW(window, EM_SETSEL, At(210), At(210) + 20);
    const auto row = SendMessageW(window, EM_EXLINEFROMCHAR, 0, At(196));
    SendMessageW(window, EM_LINESCROLL, 0, row - SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0));
    PumpFor(50);
    const std::wstring before = topAndSelected();
    ASSERT_GT(_wtoi(before.c_str()), 60) << "past the lines that go";
    log->TrimOldest(50);
    PumpFor(50);
    EXPECT_EQ(topAndSelected(), before);
    ExpectNewest(50);
    // When the lines on top go, the view starts at the first line kept.
    log->TrimOldest(200);
    EXPECT_EQ(SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    ExpectNewest(250);
}

// Refuses the next non-empty replacement as the control does without memory (nothing goes in,
// EN_ERRSPACE) or at its limit (the start of the text goes in, EN_MAXTEXT).
WNDPROC original = nullptr;
UINT refusal = 0;

LRESULT CALLBACK Refuse(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    if (msg != EM_REPLACESEL || refusal == 0 || text == nullptr || *text == 0)
        return CallWindowProcW(original, window, msg, wParam, lParam);
    if (refusal == EN_MAXTEXT) CallWindowProcW(original, window, msg, wParam, LPARAM(L"\r\n12 cut"));
    SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), std::exchange(refusal, 0)),
                 LPARAM(window));
    return 0;
}

TEST_F(Log, ALoweredTextLimitAndARefusedLineKeepItLogging) {
    log->MaxLines = 0;
    // Under Wine the control takes text past its limit; the log keeps to it all the same.
    log->Control->Perform(EM_EXLIMITTEXT, 0, 20000);
    GETTEXTLENGTHEX chars{GTL_PRECISE | GTL_NUMCHARS, 1200};
    for (int i = 0; i < 500; ++i) {
        Add(1, false);
        ASSERT_LE(log->Control->Perform(EM_GETTEXTLENGTHEX, WPARAM(&chars), 0), 20000) << i;
    }
    ExpectNewest(next - log->LogLines());
    EXPECT_GT(log->LogLines(), 200);

    original = WNDPROC(SetWindowLongPtrW(window, GWLP_WNDPROC, LONG_PTR(&Refuse)));
    for (const UINT code : {EN_ERRSPACE, EN_MAXTEXT}) {
        const int lines = log->LogLines();
        refusal = code;
        Add(1, true);
        EXPECT_EQ(refusal, 0u) << code;
        // Half the log went for it; the line is there whole and the next one goes in as always.
        EXPECT_LE(log->LogLines(), lines / 2 + 2) << code;
        Add(1, false);
        ExpectNewest(next - log->LogLines());
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, LONG_PTR(original));
}

}  // namespace
