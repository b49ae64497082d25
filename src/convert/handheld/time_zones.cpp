#include "convert/handheld/time_zones.hpp"

#include <cstring>

#include "convert/handheld/appointments.hpp"
#include "convert/handheld/content_lines.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// The widest offsets any zone has had: UTC-12:00 to UTC+14:00.
constexpr int kWestmostOffset = -12 * 60;
constexpr int kEastmostOffset = 14 * 60;
constexpr int kLargestAdjustment = 3 * 60;
constexpr unsigned kLastWeek = 4;
// The year of every VTIMEZONE's first onset: before any event the handheld
// can store, as DTSTART there must be.
constexpr int kOnsetYear = 1970;

bool DecodeRule(const unsigned char* bytes, ZoneRule* rule) {
  *rule = {bytes[0], bytes[1], bytes[2], bytes[3]};
  return rule->hour <= 23 && rule->weekday <= 6 && rule->week <= kLastWeek && rule->month >= 1 &&
         rule->month <= 12;
}

// Days since 1 January 1970 (proleptic Gregorian).
long DaysFromCivil(CalendarDate date) {
  long year = date.month <= 2 ? date.year - 1 : date.year;
  long era = (year >= 0 ? year : year - 399) / 400;
  long yearOfEra = year - era * 400;
  long dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CalendarDate CivilFromDays(long days) {
  days += 719468;
  long era = (days >= 0 ? days : days - 146096) / 146097;
  long dayOfEra = days - era * 146097;
  long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  long shifted = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  int month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<int>(year), month, day};
}

int Weekday(CalendarDate date) {
  long days = DaysFromCivil(date);
  return static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1 January 1970 was a Thursday
}

// The day a rule falls on in `year`.
CalendarDate RuleDate(const ZoneRule& rule, int year) {
  CalendarDate first = {year, rule.month, 1};
  int day = 1 + (rule.weekday - Weekday(first) + 7) % 7;
  if (rule.week == kLastWeek) {
    while (day + 7 <= DaysInMonth(year, rule.month)) day += 7;
  } else {
    day += 7 * rule.week;
  }
  return {year, rule.month, day};
}

AsciiText& AddOffset(AsciiText& text, int minutes) {
  text.Add(minutes < 0 ? '-' : '+');
  int magnitude = minutes < 0 ? -minutes : minutes;
  return text.Decimal(magnitude / 60, 2).Decimal(magnitude % 60, 2);
}

// STANDARD or DAYLIGHT: the first onset, the offsets before and after, and
// the yearly rule when there is one.
int WriteObservance(Conversion* conversion, const char* kind, const ZoneRule* rule, int from,
                    int to) {
  AsciiText start;
  start.Add("DTSTART:");
  if (rule != nullptr) {
    AddWhen(start, RuleDate(*rule, kOnsetYear), true, rule->hour, 0, 0);
  } else {
    AddWhen(start, {kOnsetYear, 1, 1}, true, 0, 0, 0);
  }
  int result = WriteAsciiLine(conversion, AsciiText().Add("BEGIN:").Add(kind));
  if (result == kResultOk) result = WriteAsciiLine(conversion, start);
  if (result == kResultOk) {
    AsciiText offset;
    result = WriteAsciiLine(conversion, AddOffset(offset.Add("TZOFFSETFROM:"), from));
  }
  if (result == kResultOk) {
    AsciiText offset;
    result = WriteAsciiLine(conversion, AddOffset(offset.Add("TZOFFSETTO:"), to));
  }
  if (result == kResultOk && rule != nullptr) {
    AsciiText yearly;
    yearly.Add("RRULE:FREQ=YEARLY;BYMONTH=").Decimal(rule->month).Add(";BYDAY=");
    yearly.Decimal(rule->week == kLastWeek ? -1 : rule->week + 1).Add(WeekdayName(rule->weekday));
    result = WriteAsciiLine(conversion, yearly);
  }
  if (result == kResultOk) result = WriteAsciiLine(conversion, AsciiText().Add("END:").Add(kind));
  return result;
}

long MinuteOf(CalendarDate date, int hour, int minute) {
  return DaysFromCivil(date) * 1440 + hour * 60 + minute;
}

}  // namespace

