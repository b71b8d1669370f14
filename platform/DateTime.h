#pragma once

#include <cstdint>

namespace harbrook {

// A point in time as days since 1899-12-30 with the time of day as the fraction: the
// form listing entries and the windows keep modification times in. 0 means "none".
using TDateTime = double;

struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// False (and `value` untouched) for an impossible date or time.
[[nodiscard]] bool tryEncodeDate(int year, int month, int day, TDateTime& value);
[[nodiscard]] bool tryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value);
DateTimeParts decodeDateTime(TDateTime value);
bool isLeapYear(int year);
int daysInMonth(int year, int month);

// The local time now.
DateTimeParts localNow();
// A UTC time as local time (machine listings give UTC).
TDateTime utcToLocal(TDateTime utc);

}  // namespace harbrook
