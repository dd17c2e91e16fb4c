// TStrList and TStrListEx: splitting at carriage returns, lines that live in the shared text buffer
// while it moves, which lines are freed, and objects that stay with their lines.
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

TEST(TStrList, AppendedLinesStayReadableWhileTheBufferMovesAndLinesAreDeleted) {
    OwnedStrList list(NewObj<TStrList>());
    ASSERT_TRUE(list->SetText("one\r\ntwo", false));
    ASSERT_EQ(list->Add("owned"), 2);
    ASSERT_TRUE(list->SetText("", true));
    Lines expected = {"one", "two", "owned"};
    // The first delete takes the owned line, the later ones lines of older texts inside the buffer.
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(list->SetText("a" + n + "\r\nb" + n + "\r\n", true));
        expected.insert(expected.end(), {"a" + n, "b" + n});
        if (i % 3 == 0) {
            list->Delete(list->Count - 3);
            expected.erase(expected.end() - 3);
        }
    }
    list->Delete(list->Count);
    list->Delete(-1);
    EXPECT_EQ(LinesOf(*list), expected);
    EXPECT_EQ(list->Lines->Count, list->Count);
}

TEST(TStrList, TextMayBeOneOfTheListsOwnLines) {
    for (bool append : {false, true}) {
        OwnedStrList list(NewObj<TStrList>());
        list->SetText("first\rsecond\rthird", false);
        list->Add("x\ry");
        // An owned line first, then a line inside the buffer that the call replaces or moves.
        ASSERT_TRUE(list->SetText(list->Get(3), append));
        ASSERT_TRUE(list->SetText(list->Get(1), append));
        const Lines expected =
            append ? Lines{"first", "second", "third", "x\ry", "x", "y", "second"} : Lines{"y"};
        EXPECT_EQ(LinesOf(*list), expected) << append;
    }
}

// TStrListEx: a plain insert through the base gives its line no object; replaced text leaves none.
TEST(TStrListEx, ObjectsFollowTheirLinesAndGoWithThem) {
    int a = 0, b = 0;
    std::unique_ptr<TStrListEx, TObjFree> list(NewObj<TStrListEx>());
    EXPECT_EQ(list->AddObject("b", &b), 0);
    EXPECT_TRUE(list->InsertObject(0, "a", &a));
    EXPECT_TRUE(static_cast<TStrList&>(*list).Insert(0, "plain"));
    EXPECT_FALSE(list->InsertObject(9, "no", &b));
    list->Delete(1);
    EXPECT_EQ(LinesOf(*list), (Lines{"plain", "b"}));
    EXPECT_EQ(list->Object(0), nullptr);
    EXPECT_EQ(list->IndexOfObject(&b), 1);
    EXPECT_EQ(list->IndexOfObject(&a), -1);
    list->SetText("n1\rn2", false);
    EXPECT_EQ(list->IndexOfObject(&b), -1);
}

}  // namespace
