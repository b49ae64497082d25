#include "convert/packed_date.hpp"

namespace ormidal {
namespace {

constexpr int kEpochYear = 1904;
constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 1 January 1904 to 1 January 1970.
constexpr std::int64_t kDaysFrom1904To1970 = 24107;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days since 1 January 1970 to a Gregorian date.
CalendarDate CivilFromDays(std::int64_t days) {
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

// Writes `value` in `width` decimal digits, with leading zeros.
char* PutDigits(char* out, int value, int width) {
  unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  return out + width;
}

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

DateStatus UnpackDate(std::uint16_t packed, CalendarDate* date) {
  if (packed == kNoDate) return DateStatus::kNone;
  CalendarDate unpacked = {(packed >> 9) + kEpochYear, (packed >> 5) & 0x0F, packed & 0x1F};
  if (unpacked.day < 1 || unpacked.day > DaysInMonth(unpacked.year, unpacked.month)) {
    return DateStatus::kInvalid;
  }
  *date = unpacked;
  return DateStatus::kValid;
}

CalendarDate NextDay(CalendarDate date) {
  if (date.day < DaysInMonth(date.year, date.month)) return {date.year, date.month, date.day + 1};
  if (date.month < 12) return {date.year, date.month + 1, 1};
  return {date.year + 1, 1, 1};
}

void FormatDate(CalendarDate date, char text[kDateTextSize]) {
  char* out = PutDigits(text, date.year, 4);
  out = PutDigits(out, date.month, 2);
  out = PutDigits(out, date.day, 2);
  *out = 0;
}

UtcTime DatabaseTimeToUtc(std::uint32_t seconds) {
  std::int64_t days = seconds / kSecondsPerDay;
  if ((seconds & 0x80000000u) != 0) days -= kDaysFrom1904To1970;
  int secondOfDay = static_cast<int>(seconds % kSecondsPerDay);
  return {CivilFromDays(days), secondOfDay / 3600, secondOfDay % 3600 / 60, secondOfDay % 60};
}

void FormatUtc(UtcTime time, char text[kUtcTextSize]) {
  FormatDate(time.date, text);
  char* out = text + kDateTextSize - 1;
  *out++ = 'T';
  out = PutDigits(out, time.hour, 2);
  out = PutDigits(out, time.minute, 2);
  out = PutDigits(out, time.second, 2);
  *out++ = 'Z';
  *out = 0;
}

}  // namespace ormidal
