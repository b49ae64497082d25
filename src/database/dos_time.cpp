#include "database/dos_time.hpp"

namespace ormidal {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 1 January 1904 to 1 January 1970.
constexpr std::int64_t kDaysFrom1904To1970 = 24107;

struct CivilDate {
  int year, month, day;
};

// Days since 1 January 1970 to a proleptic Gregorian date (valid for any
// day count this conversion meets, before or after 1970).
CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

CalendarTime DatabaseTimeToCalendar(std::uint32_t seconds) {
  std::int64_t sinceEpoch = seconds;
  std::int64_t epochDays = 0;
  if ((seconds & 0x80000000u) != 0) epochDays = -kDaysFrom1904To1970;
  std::int64_t days = sinceEpoch / kSecondsPerDay + epochDays;
  std::int64_t secondsOfDay = sinceEpoch % kSecondsPerDay;
  CivilDate date = CivilFromDays(days);
  return {date.year,
          date.month,
          date.day,
          static_cast<int>(secondsOfDay / 3600),
          static_cast<int>(secondsOfDay % 3600 / 60),
          static_cast<int>(secondsOfDay % 60)};
}

std::uint32_t CalendarToDosTime(const CalendarTime& time) {
  int year = time.year < 1980 ? 1980 : time.year;
  return (static_cast<std::uint32_t>((year - 1980) % 128) << 25) |
         (static_cast<std::uint32_t>(time.month) << 21) |
         (static_cast<std::uint32_t>(time.day) << 16) |
         (static_cast<std::uint32_t>(time.hour) << 11) |
         (static_cast<std::uint32_t>(time.minute) << 5) |
         static_cast<std::uint32_t>(time.second / 2);
}

std::uint32_t DatabaseTimeToDosTime(std::uint32_t seconds) {
  return CalendarToDosTime(DatabaseTimeToCalendar(seconds));
}

CalendarTime DosTimeToCalendar(std::uint32_t dosTime) {
  return {static_cast<int>(dosTime >> 25) + 1980,   static_cast<int>((dosTime >> 21) & 0xF),
          static_cast<int>((dosTime >> 16) & 0x1F), static_cast<int>((dosTime >> 11) & 0x1F),
          static_cast<int>((dosTime >> 5) & 0x3F),  static_cast<int>((dosTime & 0x1F) * 2)};
}

}  // namespace ormidal
