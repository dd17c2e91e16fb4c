// TStrList and TStrListEx: splitting at carriage returns, lines that live in the shared text buffer
// while it moves, which lines are freed, and objects that stay with their lines.
// ASan reports a dangling line after the buffer moves and a free of memory inside the buffer;
// LeakSanitizer reports an owned line that was never freed.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
        {"CRLF after each line", "a\r\nb\r\n", {"a", "b"}},
        {"lone LF stays in the line", "a\nb", {"a\nb"}},
        {"CR alone splits", "a\rb", {"a", "b"}},
        {"trailing CR makes no empty line", "a\r", {"a"}},
        {"trailing CRLF makes no empty line", "a\r\n", {"a"}},
        {"no line end", "single", {"single"}},
        {"empty text", "", {}},
        {"two CRs are two empty lines", "\r\r", {"", ""}},
        {"empty line between", "a\r\r\nb", {"a", "", "b"}},
        {"leading CRLF is an empty first line", "\r\na", {"", "a"}},
        {"LF before CR stays", "a\n\r\nb", {"a\n", "b"}},
        {"LF only", "\n", {"\n"}},
        {"only the first LF after CR is dropped", "a\r\n\nb", {"a", "\nb"}},
        {"text ends at a zero byte", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
    };
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.name);
        OwnedStrList list(NewObj<TStrList>());
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->SetText(c.text, false));
        EXPECT_EQ(LinesOf(*list), c.expected);
        EXPECT_EQ(list->Count, static_cast<int32_t>(c.expected.size()));
        if (list->Lines != nullptr) {
            EXPECT_EQ(list->Lines->Count, list->Count);
        }
    }
}

TEST(TStrListSetText, ReplacingDropsEveryEarlierLine) {
    OwnedStrList list(NewObj<TStrList>());
    list->Add("owned");
    list->SetText("x\r\ny", true);
    EXPECT_TRUE(list->SetText("p\rq\rr", false));
    EXPECT_EQ(LinesOf(*list), (Lines{"p", "q", "r"}));
    EXPECT_EQ(list->TextBufferSize, 6);
    EXPECT_TRUE(list->SetText("", false));
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->TextBuffer, nullptr);
}

TEST(TStrListSetText, AppendingKeepsEarlierLinesReadableAfterTheBufferMoves) {
    OwnedStrList list(NewObj<TStrList>());
    ASSERT_TRUE(list->SetText("one\r\ntwo", false));
    ASSERT_EQ(list->Add("owned"), 2);
    const char* const firstBuffer = list->TextBuffer;
    ASSERT_TRUE(list->SetText("three\rfour\r\n", true));
    EXPECT_NE(list->TextBuffer, firstBuffer);
    ASSERT_TRUE(list->SetText("", true));
    ASSERT_TRUE(list->SetText("five", true));
    EXPECT_EQ(LinesOf(*list), (Lines{"one", "two", "owned", "three", "four", "five"}));
    EXPECT_EQ(list->TextBufferSize, 8 + 1 + 12 + 1 + 4 + 1);

    // Many moves, with lines deleted from the middle of older texts in between.
    Lines expected = LinesOf(*list);
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        std::string text = "a";
        text += n;
        text += "\r\nb";
        text += n;
        text += "\r\n";
        ASSERT_TRUE(list->SetText(text, true));
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

// ---- Insert, Delete, Clear ----

TEST(TStrListInsert, CopiesTheStringAndRefusesIndexesPastTheEnd) {
    OwnedStrList list(NewObj<TStrList>());
    EXPECT_EQ(list->Lines, nullptr);
    EXPECT_EQ(list->Get(0), nullptr);
    std::string source = "abc";
    EXPECT_EQ(list->Add(source), 0);
    source[0] = 'X';
    EXPECT_TRUE(list->Insert(0, ""));
    EXPECT_TRUE(list->Insert(1, "mid"));
    EXPECT_TRUE(list->Insert(3, std::string_view("end\0tail", 8)));
    EXPECT_FALSE(list->Insert(5, "past"));
    EXPECT_FALSE(list->Insert(-1, "before"));
    EXPECT_EQ(LinesOf(*list), (Lines{"", "mid", "abc", "end"}));
    EXPECT_EQ(list->Get(-1), nullptr);
    EXPECT_EQ(list->Get(4), nullptr);
}

TEST(TStrListDelete, DeletingBufferedLinesNeverFreesInsideTheBuffer) {
    struct Case {
        std::vector<int32_t> deletes;
        Lines expected;
    };
    const Case cases[] = {
        {{1}, {"a", "owned", "c", "d"}}, {{0, 0}, {"owned", "c", "d"}},
        {{4, 3}, {"a", "b", "owned"}},   {{2, 1}, {"a", "c", "d"}},
        {{0, 0, 0, 0, 0}, {}},           {{-1, 5, 99}, {"a", "b", "owned", "c", "d"}},
    };
    for (const Case& c : cases) {
        OwnedStrList list(NewObj<TStrList>());
        list->SetText("a\r\nb\r\n", false);
        list->Add("owned");
        list->SetText("c\rd", true);
        for (int32_t index : c.deletes) {
            list->Delete(index);
        }
        EXPECT_EQ(LinesOf(*list), c.expected);
        EXPECT_EQ(list->Lines->Count, list->Count);
        // The buffer outlives its lines; it goes with Clear or the list.
        EXPECT_NE(list->TextBuffer, nullptr);
    }
}

TEST(TStrListClear, MixedOwnedAndBufferedLinesAllGoAndTheListIsReusable) {
    OwnedStrList list(NewObj<TStrList>());
    list->Add("owned 1");
    list->SetText("b1\r\nb2", true);
    list->Insert(1, "owned 2");
    list->SetText("b3\r", true);
    list->Add("owned 3");
    ASSERT_EQ(LinesOf(*list), (Lines{"owned 1", "owned 2", "b1", "b2", "b3", "owned 3"}));

    list->Clear();
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->Lines, nullptr);
    EXPECT_EQ(list->TextBuffer, nullptr);
    EXPECT_EQ(list->TextBufferSize, 0);
    EXPECT_EQ(list->Get(0), nullptr);

    list->SetText("again\r\n", true);
    list->Add("more");
    EXPECT_EQ(LinesOf(*list), (Lines{"again", "more"}));
}

