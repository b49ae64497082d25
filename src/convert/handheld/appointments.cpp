#include "convert/handheld/appointments.hpp"

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
constexpr std::uint16_t kHasLocation = 0x0200;

constexpr std::uint32_t kAlarmSize = 2;
constexpr std::uint32_t kPackedDateSize = 2;

enum AlarmUnit : std::uint8_t { kMinutes = 0, kHours = 1, kDays = 2 };

// Monthly by day: repeat-on is week × 7 + weekday; week 4 is the last one.
constexpr unsigned kLastWeek = 4;
constexpr unsigned kMonthlyByDayLimit = (kLastWeek + 1) * 7;

const char* const kWeekdays[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

bool ValidTime(int hour, int minute) { return hour <= 23 && minute <= 59; }

// The times: an untimed event has a start hour of 0xFF. A timed event ends
// at its end time when that follows its start; one that ends when it starts
// has no end to write. The later application stores an end at midnight as
// 00:00; otherwise an end that is not a time of day or comes before the
// start is lost.
bool ReadTimes(Conversion* conversion, const unsigned char* fixed, AppointmentLayout layout,
               Event* event) {
  event->timed = fixed[0] != kUntimed;
  event->startHour = fixed[0];
  event->startMinute = fixed[1];
  event->endHour = fixed[2];
  event->endMinute = fixed[3];
  if (!event->timed) return true;
  if (!ValidTime(event->startHour, event->startMinute)) return false;
  int start = event->startHour * 60 + event->startMinute;
  int end = event->endHour * 60 + event->endMinute;
  if (layout == AppointmentLayout::kLater && end == 0 && start > 0) {
    event->hasEnd = event->endsNextDay = true;
    return true;
  }
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

int AppendZoneParameter(Conversion* conversion, ContentLine* line, ZoneName zone) {
  if (zone.bytes == nullptr) return kResultOk;
  int result = AppendAscii(conversion, line, ";TZID=");
  if (result == kResultOk) result = AppendParameterValue(conversion, line, zone.bytes, zone.size);
  return result;
}

// "NAME;TZID=...;VALUE=DATE:" as the value needs, then the value.
int WriteWhenLine(Conversion* conversion, const char* name, ZoneName zone, bool timed,
                  const AsciiText& when) {
  ContentLine line;
  int result = AppendAscii(conversion, &line, name);
  if (result == kResultOk && timed) result = AppendZoneParameter(conversion, &line, zone);
  if (result == kResultOk) result = AppendAscii(conversion, &line, timed ? ":" : ";VALUE=DATE:");
  if (result == kResultOk) result = AppendAscii(conversion, &line, when);
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

}  // namespace

const char* WeekdayName(unsigned weekday) { return weekday < 7 ? kWeekdays[weekday] : ""; }

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

AsciiText& AddWhen(AsciiText& text, CalendarDate date, bool timed, int hour, int minute,
                   int second) {
  text.Decimal(date.year, 4).Decimal(date.month, 2).Decimal(date.day, 2);
  if (timed) text.Add('T').Decimal(hour, 2).Decimal(minute, 2).Decimal(second, 2);
  return text;
}

int WriteRule(Conversion* conversion, const Repeat& repeat, CalendarDate first,
              const AsciiText& until) {
  static const char* const kFrequencies[] = {"", "DAILY", "WEEKLY", "MONTHLY", "MONTHLY", "YEARLY"};
  AsciiText rule;
  rule.Add("RRULE:FREQ=").Add(kFrequencies[repeat.type]);
  if (repeat.frequency > 1) rule.Add(";INTERVAL=").Decimal(repeat.frequency);
  if (repeat.hasEnd) rule.Add(";UNTIL=").Add(until.text);
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
    rule.Add(";BYMONTHDAY=").Decimal(first.day);
  }
  return WriteAsciiLine(conversion, rule);
}

int ReadAppointment(Conversion* conversion, const HandheldRecord& record, AppointmentLayout layout,
                    Event* event, bool* usable) {
  *event = {};
  *usable = false;
  RecordParts reader(conversion, record);
  unsigned char bytes[kRepeatSize];
  bool fits = false;
  if (int result = reader.Take(bytes, kFixedSize, &fits); result != kResultOk || !fits)
    return result;
  std::uint16_t flags = ReadBigEndian16(bytes + 6);
  if (UnpackDate(ReadBigEndian16(bytes + 4), &event->date) != DateStatus::kValid ||
      !ReadTimes(conversion, bytes, layout, event)) {
    conversion->damaged = true;
    return kResultOk;
  }
  if ((flags & kHasAlarm) != 0) {
    if (int result = reader.Take(bytes, kAlarmSize, &fits); result != kResultOk || !fits)
      return result;
    ReadAlarm(conversion, bytes, &event->alarm);
  }
  if ((flags & kHasRepeat) != 0) {
    if (int result = reader.Take(bytes, kRepeatSize, &fits); result != kResultOk || !fits)
      return result;
    ReadRepeat(conversion, bytes, event->date, &event->repeat);
  }
  if ((flags & kHasExceptions) != 0) {
    if (int result = reader.Take(bytes, kPackedDateSize, &fits); result != kResultOk || !fits)
      return result;
    event->exceptionCount = ReadBigEndian16(bytes);
    event->exceptionsStart = reader.offset;
    std::uint32_t listSize = std::uint32_t{event->exceptionCount} * kPackedDateSize;
    if (reader.end - reader.offset < listSize) {
      conversion->damaged = true;
      return kResultOk;
    }
    reader.offset += listSize;
  }
  bool terminated = true;
  StoredString* strings[] = {&event->description, &event->note, &event->location};
  const std::uint16_t stringFlags[] = {kHasDescription, kHasNote, kHasLocation};
  int count = layout == AppointmentLayout::kLater ? 3 : 2;
  for (int i = 0; i < count && terminated; ++i) {
    if ((flags & stringFlags[i]) == 0) continue;
    int result = FindString(conversion, &reader.offset, reader.end, strings[i], &terminated);
    if (result != kResultOk) return result;
  }
  // A string cut off leaves nothing after it to read.
  event->extensionsStart = terminated ? reader.offset : reader.end;
  *usable = true;
  return kResultOk;
}

int WriteTimes(Conversion* conversion, const Event& event, ZoneName zone) {
  AsciiText start;
  AddWhen(start, event.date, event.timed, event.startHour, event.startMinute, 0);
  int result = WriteWhenLine(conversion, "DTSTART", zone, event.timed, start);
  if (result != kResultOk) return result;
  AsciiText end;
  if (event.timed) {
    if (!event.hasEnd) return kResultOk;
    if (event.endsNextDay) {
      AddWhen(end, NextDay(event.date), true, 0, 0, 0);
    } else {
      AddWhen(end, event.date, true, event.endHour, event.endMinute, 0);
    }
  } else {
    // The end of an all-day event is the day after, not included.
    AddWhen(end, NextDay(event.date), false, 0, 0, 0);
  }
  return WriteWhenLine(conversion, "DTEND", zone, event.timed, end);
}

int WriteExceptions(Conversion* conversion, const Event& event, ZoneName zone) {
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
    if (!begun) {
      result = AppendAscii(conversion, &line, "EXDATE");
      if (result == kResultOk && event.timed) result = AppendZoneParameter(conversion, &line, zone);
      if (result == kResultOk) {
        result = AppendAscii(conversion, &line, event.timed ? ":" : ";VALUE=DATE:");
      }
      begun = true;
    } else {
      result = AppendAscii(conversion, &line, ",");
    }
    AsciiText when;
    AddWhen(when, date, event.timed, event.startHour, event.startMinute, 0);
    if (result == kResultOk) result = AppendAscii(conversion, &line, when);
  }
  if (result == kResultOk && begun) result = EndLine(conversion, &line);
  return result;
}

// RFC 5545 asks a display alarm for a DESCRIPTION, which is the event's own.
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

}  // namespace ormidal
