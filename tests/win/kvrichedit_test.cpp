// The rich-edit log on a real window: separators, each line's own colour and style read back with
// EM_GETCHARFORMAT, clearing, the raised text limit, and 100,000 lines all kept.
#include <gtest/gtest.h>
#include <windows.h>

#include <richedit.h>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "wincomponents/kvrichedit.h"

namespace {

TKVRichEdit* MakeLog(Probe& text, Probe& color, Probe& style) {
    auto* log = Make<TKVRichEdit>(10, 100, 390, 205);
    log->Color = 0xFF000005;
    log->Ctl3D = 1;
    log->ScrollBars = 2;
    log->ReadOnly = 1;
    log->NewLine = 1;
    log->pinStr = text.Pin();
    log->pinColor = color.Pin();
    log->pinStyle = style.Pin();
    log->InitControl();
    return log;
}

void Add(TKVRichEdit* log, Probe& text, Probe& color, Probe& style, const char* t, uint32_t c, int32_t s) {
    SetString(text.Answer, t);
    color.Answer = IntData(static_cast<int32_t>(c));
    style.Answer = IntData(s);
    EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
}

CHARFORMAT2W FormatOf(TKVRichEdit* log, int32_t start, int32_t length) {
    log->Control->Perform(EM_SETSEL, start, start + length);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    log->Control->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

TEST(KVRichEdit, EveryLineKeepsItsColourAndStyle) {
    struct Line {
        const char* text;
        uint32_t color;
        int32_t style;
        DWORD effects;
    };
    const Line lines[] = {
        {"first", 0x008000, 0, 0},
        {"red and bold", 0x0000FF, 1, CFE_BOLD},
        {"italic underlined", 0xFF000008, 2 | 4, CFE_ITALIC | CFE_UNDERLINE},
        {"plain", 0, 0x100, 0},  // only the low byte counts
    };
    Probe text, color, style, change;
    TKVRichEdit* log = MakeLog(text, color, style);
    log->evChange = change.Out(0);
    EXPECT_EQ(log->Control->Perform(EM_GETLIMITTEXT, 0, 0), TKVRichEdit::kLogLimit);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "new log" : "after actClear");
        std::string all;
        for (const Line& l : lines) {
            Add(log, text, color, style, l.text, l.color, l.style);
            all += (all.empty() ? "" : "\r\n") + std::string(l.text);
        }
        TData got;
        log->getText(got, 0);
        EXPECT_EQ(ToString(got), all) << "a CR LF before every line but the first";
        int32_t start = 0;
        for (const Line& l : lines) {
            SCOPED_TRACE(l.text);
            const auto length = static_cast<int32_t>(strlen(l.text));
            const CHARFORMAT2W cf = FormatOf(log, start, length);
            EXPECT_EQ(cf.crTextColor, Color2RGB(l.color));
            EXPECT_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE), l.effects);
            start += length + 1;  // the control counts a line break as one character
        }
        change.Got.clear();
        EmitNull(MakeEvent<&TKVWinList::actClear>(log, 0));
        EXPECT_EQ(change.Got, std::vector<std::string>{"0:"});
    }
    delete log;
}

bool UnderWine() {
    HMODULE nt = GetModuleHandleW(L"ntdll.dll");
    return nt != nullptr && GetProcAddress(nt, "wine_get_version") != nullptr;
}

// Wine's rich edit does not enforce the default limit, so the limit is read back as well.
TEST(KVRichEdit, HundredThousandLinesAreAllKept) {
    // Wine's control takes about 22 KB a line (bench/win/log.cpp prints it): 100,000 lines do not fit a
    // 32-bit address space there, as they do on Windows.
    if (sizeof(void*) == 4 && UnderWine()) GTEST_SKIP() << "100,000 lines exceed 32-bit Wine's rich edit";
    Probe text, color, style;
    TKVRichEdit* log = MakeLog(text, color, style);
    // Hidden, an append costs no repaint; the measurement times the visible case.
    log->Control->SetVisible(false);
    const std::string line =
        Cp1251("Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026  23:59:59)");
    // Ten lines an append keeps the run short under 32-bit Wine; every append still adds its separator.
    for (int i = 0; i < 100000; i += 10) {
        std::string lines;
        for (int j = i; j < i + 10; ++j)
            lines += (j == i ? "" : "\r\n") + std::to_string(j) + " " + line;
        Add(log, text, color, style, lines.c_str(), (i / 10) % 2 ? 0x0000FF : 0, 0);
    }
    TData all;
    log->getText(all, 0);
    const std::string kept = ToString(all);
    size_t lines = 1;
    for (size_t at = 0; (at = kept.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 100000u) << "EM_GETLINECOUNT would count wrapped lines";
    EXPECT_GT(kept.size(), 100000u * 80) << "far past the control's default limit";
    const std::string last = "99999 " + line;
    EXPECT_TRUE(kept.ends_with(last));
    // The control counts each line break as one character.
    const auto lastStart = static_cast<int32_t>(kept.size() - (lines - 1) - last.size());
    EXPECT_EQ(FormatOf(log, lastStart, 5).crTextColor, 0x0000FFu) << "the last line too has its own colour";
    delete log;
}

}  // namespace
