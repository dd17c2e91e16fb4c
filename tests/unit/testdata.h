// Shared test helpers: records made in one expression, and a fixture with the links switched on.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

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

// Links are process-wide: every test that fires or pulls switches them on and leaves them off.
class LinkedTest : public ::testing::Test {
protected:
    void SetUp() override { EnableLinks(); }
    void TearDown() override { DisableLinks(); }
};
