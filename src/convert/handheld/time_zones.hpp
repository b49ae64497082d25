// The time zone an appointment of the later calendar carries: an offset
// from UTC and, where daylight saving is observed, the yearly rules of its
// start and end; written in iCalendar as a VTIMEZONE.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/conversion.hpp"
#include "convert/handheld/packed_date.hpp"

namespace ormidal {

// A yearly change: the weekday of a week of a month, at an hour.
struct ZoneRule {
  std::uint8_t hour;     // 0 to 23
  std::uint8_t weekday;  // 0 Sunday to 6 Saturday
  std::uint8_t week;     // 0 to 3 the first to the fourth, 4 the last
  std::uint8_t month;    // 1 to 12
};

inline constexpr std::size_t kZoneNameLimit = 100;

struct TimeZone {
  int utcOffset;                       // minutes east of UTC
  int adjustment;                      // minutes daylight saving adds; 0 where it is not observed
  ZoneRule daylightStart;              // in standard time
  ZoneRule daylightEnd;                // in daylight time
  unsigned char name[kZoneNameLimit];  // Windows-1252, without terminator
  std::size_t nameSize;
};

// The fixed part (offset, two rules, adjustment, country, flags) before the
// zero-terminated name.
inline constexpr std::size_t kZoneFixedSize = 14;
inline constexpr std::size_t kZoneBlockLimit = kZoneFixedSize + kZoneNameLimit + 1;

// Decodes a zone from its stored bytes; false for one that cannot be (an
// offset beyond a day's half and more, a rule outside the calendar, a name
// without terminator or longer than the limit).
bool DecodeTimeZone(const unsigned char* bytes, std::size_t size, TimeZone* zone);

bool SameZone(const TimeZone& a, const TimeZone& b);

// Writes the VTIMEZONE with `tzid` (Windows-1252) as its TZID.
int WriteTimeZone(Conversion* conversion, const TimeZone& zone, const unsigned char* tzid,
                  std::size_t tzidSize);

// The UTC time of a wall-clock time in the zone.
UtcTime ZoneTimeToUtc(const TimeZone& zone, CalendarDate date, int hour, int minute, int second);

}  // namespace ormidal
