// Shared test helpers: records made in one expression, link ends that record or answer, chains, and
// a fixture with the links switched on.
#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "runtime/event.h"

inline TData Str(std::string_view s) {
    TData d;
    SetString(d, s);
    return d;
}

inline TData Real(double v) {
    TData d;
    SetReal(d, v);
    return d;
}

// A record under any tag, with stale payloads no reader may look at.
inline TData Tagged(uint8_t tag) {
    TData d = Str("42");
    d.Int = 42;
    d.Real = 42.0;
    d.Type = tag;
    return d;
}

// A getter that answers with a fixed value.
struct Source {
    TData value;
    void get(TData& d, uint16_t /*index*/) { d = value; }
};

// Links the values into a chain, first value first, and returns a copy of its head (null for none).
inline TData Chain(std::vector<TData>& values) {
    for (size_t i = 0; i + 1 < values.size(); ++i)
        values[i].Next = &values[i + 1];
    return values.empty() ? TData{} : values[0];
}

// Links are process-wide: every test that fires or pulls switches them on and leaves them off.
class LinkedTest : public ::testing::Test {
protected:
    void SetUp() override { EnableLinks(); }
    void TearDown() override { DisableLinks(); }
};
