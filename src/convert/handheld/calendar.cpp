// Calendar databases: each record is an appointment, a fixed part with its
// times, date and flags, then what the flags name: an alarm, a repeat, a
// list of dates left out of the repeat, a description and a note. The
// appointments become one iCalendar of VEVENTs in floating local time, as
// the handheld had no time zones.

#include "convert/conversion.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/icalendar.hpp"
#include "convert/handheld/packed_date.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// Start hour and minute, end hour and minute, the packed date, the flags.
constexpr std::uint32_t kFixedSize = 8;
constexpr std::uint8_t kUntimed = 0xFF;

constexpr std::uint16_t kHasAlarm = 0x4000;
constexpr std::uint16_t kHasRepeat = 0x2000;
constexpr std::uint16_t kHasNote = 0x1000;
constexpr std::uint16_t kHasExceptions = 0x0800;
constexpr std::uint16_t kHasDescription = 0x0400;

constexpr std::uint32_t kAlarmSize = 2;
// Type, a reserved byte, the end date, frequency, repeat-on, start of
// week, a reserved byte.
constexpr std::uint32_t kRepeatSize = 8;
constexpr std::uint32_t kPackedDateSize = 2;

enum AlarmUnit : std::uint8_t { kMinutes = 0, kHours = 1, kDays = 2 };

enum RepeatType : std::uint8_t {
  kNoRepeat = 0,
  kDaily = 1,
  kWeekly = 2,
  kMonthlyByDay = 3,
  kMonthlyByDate = 4,
  kYearly = 5,
};

// Monthly by day: repeat-on is week × 7 + weekday; week 4 is the last one.
constexpr unsigned kLastWeek = 4;
constexpr unsigned kMonthlyByDayLimit = (kLastWeek + 1) * 7;

