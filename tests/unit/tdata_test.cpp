// TData: setters, copies and the four conversions of every tag.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/event.h"
#include "runtime/tdata.h"

#include "tests/unit/testdata.h"

namespace {

TData Tagged(uint8_t tag) {
    TData d = Str("42");  // a stale payload that no reader may look at
    d.Int = 42;
    d.Real = 42.0;
    d.Type = tag;
    return d;
}

struct ConversionCase {
    const char* name;
    TData data;
    int32_t integer;
    const char* text;
    double real;
    int32_t index;
};

TEST(TData, ConversionsOfEveryTag) {
    const ConversionCase cases[] = {
        {"null", TData{}, 0, "", 0.0, -1},
        {"int -15", IntData(-15), -15, "-15", -15.0, -15},
        {"text 12abc", Str("12abc"), 12, "12abc", 12.0, 12},
        {"text abc", Str("abc"), 0, "abc", 0.0, -1},
        {"text 1,5", Str("1,5"), 1, "1,5", 15.0, 1},
        {"real 2.5", Real(2.5), 2, "2.5", 2.5, 2},
        {"real -0", Real(-0.0), 0, "0", -0.0, 0},
        {"NoValue", Tagged(NoValue), 0, "", 0.0, -1},
        {"forwarded int", Tagged(0x81), 0, "", 0.0, -1},
        {"tag 3", Tagged(3), 0, "", 0.0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToInteger(c.data), c.integer);
        EXPECT_EQ(ToString(c.data), c.text);
        EXPECT_DOUBLE_EQ(ToReal(c.data), c.real);
        EXPECT_EQ(ToIndex(c.data), c.index);
    }
}

TEST(TData, SettersClearLinks) {
    TData other;
    TKV_Event outlet;
    TData d;
    d.Target = &outlet;
    d.Next = &other;
    SetInteger(d, 7);
    EXPECT_EQ(DataType(d), kTypeInteger);
    EXPECT_EQ(d.Target, nullptr);
    EXPECT_EQ(d.Next, nullptr);
    SetString(d, static_cast<const char*>(nullptr));
    EXPECT_EQ(DataType(d), kTypeString);
    EXPECT_EQ(ToString(d), "");
}

}  // namespace
