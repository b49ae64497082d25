// What the two calendar applications' records share, and the tasks of the
// later one: the fixed part of an appointment (times, date, flags), its
// alarm, repeat and list of dates left out of the repeat, and how each
// becomes iCalendar.
#pragma once

#include <cstdint>

#include "convert/conversion.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/packed_date.hpp"

namespace ormidal {

// Type, a reserved byte, the end date, frequency, repeat-on, start of
// week, a reserved byte.
inline constexpr std::uint32_t kRepeatSize = 8;

enum RepeatType : std::uint8_t {
  kNoRepeat = 0,
  kDaily = 1,
  kWeekly = 2,
  kMonthlyByDay = 3,
  kMonthlyByDate = 4,
  kYearly = 5,
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

// A repeat with a byte it cannot mean is left out whole (and marks the
// conversion damaged): any part of it written alone would make up
// occurrences. So is one that ends before `start`, which some calendars
// would show not even once.
void ReadRepeat(Conversion* conversion, const unsigned char* bytes, CalendarDate start,
                Repeat* repeat);

// "YYYYMMDD" for a date, "YYYYMMDDTHHMMSS" in local time for a timed value.
AsciiText& AddWhen(AsciiText& text, CalendarDate date, bool timed, int hour, int minute,
                   int second);

const char* WeekdayName(unsigned weekday);  // 0 Sunday to 6 Saturday

// The RRULE of a repeat whose first occurrence is on `first`; `until` is the
// UNTIL value when the repeat has an end.
int WriteRule(Conversion* conversion, const Repeat& repeat, CalendarDate first,
              const AsciiText& until);

struct Alarm {
  bool present;
  int advance;
  std::uint8_t unit;
};

struct Event {
  bool timed;
  int startHour, startMinute, endHour, endMinute;
  bool hasEnd;
  bool endsNextDay;  // ends at 00:00 of the next day
  CalendarDate date;
  Alarm alarm;
  Repeat repeat;
  std::uint32_t exceptionsStart;
  std::uint16_t exceptionCount;
  StoredString description;
  StoredString note;
  StoredString location;
  std::uint32_t extensionsStart;  // where the record's extensions begin
};

enum class AppointmentLayout {
  kClassic,  // times, date, flags, alarm, repeat, exceptions, description, note
  kLater,    // the same, then a location and extensions; 00:00 ends at midnight
};

// A record too short for its fixed part or for the parts its flags name, or
// whose date or start time cannot be, holds no event; a bad alarm, repeat,
// end time or exception date is left out alone.
int ReadAppointment(Conversion* conversion, const HandheldRecord& record, AppointmentLayout layout,
                    Event* event, bool* usable);

// The name of the zone an event's times are in (Windows-1252), for the
// TZID parameter; null bytes for floating local time.
struct ZoneName {
  const unsigned char* bytes = nullptr;
  std::size_t size = 0;
};

// DTSTART and DTEND.
int WriteTimes(Conversion* conversion, const Event& event, ZoneName zone);

// EXDATE for the dates left out of the repeat, at the event's start time.
int WriteExceptions(Conversion* conversion, const Event& event, ZoneName zone);

// A display alarm the advance before the start.
int WriteAlarm(Conversion* conversion, const Event& event);

}  // namespace ormidal
