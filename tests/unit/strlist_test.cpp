// TStrList and TStrListEx: splitting at carriage returns, lines that live in the shared text buffer
// while it moves, which lines are freed, and objects that stay with their lines.
// ASan reports a dangling line after the buffer moves and a free of memory inside the buffer;
// LeakSanitizer reports an owned line that was never freed.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/strlist.h"

namespace {

using OwnedStrList = std::unique_ptr<TStrList, TObjFree>;
using OwnedStrListEx = std::unique_ptr<TStrListEx, TObjFree>;
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrList& list) {
    Lines out;
    for (int32_t i = 0; i < list.Count; ++i) {
        const char* line = list.Get(i);
        EXPECT_NE(line, nullptr) << "line " << i;
        out.emplace_back(line != nullptr ? line : "<null>");
    }
    return out;
}

// ---- SetText ----

struct SplitCase {
    const char* name;
    std::string text;
    Lines expected;
};

TEST(TStrListSetText, SplitsAtCarriageReturns) {
    const SplitCase kSplitCases[] = {
        {"CRLF after each line, no empty last line", "a\r\nb\r\n", {"a", "b"}},
        {"lone LF stays in the line", "a\nb", {"a\nb"}},
        {"two CRs are two empty lines", "\r\r", {"", ""}},
        {"only the first LF after CR is dropped", "a\r\n\nb", {"a", "\nb"}},
        {"empty text", "", {}},
        {"text ends at a zero byte", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
    };
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.name);
        OwnedStrList list(NewObj<TStrList>());
        EXPECT_TRUE(list->SetText(c.text, false));
        EXPECT_EQ(LinesOf(*list), c.expected);
    }
}

TEST(TStrListSetText, AppendingKeepsEarlierLinesReadableAfterTheBufferMoves) {
    OwnedStrList list(NewObj<TStrList>());
    ASSERT_TRUE(list->SetText("one\r\ntwo", false));
    ASSERT_EQ(list->Add("owned"), 2);
    ASSERT_TRUE(list->SetText("three\rfour\r\n", true));
    ASSERT_TRUE(list->SetText("", true));
    ASSERT_TRUE(list->SetText("five", true));
    EXPECT_EQ(LinesOf(*list), (Lines{"one", "two", "owned", "three", "four", "five"}));
    EXPECT_EQ(list->TextBufferSize, 8 + 1 + 12 + 1 + 4 + 1);

    // Many moves, with lines deleted from the middle of older texts in between.
    Lines expected = LinesOf(*list);
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(list->SetText("a" + n + "\r\nb" + n + "\r\n", true));
        expected.push_back("a" + n);
        expected.push_back("b" + n);
        if (i % 3 == 0) {
            list->Delete(list->Count - 3);
            expected.erase(expected.end() - 3);
        }
    }
    EXPECT_EQ(LinesOf(*list), expected);
}

TEST(TStrListSetText, TextMayBeOneOfTheListsOwnLines) {
    for (bool append : {false, true}) {
        SCOPED_TRACE(append ? "append" : "replace");
        OwnedStrList list(NewObj<TStrList>());
        list->SetText("first\rsecond\rthird", false);
        list->Add("x\ry");
        // An owned line first, then a line inside the buffer that the call replaces or moves.
        ASSERT_TRUE(list->SetText(list->Get(3), append));
        ASSERT_TRUE(list->SetText(list->Get(1), append));
        const Lines expected =
            append ? Lines{"first", "second", "third", "x\ry", "x", "y", "second"} : Lines{"y"};
        EXPECT_EQ(LinesOf(*list), expected);
    }
}

// ---- Delete ----

TEST(TStrListDelete, DeletingBufferedLinesNeverFreesInsideTheBuffer) {
    struct Case {
        std::vector<int32_t> deletes;
        Lines expected;
    };
    const Case cases[] = {
        {{0, 0}, {"owned", "c", "d"}},
        {{4, 3}, {"a", "b", "owned"}},
        {{2, 1}, {"a", "c", "d"}},
        {{-1, 5, 99}, {"a", "b", "owned", "c", "d"}},
    };
    for (const Case& c : cases) {
        OwnedStrList list(NewObj<TStrList>());
        list->SetText("a\r\nb\r\n", false);
        list->Add("owned");
        list->SetText("c\rd", true);
        for (int32_t index : c.deletes)
            list->Delete(index);
        EXPECT_EQ(LinesOf(*list), c.expected);
        EXPECT_EQ(list->Lines->Count, list->Count);
        // The buffer outlives its lines; it goes with Clear or the list.
        EXPECT_NE(list->TextBuffer, nullptr);
    }
}

// ---- TStrListEx ----

using Pairs = std::vector<std::pair<std::string, void*>>;

Pairs PairsOf(const TStrListEx& list) {
    Pairs out;
    for (int32_t i = 0; i < list.Count; ++i)
        out.emplace_back(list.Get(i), list.Object(i));
    return out;
}

TEST(TStrListEx, ObjectsFollowTheirLinesThroughInsertsAndDeletes) {
    int a = 0, b = 0, x = 0, y = 0;
    OwnedStrListEx list(NewObj<TStrListEx>());
    TStrList& plain = *list;
    EXPECT_EQ(list->AddObject("a", &a), 0);
    EXPECT_EQ(list->AddObject("b", &b), 1);
    EXPECT_TRUE(list->InsertObject(1, "x", &x));
    EXPECT_TRUE(plain.Insert(0, "plain"));
    EXPECT_FALSE(list->InsertObject(9, "no", &y));
    EXPECT_EQ(PairsOf(*list), (Pairs{{"plain", nullptr}, {"a", &a}, {"x", &x}, {"b", &b}}));
    list->Delete(2);
    plain.Delete(0);
    list->Delete(2);  // outside
    EXPECT_TRUE(list->InsertObject(0, "y", &y));
    EXPECT_EQ(PairsOf(*list), (Pairs{{"y", &y}, {"a", &a}, {"b", &b}}));
    EXPECT_EQ(list->IndexOfObject(&b), 2);
    EXPECT_EQ(list->IndexOfObject(&x), -1);
    // Replaced text leaves no stale object behind.
    list->SetText("n1\rn2", false);
    EXPECT_EQ(PairsOf(*list), (Pairs{{"n1", nullptr}, {"n2", nullptr}}));
    EXPECT_EQ(list->IndexOfObject(&b), -1);
    list->AddObject("c", &x);
    list->Clear();
    EXPECT_EQ(list->IndexOfObject(&x), -1);
}

}  // namespace
