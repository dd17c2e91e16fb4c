// The rich-edit log on a real window: the raised text limit, and 100,000 lines all kept with their
// separators, each with its own colour and style read back with EM_GETCHARFORMAT.
#include <gtest/gtest.h>
#include <windows.h>

#include <richedit.h>

#include "support/cp1251.h"
#include "tests/support/wincomp.h"
#include "wincomponents/kvrichedit.h"

namespace {

bool UnderWine() {
    HMODULE nt = GetModuleHandleW(L"ntdll.dll");
    return nt != nullptr && GetProcAddress(nt, "wine_get_version") != nullptr;
}

// Wine's rich edit does not enforce the default limit, so the limit is read back as well.
TEST(KVRichEdit, EveryLineIsKeptWithItsOwnColourAndStyle) {
    // Wine's control takes about 22 KB a line (bench/win/log.cpp prints it): 100,000 lines do not fit a
    // 32-bit address space there, as they do on Windows. 1,000 lines still pass the default limit.
    const int total = sizeof(void*) == 4 && UnderWine() ? 1000 : 100000;
    Probe text, color, style;
    auto* log = Make<TKVRichEdit>(10, 100, 390, 205);
    log->ScrollBars = 2;
    log->ReadOnly = 1;
    log->NewLine = 1;
    log->pinStr = text.Pin();
    log->pinColor = color.Pin();
    log->pinStyle = style.Pin();
    log->InitControl();
    EXPECT_EQ(log->Control->Perform(EM_GETLIMITTEXT, 0, 0), TKVRichEdit::kLogLimit);
    // Hidden, an append costs no repaint; the measurement times the visible case.
    log->Control->SetVisible(false);
    const std::string line =
        Cp1251("Обменн данными размером 128 байт, время ответа - 0 мсек (06.12.2026  23:59:59)");
    // Ten lines an append keeps the run short; every append still adds its separator. Every other
    // append is red, bold, italic and underlined, the rest in a system colour.
    for (int i = 0; i < total; i += 10) {
        std::string lines;
        for (int j = i; j < i + 10; ++j)
            lines += (j == i ? "" : "\r\n") + std::to_string(j) + " " + line;
        SetString(text.Answer, lines);
        color.Answer = IntData((i / 10) % 2 != 0 ? 0x0000FF : static_cast<int32_t>(0xFF000008));
        style.Answer = IntData((i / 10) % 2 != 0 ? 1 | 2 | 4 : 0);
        EmitNull(MakeEvent<&TKVWinList::actAdd>(log, 0));
    }
    TData all;
    log->getText(all, 0);
    const std::string kept = ToString(all);
    int lines = 1;
    for (size_t at = 0; (at = kept.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, total)
        << "a CR LF before every line but the first (EM_GETLINECOUNT counts wrapped ones)";
    EXPECT_TRUE(kept.ends_with(std::to_string(total - 1) + " " + line));

    // The control counts each line break as one character: line n has n of them before it.
    const auto format = [&](int n) {
        const auto start = static_cast<int32_t>(kept.find(std::to_string(n) + " " + line) - n);
        log->Control->Perform(EM_SETSEL, start, start + 5);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        log->Control->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    };
    // The last line, and the last one of the append before it.
    const CHARFORMAT2W last = format(total - 1), before = format(total - 11);
    const DWORD effects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE;
    EXPECT_EQ(last.crTextColor, 0x0000FFu);
    EXPECT_EQ(last.dwEffects & effects, effects);
    EXPECT_EQ(before.crTextColor, Color2RGB(0xFF000008));
    EXPECT_EQ(before.dwEffects & effects, 0u);
    delete log;
}

}  // namespace
