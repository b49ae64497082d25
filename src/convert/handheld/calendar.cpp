// Calendar databases: each record is an appointment, a fixed part with its
// times, date and flags, then what the flags name: an alarm, a repeat, a
// list of dates left out of the repeat, a description and a note. The
// appointments become one iCalendar of VEVENTs in floating local time, as
// the handheld had no time zones.

#include "convert/conversion.hpp"
#include "convert/handheld/appointments.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/icalendar.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

int ReadEvent(Conversion* conversion, const HandheldRecord& record, Event* event, bool* usable) {
  return ReadAppointment(conversion, record, AppointmentLayout::kClassic, event, usable);
}

int WriteEvent(Conversion* conversion, CalendarFrame* frame, const CategoryTable& categories,
               const HandheldRecord& record, const Event& event) {
  int result = WriteAsciiLine(conversion, "BEGIN:VEVENT");
  if (result == kResultOk) result = WriteIdentity(conversion, frame, record);
  if (result == kResultOk) result = WriteTimes(conversion, event, ZoneName());
  if (result == kResultOk) result = WriteTextProperty(conversion, "SUMMARY", event.description);
  if (result == kResultOk) result = WriteTextProperty(conversion, "DESCRIPTION", event.note);
  // Without its rule, a date left out could remove the only occurrence.
  if (event.repeat.present) {
    // The repeat's end day is included whole: a date for an untimed event,
    // the last second of the day for a timed one (UNTIL takes the form of
    // DTSTART).
    AsciiText until;
    AddWhen(until, event.repeat.end, event.timed, 23, 59, 59);
    if (result == kResultOk) result = WriteRule(conversion, event.repeat, event.date, until);
    if (result == kResultOk) result = WriteExceptions(conversion, event, ZoneName());
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
