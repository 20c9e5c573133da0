#include "device/clock.h"

#include <algorithm>
#include <ctime>

namespace fotolume::device {

namespace {

// The zone's offset east of UTC at noon of month (0-11), day 1, of year.
long OffsetIn(int year, int month) {
    std::tm probe{};
    probe.tm_year = year - 1900;
    probe.tm_mon = month;
    probe.tm_mday = 1;
    probe.tm_hour = 12;
    probe.tm_isdst = -1;
    const std::time_t at = std::mktime(&probe);
    std::tm local{};
    localtime_r(&at, &local);
    return local.tm_gmtoff;
}

}  // namespace

LocalTime CSystemClock::Now() const { return LocalTimeAt(std::time(nullptr)); }

LocalTime LocalTimeAt(long long when) {
    const std::time_t now = static_cast<std::time_t>(when);
    std::tm tm{};
    tzset();
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second is not a value the frame knows
    t.currentOffsetSeconds = tm.tm_gmtoff;
    t.standardOffsetSeconds = std::min(OffsetIn(t.year, 0), OffsetIn(t.year, 6));
    t.daylightSaving = t.currentOffsetSeconds > t.standardOffsetSeconds;
    return t;
}

Cdb ClockCdb(const LocalTime& time, Variant variant) {
    Cdb c{};
    c[0] = kGroupClock;
    c[5] = static_cast<uint8_t>(time.year % 100);
    c[6] = static_cast<uint8_t>(time.year / 100);
    c[7] = static_cast<uint8_t>(time.month);
    c[8] = static_cast<uint8_t>(time.day);
    c[9] = static_cast<uint8_t>(time.hour);
    c[10] = static_cast<uint8_t>(time.minute);
    c[11] = static_cast<uint8_t>(time.second);
    if (variant == Variant::Full) {
        // The standard bias in minutes west of UTC, divided toward zero: daylight saving is not reflected.
        long bias = -time.standardOffsetSeconds / 60;
        c[15] = static_cast<uint8_t>(12 - bias / 60);
    } else {
        c[14] = time.daylightSaving ? 1 : 0;
        c[15] = static_cast<uint8_t>(12 + time.currentOffsetSeconds / 3600);
    }
    return c;
}

}  // namespace fotolume::device
