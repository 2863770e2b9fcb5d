// The system clock on Win32: the local time, as the clock box shows it.
#include "platform/win32/Win32Clock.h"

#include <windows.h>

ClockReading Win32Clock::Now() const {
    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return ClockReading{0, st.wMilliseconds};
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    return ClockReading{static_cast<int64_t>(value.QuadPart / 10000000ULL), st.wMilliseconds};
}
