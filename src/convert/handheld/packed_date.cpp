#include "convert/handheld/packed_date.hpp"

#include "database/dos_time.hpp"

namespace ormidal {
namespace {

constexpr int kEpochYear = 1904;

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
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
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
  CalendarTime time = DatabaseTimeToCalendar(seconds);
  return {{time.year, time.month, time.day}, time.hour, time.minute, time.second};
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
