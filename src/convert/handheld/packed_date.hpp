// Dates as the handheld's applications store them, and the database's own
// time stamps, in the forms vCard and iCalendar write.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

struct CalendarDate {
  int year;
  int month;  // 1 to 12
  int day;    // 1 to the month's length
};

// A packed date is 16 bits: the year less 1904 in bits 15 to 9, the month in
// bits 8 to 5, the day in bits 4 to 0. All bits set means "no date".
inline constexpr std::uint16_t kNoDate = 0xFFFF;

enum class DateStatus { kValid, kNone, kInvalid };

// kNone for kNoDate; kInvalid for a month outside 1 to 12 or a day that the
// month does not have (day 0 included); otherwise kValid and *date filled.
DateStatus UnpackDate(std::uint16_t packed, CalendarDate* date);

int DaysInMonth(int year, int month);
CalendarDate NextDay(CalendarDate date);

// "YYYYMMDD" and a terminator.
inline constexpr std::size_t kDateTextSize = 9;
void FormatDate(CalendarDate date, char text[kDateTextSize]);

struct UtcTime {
  CalendarDate date;
  int hour, minute, second;
};

// A database time stamp: a value with its top bit set counts seconds from
// 1 January 1904 (the handheld's clock), one with the top bit clear seconds
// from 1 January 1970 (as desktop tools write it).
UtcTime DatabaseTimeToUtc(std::uint32_t seconds);

// "YYYYMMDDTHHMMSSZ" and a terminator.
inline constexpr std::size_t kUtcTextSize = 17;
void FormatUtc(UtcTime time, char text[kUtcTextSize]);

}  // namespace ormidal