bool DecodeTimeZone(const unsigned char* bytes, std::size_t size, TimeZone* zone) {
  std::memset(zone, 0, sizeof *zone);
  if (size < kZoneFixedSize + 1) return false;
  zone->utcOffset = static_cast<std::int16_t>(ReadBigEndian16(bytes));
  zone->adjustment = static_cast<std::int16_t>(ReadBigEndian16(bytes + 10));
  if (zone->utcOffset < kWestmostOffset || zone->utcOffset > kEastmostOffset) return false;
  if (zone->adjustment < 0 || zone->adjustment > kLargestAdjustment) return false;
  if (zone->adjustment != 0 &&
      (!DecodeRule(bytes + 2, &zone->daylightStart) || !DecodeRule(bytes + 6, &zone->daylightEnd) ||
       zone->daylightStart.month == zone->daylightEnd.month)) {
    return false;
  }
  const unsigned char* name = bytes + kZoneFixedSize;
  std::size_t room = size - kZoneFixedSize;
  const void* zero = std::memchr(name, 0, room);
  if (zero == nullptr) return false;
  zone->nameSize = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - name);
  if (zone->nameSize > kZoneNameLimit) return false;
  std::memcpy(zone->name, name, zone->nameSize);
  return true;
}

bool SameZone(const TimeZone& a, const TimeZone& b) {
  auto sameRule = [](const ZoneRule& x, const ZoneRule& y) {
    return x.hour == y.hour && x.weekday == y.weekday && x.week == y.week && x.month == y.month;
  };
  return a.utcOffset == b.utcOffset && a.adjustment == b.adjustment &&
         (a.adjustment == 0 ||
          (sameRule(a.daylightStart, b.daylightStart) && sameRule(a.daylightEnd, b.daylightEnd))) &&
         a.nameSize == b.nameSize && std::memcmp(a.name, b.name, a.nameSize) == 0;
}

int WriteTimeZone(Conversion* conversion, const TimeZone& zone, const unsigned char* tzid,
                  std::size_t tzidSize) {
  int result = WriteAsciiLine(conversion, "BEGIN:VTIMEZONE");
  if (result == kResultOk) {
    ContentLine line;
    result = AppendAscii(conversion, &line, "TZID:");
    if (result == kResultOk) result = AppendText(conversion, &line, tzid, tzidSize);
    if (result == kResultOk) result = EndLine(conversion, &line);
  }
  int standard = zone.utcOffset;
  int daylight = zone.utcOffset + zone.adjustment;
  if (zone.adjustment == 0) {
    if (result == kResultOk) {
      result = WriteObservance(conversion, "STANDARD", nullptr, standard, standard);
    }
  } else {
    if (result == kResultOk) {
      result = WriteObservance(conversion, "STANDARD", &zone.daylightEnd, daylight, standard);
    }
    if (result == kResultOk) {
      result = WriteObservance(conversion, "DAYLIGHT", &zone.daylightStart, standard, daylight);
    }
  }
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VTIMEZONE");
  return result;
}

UtcTime ZoneTimeToUtc(const TimeZone& zone, CalendarDate date, int hour, int minute, int second) {
  long local = MinuteOf(date, hour, minute);
  int offset = zone.utcOffset;
  if (zone.adjustment != 0) {
    const ZoneRule& on = zone.daylightStart;
    const ZoneRule& off = zone.daylightEnd;
    long start = MinuteOf(RuleDate(on, date.year), on.hour, 0);
    // The end's hour is daylight time: the same instant in standard time.
    long end = MinuteOf(RuleDate(off, date.year), off.hour, 0) - zone.adjustment;
    bool daylight = start < end ? local >= start && local < end : local >= start || local < end;
    if (daylight) offset += zone.adjustment;
  }
  long utc = local - offset;
  long days = utc >= 0 ? utc / 1440 : -((-utc + 1439) / 1440);
  long inDay = utc - days * 1440;
  return {CivilFromDays(days), static_cast<int>(inDay / 60), static_cast<int>(inDay % 60), second};
}

}  // namespace ormidal
