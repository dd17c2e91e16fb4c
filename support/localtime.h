// Local date and time, behind a seam.
//
// The time formatter asks here instead of the platform, so that tests can pin the clock and the
// real clock stays in one small file per platform (GetLocalTime on Windows, localtime_r elsewhere).
#pragma once

#include <cstdint>

// The fields of the platform's local-time record, in its order.
struct TLocalTime {
    uint16_t Year = 0;
    uint16_t Month = 0;      // 1 to 12
    uint16_t DayOfWeek = 0;  // 0 = Sunday
    uint16_t Day = 0;        // 1 to 31
    uint16_t Hour = 0;       // 0 to 23
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;
};

// The platform clock, whatever LocalTimeSource says.
TLocalTime SystemLocalTime();

// Tests put a fixed clock here; null means the platform clock. Not synchronised: set it before the
// chains that read the time run, never while they do.
using TLocalTimeSource = TLocalTime (*)();
inline TLocalTimeSource LocalTimeSource = nullptr;

inline TLocalTime LocalTimeNow() {
    return LocalTimeSource != nullptr ? LocalTimeSource() : SystemLocalTime();
}