const char* const kWeekdays[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

struct Alarm {
  bool present;
  int advance;
  std::uint8_t unit;
};

struct Repeat {
  bool present;  // a rule to write
  std::uint8_t type;
  bool hasEnd;
  CalendarDate end;
  std::uint8_t frequency;
  std::uint8_t repeatOn;
  std::uint8_t startOfWeek;
};

struct Event {
  bool timed;
  int startHour, startMinute, endHour, endMinute;
  bool hasEnd;
  CalendarDate date;
  Alarm alarm;
  Repeat repeat;
  std::uint32_t exceptionsStart;
  std::uint16_t exceptionCount;
  StoredString description;
  StoredString note;
};

bool ValidTime(int hour, int minute) { return hour <= 23 && minute <= 59; }

// The times: an untimed event has a start hour of 0xFF. A timed event ends
// at its end time when that follows its start; one that ends when it starts
// has no end to write, and one whose end is not a time of day or comes
// before its start loses its end.
bool ReadTimes(Conversion* conversion, const unsigned char* fixed, Event* event) {
  event->timed = fixed[0] != kUntimed;
  event->startHour = fixed[0];
  event->startMinute = fixed[1];
  event->endHour = fixed[2];
  event->endMinute = fixed[3];
  if (!event->timed) return true;
  if (!ValidTime(event->startHour, event->startMinute)) return false;
  int start = event->startHour * 60 + event->startMinute;
  int end = event->endHour * 60 + event->endMinute;
  if (!ValidTime(event->endHour, event->endMinute) || end < start) {
    conversion->damaged = true;
    return true;
  }
  event->hasEnd = end > start;
  return true;
}

void ReadAlarm(Conversion* conversion, const unsigned char* bytes, Alarm* alarm) {
  alarm->advance = static_cast<signed char>(bytes[0]);
  alarm->unit = bytes[1];
  alarm->present = alarm->unit <= kDays;
  if (!alarm->present) conversion->damaged = true;
}

bool Before(CalendarDate a, CalendarDate b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

// A repeat with a byte it cannot mean is left out whole: any part of it
// written alone would make up occurrences. So is one that ends before the
// event begins, which some calendars would show not even once.
void ReadRepeat(Conversion* conversion, const unsigned char* bytes, CalendarDate start,
                Repeat* repeat) {
  repeat->type = bytes[0];
  repeat->frequency = bytes[4];
  repeat->repeatOn = bytes[5];
  repeat->startOfWeek = bytes[6];
  if (repeat->type == kNoRepeat) return;
  bool valid = repeat->type <= kYearly;
  switch (UnpackDate(ReadBigEndian16(bytes + 2), &repeat->end)) {
    case DateStatus::kValid:
      repeat->hasEnd = true;
      valid = valid && !Before(repeat->end, start);
      break;
    case DateStatus::kNone:
      break;
    case DateStatus::kInvalid:
      valid = false;
      break;
  }
  if (repeat->type == kWeekly) {
    valid = valid && repeat->repeatOn != 0 && repeat->repeatOn < 0x80 && repeat->startOfWeek < 7;
  } else if (repeat->type == kMonthlyByDay) {
    valid = valid && repeat->repeatOn < kMonthlyByDayLimit;
  }
  repeat->present = valid;
  if (!valid) conversion->damaged = true;
}

// A record too short for its fixed part or for the parts its flags name, or
// whose date or start time cannot be, holds no event; a bad alarm, repeat,
// end time or exception date is left out alone.
int ReadEvent(Conversion* conversion, const HandheldRecord& record, Event* event, bool* usable) {
  *event = {};
  *usable = false;
  std::uint32_t offset = record.range.start;
  std::uint32_t end = record.range.start + record.range.size;
  unsigned char bytes[kRepeatSize];
  auto take = [&](std::uint32_t size, bool* fits) -> int {
    *fits = end - offset >= size;
    if (!*fits) {
      conversion->damaged = true;
      return kResultOk;
    }
    int result = ReadAt(conversion, offset, bytes, size);
    offset += size;
    return result;
  };
  bool fits = false;
  if (int result = take(kFixedSize, &fits); result != kResultOk || !fits) return result;
  std::uint16_t flags = ReadBigEndian16(bytes + 6);
  if (UnpackDate(ReadBigEndian16(bytes + 4), &event->date) != DateStatus::kValid ||
      !ReadTimes(conversion, bytes, event)) {
    conversion->damaged = true;
    return kResultOk;
  }
  if ((flags & kHasAlarm) != 0) {
    if (int result = take(kAlarmSize, &fits); result != kResultOk || !fits) return result;
    ReadAlarm(conversion, bytes, &event->alarm);
  }
  if ((flags & kHasRepeat) != 0) {
    if (int result = take(kRepeatSize, &fits); result != kResultOk || !fits) return result;
    ReadRepeat(conversion, bytes, event->date, &event->repeat);
  }
  if ((flags & kHasExceptions) != 0) {
    if (int result = take(kPackedDateSize, &fits); result != kResultOk || !fits) return result;
    event->exceptionCount = ReadBigEndian16(bytes);
    event->exceptionsStart = offset;
    std::uint32_t listSize = std::uint32_t{event->exceptionCount} * kPackedDateSize;
    if (end - offset < listSize) {
      conversion->damaged = true;
      return kResultOk;
    }
    offset += listSize;
  }
  bool terminated = false;
  if ((flags & kHasDescription) != 0) {
    int result = FindString(conversion, &offset, end, &event->description, &terminated);
    if (result != kResultOk) return result;
  }
  if ((flags & kHasNote) != 0) {
    int result = FindString(conversion, &offset, end, &event->note, &terminated);
    if (result != kResultOk) return result;
  }
  *usable = true;
  return kResultOk;
}

// "YYYYMMDD" for an untimed event, "YYYYMMDDTHHMMSS" in floating time for a
// timed one.
AsciiText& AddWhen(AsciiText& text, CalendarDate date, bool timed, int hour, int minute,
                   int second) {
  text.Decimal(date.year, 4).Decimal(date.month, 2).Decimal(date.day, 2);
  if (timed) text.Add('T').Decimal(hour, 2).Decimal(minute, 2).Decimal(second, 2);
  return text;
}

int WriteTimes(Conversion* conversion, const Event& event) {
  AsciiText start;
  start.Add(event.timed ? "DTSTART:" : "DTSTART;VALUE=DATE:");
  AddWhen(start, event.date, event.timed, event.startHour, event.startMinute, 0);
  int result = WriteAsciiLine(conversion, start);
  if (result != kResultOk) return result;
  AsciiText end;
  if (event.timed) {
    if (!event.hasEnd) return kResultOk;
    AddWhen(end.Add("DTEND:"), event.date, true, event.endHour, event.endMinute, 0);
  } else {
    // The end of an all-day event is the day after, not included.
    AddWhen(end.Add("DTEND;VALUE=DATE:"), NextDay(event.date), false, 0, 0, 0);
  }
  return WriteAsciiLine(conversion, end);
}

// The rule of a repeat. Its end day is included whole: a date for an
// untimed event, the last second of the day for a timed one (UNTIL takes
// the form of DTSTART).
int WriteRule(Conversion* conversion, const Event& event) {
  const Repeat& repeat = event.repeat;
  static const char* const kFrequencies[] = {"", "DAILY", "WEEKLY", "MONTHLY", "MONTHLY", "YEARLY"};
  AsciiText rule;
  rule.Add("RRULE:FREQ=").Add(kFrequencies[repeat.type]);
  if (repeat.frequency > 1) rule.Add(";INTERVAL=").Decimal(repeat.frequency);
  if (repeat.hasEnd) AddWhen(rule.Add(";UNTIL="), repeat.end, event.timed, 23, 59, 59);
  if (repeat.type == kWeekly) {
    const char* separator = ";BYDAY=";
    for (int day = 0; day < 7; ++day) {
      if ((repeat.repeatOn & (1u << day)) == 0) continue;
      rule.Add(separator).Add(kWeekdays[day]);
      separator = ",";
    }
    rule.Add(";WKST=").Add(kWeekdays[repeat.startOfWeek]);
  } else if (repeat.type == kMonthlyByDay) {
    unsigned week = repeat.repeatOn / 7;
    rule.Add(";BYDAY=").Decimal(week == kLastWeek ? -1 : static_cast<long>(week) + 1);
    rule.Add(kWeekdays[repeat.repeatOn % 7]);
  } else if (repeat.type == kMonthlyByDate) {
    rule.Add(";BYMONTHDAY=").Decimal(event.date.day);
  }
  return WriteAsciiLine(conversion, rule);
}

// The dates left out of the repeat, at the event's start time when it has
// one. A date that cannot be is left out of the list.
int WriteExceptions(Conversion* conversion, const Event& event) {
  ContentLine line;
  bool begun = false;
  int result = kResultOk;
  for (std::uint32_t i = 0; i < event.exceptionCount && result == kResultOk; ++i) {
    unsigned char packed[kPackedDateSize];
    result = ReadAt(conversion, event.exceptionsStart + i * kPackedDateSize, packed, sizeof packed);
    if (result != kResultOk) break;
    CalendarDate date;
    if (UnpackDate(ReadBigEndian16(packed), &date) != DateStatus::kValid) {
      conversion->damaged = true;
      continue;
    }
    AsciiText when;
    if (!begun) {
      when.Add(event.timed ? "EXDATE:" : "EXDATE;VALUE=DATE:");
      begun = true;
    } else {
      when.Add(',');
    }
    AddWhen(when, date, event.timed, event.startHour, event.startMinute, 0);
    result = AppendAscii(conversion, &line, when);
  }
  if (result == kResultOk && begun) result = EndLine(conversion, &line);
  return result;
}

// A display alarm the advance before the start; RFC 5545 asks a display
// alarm for a DESCRIPTION, which is the event's own.
int WriteAlarm(Conversion* conversion, const Event& event) {
  const Alarm& alarm = event.alarm;
  AsciiText trigger;
  trigger.Add(alarm.advance > 0 ? "TRIGGER:-" : "TRIGGER:");
  trigger.Add(alarm.unit == kDays ? "P" : "PT");
  trigger.Decimal(alarm.advance < 0 ? -alarm.advance : alarm.advance);
  trigger.Add(alarm.unit == kDays ? 'D' : alarm.unit == kHours ? 'H' : 'M');
  int result = WriteAsciiLine(conversion, "BEGIN:VALARM");
  if (result == kResultOk) result = WriteAsciiLine(conversion, "ACTION:DISPLAY");
  if (result == kResultOk) {
    ContentLine line;
    result = AppendAscii(conversion, &line, "DESCRIPTION:");
    if (result == kResultOk) result = AppendStoredText(conversion, &line, event.description);
    if (result == kResultOk) result = EndLine(conversion, &line);
  }
  if (result == kResultOk) result = WriteAsciiLine(conversion, trigger);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VALARM");
  return result;
}

int WriteEvent(Conversion* conversion, CalendarFrame* frame, const CategoryTable& categories,
               const HandheldRecord& record, const Event& event) {
  int result = WriteAsciiLine(conversion, "BEGIN:VEVENT");
  if (result == kResultOk) result = WriteIdentity(conversion, frame, record);
  if (result == kResultOk) result = WriteTimes(conversion, event);
  if (result == kResultOk) result = WriteTextProperty(conversion, "SUMMARY", event.description);
  if (result == kResultOk) result = WriteTextProperty(conversion, "DESCRIPTION", event.note);
  // Without its rule, a date left out could remove the only occurrence.
  if (event.repeat.present) {
    if (result == kResultOk) result = WriteRule(conversion, event);
    if (result == kResultOk) result = WriteExceptions(conversion, event);
  }
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  if (result == kResultOk && event.alarm.present) result = WriteAlarm(conversion, event);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VEVENT");
  return result;
}

}  // namespace

int ConvertCalendar(Conversion* conversion) {
  return ConvertToCalendar<Event>(conversion, ReadEvent, WriteEvent);
}

}  // namespace ormidal