// ---- TStrListEx ----

using Pairs = std::vector<std::pair<std::string, void*>>;

Pairs PairsOf(const TStrListEx& list) {
    Pairs out;
    for (int32_t i = 0; i < list.Count; ++i) {
        out.emplace_back(list.Get(i), list.Object(i));
    }
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
    EXPECT_EQ(list->Objects->Count, list->Count);
    EXPECT_EQ(list->IndexOfObject(&b), 2);
    EXPECT_EQ(list->IndexOfObject(&x), -1);
    EXPECT_EQ(list->Object(3), nullptr);
}

TEST(TStrListEx, LinesFromSetTextHaveNoObjectAndLaterObjectsLandOnTheirLines) {
    int p = 0, q = 0;
    OwnedStrListEx list(NewObj<TStrListEx>());
    list->SetText("t1\r\nt2\r\nt3", false);
    EXPECT_EQ(list->AddObject("obj", &p), 3);
    EXPECT_EQ(list->Object(3), &p);
    EXPECT_EQ(list->IndexOfObject(&p), 3);
    EXPECT_EQ(list->IndexOfObject(nullptr), 0);
    list->SetText("t4", true);
    EXPECT_TRUE(list->InsertObject(1, "mid", &q));
    EXPECT_EQ(
        PairsOf(*list),
        (Pairs{
            {"t1", nullptr}, {"mid", &q}, {"t2", nullptr}, {"t3", nullptr}, {"obj", &p}, {"t4", nullptr}}));
    list->Delete(5);
    list->Delete(0);
    EXPECT_EQ(PairsOf(*list), (Pairs{{"mid", &q}, {"t2", nullptr}, {"t3", nullptr}, {"obj", &p}}));
}

TEST(TStrListEx, ClearAndReplacingTextLeaveNoStaleObjects) {
    int a = 0, b = 0;
    for (bool bySetText : {false, true}) {
        SCOPED_TRACE(bySetText ? "SetText" : "Clear");
        OwnedStrListEx list(NewObj<TStrListEx>());
        list->AddObject("a", &a);
        list->AddObject("b", &b);
        if (bySetText) {
            list->SetText("n1\rn2", false);
        } else {
            list->Clear();
            list->Add("n1");
            list->Add("n2");
        }
        EXPECT_EQ(list->Object(0), nullptr);
        EXPECT_EQ(list->Object(1), nullptr);
        EXPECT_EQ(list->IndexOfObject(&b), -1);
    }
}

}  // namespace
