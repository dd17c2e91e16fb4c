// TKVTime: the time stamps of the log lines.
//
// Other components pull the current local time from getTime, formatted by Format, a template of
// single letters: Y year, M month, W day of the week (0 = Sunday), D day, h hour, m minute,
// s second. Values below 10 get a leading zero; every other character is copied as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/event.h"
#include "runtime/tobject.h"
#include "support/localtime.h"

class TKVTime : public TObject {
public:
    std::string Format;

    // Value getter: the current local time as a string; changes nothing here.
    void getTime(TData& data, uint16_t index);
};

// The formatting itself, for a given moment.
std::string FormatTime(std::string_view format, const TLocalTime& time);
