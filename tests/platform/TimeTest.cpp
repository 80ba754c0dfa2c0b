#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <string>

#include "wardlet/platform/Time.h"

namespace {

// Runs a test body in another zone and puts the tests' zone back afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) : m_previous(getenv("TZ") ? getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        setenv("TZ", m_previous.c_str(), 1);
        tzset();
    }

private:
    std::string m_previous;
};

int64_t g_fixedNow = 0;
int64_t FixedNow() { return g_fixedNow; }

}  // namespace

TEST(Time, LocalPartsFollowTheZone) {
    ZoneScope zone("Asia/Shanghai");
    CTime morning(2000, 1, 1, 8, 0, 0);
    EXPECT_EQ(morning.GetTime(), 946684800);  // 00:00 UTC
    EXPECT_EQ(morning.GetHour(), 8);
    EXPECT_EQ(morning.GetYear(), 2000);
    EXPECT_EQ(CTime(946684799).GetSecond(), 59);
}

TEST(Time, DaylightSavingIsDecidedByTheCLibrary) {
    ZoneScope zone("Europe/Berlin");
    EXPECT_EQ(CTime(2026, 7, 1, 12, 0, 0).GetTime(), CTime(2026, 7, 1, 10, 0, 0).GetTime() + 7200);
    EXPECT_EQ(CTime(2026, 7, 1, 12, 0, 0).GetTime() % 86400, 10 * 3600);  // UTC+2 in summer
    EXPECT_EQ(CTime(2026, 1, 1, 12, 0, 0).GetTime() % 86400, 11 * 3600);  // UTC+1 in winter
    EXPECT_EQ(CTime(CTime(2026, 7, 1, 12, 0, 0).GetTime()).GetHour(), 12);
}

TEST(Time, TimesBeyondThirtyTwoBitsAreInvalid) {
    ZoneScope zone("UTC");
    EXPECT_EQ(CTime(2040, 1, 1, 0, 0, 0).GetTime(), -1);
    EXPECT_EQ(CTime(2038, 1, 19, 3, 14, 7).GetTime(), 2147483647);
}

TEST(Time, CurrentTimeComesFromTheInstalledClock) {
    g_fixedNow = 1234567890;
    CTime::SetClock(&FixedNow);
    EXPECT_EQ(CTime::GetCurrentTime().GetTime(), 1234567890);
    CTime::SetClock(nullptr);
    EXPECT_GE(CTime::GetCurrentTime().GetTime(), 1700000000);
}
