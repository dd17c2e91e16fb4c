#include <windows.h>

#include "support/localtime.h"

TLocalTime SystemLocalTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    TLocalTime t;
    t.Year = st.wYear;
    t.Month = st.wMonth;
    t.DayOfWeek = st.wDayOfWeek;
    t.Day = st.wDay;
    t.Hour = st.wHour;
    t.Minute = st.wMinute;
    t.Second = st.wSecond;
    t.Milliseconds = st.wMilliseconds;
    return t;
}
