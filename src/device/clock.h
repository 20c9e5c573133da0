// The computer's local time for the frame's clock, behind an interface so that tests can fix it.
#pragma once

#include "device/device_types.h"
#include "device/flash_cdb.h"

namespace fotolume::device {

struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool daylightSaving = false;   // daylight-saving time in effect now
    long standardOffsetSeconds = 0; // zone offset east of UTC without daylight saving
    long currentOffsetSeconds = 0;  // zone offset east of UTC now, daylight saving included
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual LocalTime Now() const = 0;
};

// The host's clock and time zone (TZ honoured).
class CSystemClock : public IClock {
public:
    LocalTime Now() const override;
};

// The local time at `when` in the host's zone. The standard offset is the smaller of the zone's offsets in
// January and July of that year: zones such as Europe/Dublin name their summer time the standard one and
// mark winter as the daylight-saving time, yet the frame wants the winter offset as the standard.
LocalTime LocalTimeAt(long long when);

// The clock command: local date and time, and 12 + the zone offset in whole hours (toward zero).
// Fotolume sends the standard offset; MacFotolume sends the current one and a daylight-saving byte.
Cdb ClockCdb(const LocalTime& time, Variant variant);

}  // namespace fotolume::device
