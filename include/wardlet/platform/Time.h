// CTime: a calendar time, signed 32-bit seconds since 1970-01-01 00:00:00 UTC, built from and
// broken into local time through the C library (TZ is honoured; the C library decides daylight
// saving).
#pragma once

#include <cstdint>

class CTime {
public:
    CTime() = default;
    explicit CTime(int32_t seconds) : m_time(seconds) {}
    // The local time given; nDST -1 lets the C library decide daylight saving. A time that cannot
    // be represented in 32 bits gives -1, the framework's invalid time.
    CTime(int year, int month, int day, int hour, int minute, int second, int nDST = -1);

    // Now, from the clock in force (the system clock unless a test installed another).
    static CTime GetCurrentTime();

    // Installs the clock that GetCurrentTime reads; null restores the system clock. For tests.
    using Clock = int64_t (*)();
    static void SetClock(Clock clock);

    int32_t GetTime() const { return m_time; }
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;

    friend bool operator==(CTime a, CTime b) { return a.m_time == b.m_time; }
    friend bool operator<(CTime a, CTime b) { return a.m_time < b.m_time; }
    friend bool operator<=(CTime a, CTime b) { return a.m_time <= b.m_time; }

private:
    int32_t m_time = 0;
};
