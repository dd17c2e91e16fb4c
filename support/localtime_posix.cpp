#include <time.h>

#include "support/localtime.h"

TLocalTime SystemLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);

    TLocalTime t;
    t.Year = static_cast<uint16_t>(local.tm_year + 1900);
    t.Month = static_cast<uint16_t>(local.tm_mon + 1);
    t.DayOfWeek = static_cast<uint16_t>(local.tm_wday);  // already 0 = Sunday
    t.Day = static_cast<uint16_t>(local.tm_mday);
    t.Hour = static_cast<uint16_t>(local.tm_hour);
    t.Minute = static_cast<uint16_t>(local.tm_min);
    // A leap second (tm_sec 60) is shown as the last ordinary second, as Windows does.
    t.Second = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
    t.Milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return t;
}
