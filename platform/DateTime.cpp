#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace harbrook {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void civilFromDays(long long days, int& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochOffset = -25569;

}  // namespace

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

bool tryEncodeDate(int year, int month, int day, TDateTime& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month)) {
        return false;
    }
    value = static_cast<TDateTime>(daysFromCivil(year, static_cast<unsigned>(month),
                                                 static_cast<unsigned>(day)) - kEpochOffset);
    return true;
}

bool tryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999) {
        return false;
    }
    value = ((hour * 3600.0 + minute * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
    return true;
}

DateTimeParts decodeDateTime(TDateTime value) {
    DateTimeParts parts;
    // Milliseconds of the whole value, rounded, so 23:59:59.999 does not become the next day.
    const long long totalMs = std::llround(value * 86400000.0);
    long long days = totalMs / 86400000;
    long long ms = totalMs % 86400000;
    if (ms < 0) {
        ms += 86400000;
        --days;
    }
    civilFromDays(days + kEpochOffset, parts.year, parts.month, parts.day);
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.millisecond = static_cast<int>(ms % 1000);
    return parts;
}

DateTimeParts localNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    DateTimeParts parts;
    parts.year = local.tm_year + 1900;
    parts.month = local.tm_mon + 1;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec;
    parts.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return parts;
}

TDateTime utcToLocal(TDateTime utc) {
    const double unixSeconds = (utc + kEpochOffset) * 86400.0;
    const std::time_t seconds = static_cast<std::time_t>(std::floor(unixSeconds));
    std::tm local{};
    localtime_r(&seconds, &local);
    return utc + static_cast<double>(local.tm_gmtoff) / 86400.0;
}

}  // namespace harbrook
