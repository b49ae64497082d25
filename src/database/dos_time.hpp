// The database's creation time: the calendar date and time it reads as, and
// the packed DOS date-time Windows hosts take.
#pragma once

#include <cstdint>

namespace ormidal {

bool IsLeapYear(int year);

struct CalendarTime {
  int year, month, day, hour, minute, second;
};

// A value with its top bit set counts seconds from 1 January 1904 (the
// handheld's clock); one with the top bit clear counts from 1 January 1970
// (as desktop tools write it).
CalendarTime DatabaseTimeToCalendar(std::uint32_t seconds);

// Packs a calendar time as a DOS date-time. Dates before 1980, which the DOS
// form cannot hold, become the same month, day and time in 1980.
std::uint32_t CalendarToDosTime(const CalendarTime& time);

// CalendarToDosTime(DatabaseTimeToCalendar(seconds)).
std::uint32_t DatabaseTimeToDosTime(std::uint32_t seconds);

// Unpacks a DOS date-time, for callers that show it.
CalendarTime DosTimeToCalendar(std::uint32_t dosTime);

}  // namespace ormidal
