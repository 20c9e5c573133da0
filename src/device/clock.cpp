#include "device/clock.h"

#include <ctime>

namespace fotolume::device {

LocalTime CSystemClock::Now() const {
    std::time_t now = std::time(nullptr);
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
    t.daylightSaving = tm.tm_isdst > 0;
    t.currentOffsetSeconds = tm.tm_gmtoff;
    t.standardOffsetSeconds = -timezone;  // timezone: seconds west of UTC, standard time
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
