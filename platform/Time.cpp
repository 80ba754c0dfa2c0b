#include "wardlet/platform/Time.h"

#include <atomic>
#include <ctime>
#include <limits>

namespace {

std::atomic<CTime::Clock> g_clock{nullptr};

// Local broken-down time of `t`; TZ is re-read so that a changed zone takes effect at once.
std::tm LocalTime(int32_t t) {
    tzset();
    time_t seconds = t;
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int nDST) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = nDST < 0 ? -1 : (nDST > 0 ? 1 : 0);
    tzset();
    time_t t = std::mktime(&parts);
    bool fits =
        t >= std::numeric_limits<int32_t>::min() && t <= std::numeric_limits<int32_t>::max();
    m_time = fits ? static_cast<int32_t>(t) : -1;
}

CTime CTime::GetCurrentTime() {
    Clock clock = g_clock.load();
    int64_t now = clock ? clock() : static_cast<int64_t>(std::time(nullptr));
    return CTime(static_cast<int32_t>(now));
}

void CTime::SetClock(Clock clock) { g_clock.store(clock); }

int CTime::GetYear() const { return LocalTime(m_time).tm_year + 1900; }
int CTime::GetMonth() const { return LocalTime(m_time).tm_mon + 1; }
int CTime::GetDay() const { return LocalTime(m_time).tm_mday; }
int CTime::GetHour() const { return LocalTime(m_time).tm_hour; }
int CTime::GetMinute() const { return LocalTime(m_time).tm_min; }
int CTime::GetSecond() const { return LocalTime(m_time).tm_sec; }
