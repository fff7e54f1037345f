#pragma once
// The Date of a message: an RFC 5322 date-time, the obsolete forms of RFC 5322
// section 4.3 included (two- and three-digit years, zone names, military zones,
// comments and folding anywhere), read as a point in UTC. Pure byte work.

#include <cstddef>
#include <cstdint>

// A time of the proleptic Gregorian calendar, UTC.
struct CivilTime {
    int32_t year;
    int32_t month;   // 1 to 12
    int32_t day;     // 1 to 31
    int32_t hour;    // 0 to 23
    int32_t minute;  // 0 to 59
    int32_t second;  // 0 to 59
};

// Seconds since 1970-01-01 00:00:00 UTC of the date-time in [value, value +
// length). False when it cannot be read: a part missing or out of range (a
// 31 February), a year before 1601 or after 9999. A second 60 (a leap second)
// counts as 59; a zone name not known here counts as UTC, as the obsolete syntax
// asks of an unknown zone. Text after the zone is ignored.
bool ParseMailDate(const char* value, std::size_t length, int64_t* utcSeconds);

// The calendar time of seconds since 1970-01-01 00:00:00 UTC.
CivilTime CivilFromUtcSeconds(int64_t seconds);
