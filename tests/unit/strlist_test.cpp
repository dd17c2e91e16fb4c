// TStrList: splitting at carriage returns, lines that live in the shared text buffer while it moves,
// and which lines are freed. (TStrListEx has no user in the program.)
// ASan reports a dangling line after the buffer moves and a free of memory inside the buffer;
// LeakSanitizer reports an owned line that was never freed.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/strlist.h"

namespace {

using OwnedStrList = std::unique_ptr<TStrList, TObjFree>;
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrList& list) {
    Lines out;
    for (int32_t i = 0; i < list.Count; ++i) {
        const char* line = list.Get(i);
        out.emplace_back(line != nullptr ? line : "<null>");
    }
    return out;
}

TEST(TStrList, SetTextSplitsAtCarriageReturns) {
    const struct {
        std::string text;
        Lines expected;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},                     // no empty last line
        {"a\nb", {"a\nb"}},                             // a lone LF stays in the line
        {"\r\r", {"", ""}},                             // two CRs are two empty lines
        {"a\r\n\nb", {"a", "\nb"}},                     // only the first LF after a CR is dropped
        {"", {}},                                       //
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}}  // the text ends at a zero byte
    };
    for (const auto& c : cases) {
        OwnedStrList list(NewObj<TStrList>());
        EXPECT_TRUE(list->SetText(c.text, false));
        EXPECT_EQ(LinesOf(*list), c.expected) << c.text;
    }
}

// A text may also be one of the list's own lines, owned or inside the buffer that the call moves or
// replaces.
TEST(TStrList, LinesStayReadableWhileTheBufferMovesAndLinesAreDeleted) {
    OwnedStrList list(NewObj<TStrList>());
    ASSERT_TRUE(list->SetText("one\r\ntwo", false));
    ASSERT_EQ(list->Add("owned"), 2);
    ASSERT_EQ(list->Add("x\ry"), 3);
    ASSERT_TRUE(list->SetText("", true));
    Lines expected = {"one", "two", "owned", "x\ry"};
    // The first delete takes the owned line, the later ones lines of older texts inside the buffer.
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(list->SetText("a" + n + "\r\nb" + n + "\r\n", true));
        expected.insert(expected.end(), {"a" + n, "b" + n});
        if (i % 3 == 0) {
            list->Delete(list->Count - 4);
            expected.erase(expected.end() - 4);
        }
    }
    list->Delete(list->Count);  // outside: nothing
    ASSERT_TRUE(list->SetText(list->Get(2), true));
    ASSERT_TRUE(list->SetText(list->Get(1), true));
    expected.insert(expected.end(), {"x", "y", "two"});
    EXPECT_EQ(LinesOf(*list), expected);
    EXPECT_EQ(list->Lines->Count, list->Count);
    ASSERT_TRUE(list->SetText(list->Get(2), false));
    ASSERT_TRUE(list->SetText(list->Get(1), false));
    EXPECT_EQ(LinesOf(*list), Lines{"y"});
}

}  // namespace
