// The later task application's databases: each record is a word of flags
// naming the parts present, a word of the task's own flags (completed,
// repeating after completion), a priority, then the due date, completion
// date, alarm and repeat the flags name, a description and a note. The
// tasks become one iCalendar of VTODOs.

#include "convert/conversion.hpp"
#include "convert/handheld/appointments.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/icalendar.hpp"
#include "convert/handheld/packed_date.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// The part flags, the task's flags, the priority.
constexpr std::uint32_t kFixedSize = 6;
constexpr std::uint16_t kHasDue = 0x8000;
constexpr std::uint16_t kHasCompletion = 0x4000;
constexpr std::uint16_t kHasAlarm = 0x2000;
constexpr std::uint16_t kHasRepeat = 0x1000;
constexpr std::uint16_t kCompleted = 0x0001;
constexpr std::uint16_t kRepeatsAfterCompletion = 0x0002;
constexpr int kHighestPriority = 1;
constexpr int kLowestPriority = 5;
constexpr std::uint32_t kAlarmSize = 4;  // time of day, days in advance
constexpr std::uint32_t kPackedDateSize = 2;

struct LaterTask {
  bool hasDue, hasCompletion, hasAlarm, hasRepeat;
  CalendarDate due, completion, repeatStart;
  bool completed, repeatsAfterCompletion;
  int priority;  // 0: none to write
  int alarmHour, alarmMinute, alarmDays;
  Repeat repeat;
  StoredString description;
  StoredString note;
};

void ReadAlarm(Conversion* conversion, const unsigned char* bytes, LaterTask* task) {
  task->alarmHour = bytes[0];
  task->alarmMinute = bytes[1];
  task->alarmDays = ReadBigEndian16(bytes + 2);
  task->hasAlarm = task->alarmHour <= 23 && task->alarmMinute <= 59;
  if (!task->hasAlarm) conversion->damaged = true;
}

// A record too short for its fixed part or for the parts its flags name
// holds no task; a date, alarm, repeat or priority that cannot be is left
// out alone, and so is a string cut off before its terminator.
int ReadLaterTask(Conversion* conversion, const HandheldRecord& record, LaterTask* task,
                  bool* usable) {
  *task = {};
  *usable = false;
  RecordParts reader(conversion, record);
  unsigned char bytes[kPackedDateSize + kRepeatSize];
  bool fits = false;
  if (int result = reader.Take(bytes, kFixedSize, &fits); result != kResultOk || !fits)
    return result;
  std::uint16_t parts = ReadBigEndian16(bytes);
  std::uint16_t flags = ReadBigEndian16(bytes + 2);
  task->completed = (flags & kCompleted) != 0;
  task->repeatsAfterCompletion = (flags & kRepeatsAfterCompletion) != 0;
  task->priority = ReadBigEndian16(bytes + 4);
  if (task->priority < kHighestPriority || task->priority > kLowestPriority) {
    task->priority = 0;
    conversion->damaged = true;
  }
  if ((parts & kHasDue) != 0) {
    if (int result = reader.Take(bytes, kPackedDateSize, &fits); result != kResultOk || !fits)
      return result;
    task->hasDue = TakeDate(conversion, bytes, &task->due);
  }
  if ((parts & kHasCompletion) != 0) {
    if (int result = reader.Take(bytes, kPackedDateSize, &fits); result != kResultOk || !fits)
      return result;
    task->hasCompletion = TakeDate(conversion, bytes, &task->completion);
  }
  if ((parts & kHasAlarm) != 0) {
    if (int result = reader.Take(bytes, kAlarmSize, &fits); result != kResultOk || !fits)
      return result;
    ReadAlarm(conversion, bytes, task);
  }
  if ((parts & kHasRepeat) != 0) {
    if (int result = reader.Take(bytes, kPackedDateSize + kRepeatSize, &fits);
        result != kResultOk || !fits)
      return result;
    if (TakeDate(conversion, bytes, &task->repeatStart)) {
      ReadRepeat(conversion, bytes + kPackedDateSize, task->repeatStart, &task->repeat);
      task->hasRepeat = task->repeat.present;
    }
  }
  bool terminated = false;
  int result = FindString(conversion, &reader.offset, reader.end, &task->description, &terminated);
  if (result == kResultOk && terminated) {
    result = FindString(conversion, &reader.offset, reader.end, &task->note, &terminated);
  }
  *usable = result == kResultOk;
  return result;
}

// The alarm rings at its time on the due date, the days in advance
// before: as a trigger from the due date's start, where DUE is.
int WriteTaskAlarm(Conversion* conversion, const LaterTask& task) {
  long minutes = task.alarmHour * 60L + task.alarmMinute - task.alarmDays * 1440L;
  long magnitude = minutes < 0 ? -minutes : minutes;
  AsciiText trigger;
  trigger.Add(minutes < 0 ? "TRIGGER;RELATED=END:-P" : "TRIGGER;RELATED=END:P");
  if (magnitude >= 1440) trigger.Decimal(magnitude / 1440).Add('D');
  trigger.Add('T').Decimal(magnitude % 1440 / 60).Add('H').Decimal(magnitude % 60).Add('M');
  int result = WriteAsciiLine(conversion, "BEGIN:VALARM");
  if (result == kResultOk) result = WriteAsciiLine(conversion, "ACTION:DISPLAY");
  if (result == kResultOk) {
    ContentLine line;
    result = AppendAscii(conversion, &line, "DESCRIPTION:");
    if (result == kResultOk) result = AppendStoredText(conversion, &line, task.description);
    if (result == kResultOk) result = EndLine(conversion, &line);
  }
  if (result == kResultOk) result = WriteAsciiLine(conversion, trigger);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VALARM");
  return result;
}

int WriteDateLine(Conversion* conversion, const char* name, CalendarDate date) {
  char text[kDateTextSize];
  FormatDate(date, text);
  return WriteAsciiLine(conversion, AsciiText().Add(name).Add(text));
}

int WriteLaterTask(Conversion* conversion, CalendarFrame* frame, const CategoryTable& categories,
                   const HandheldRecord& record, const LaterTask& task) {
  int result = WriteAsciiLine(conversion, "BEGIN:VTODO");
  if (result == kResultOk) result = WriteIdentity(conversion, frame, record);
  if (result == kResultOk) result = WriteTextProperty(conversion, "SUMMARY", task.description);
  if (result == kResultOk) result = WriteTextProperty(conversion, "DESCRIPTION", task.note);
  if (result == kResultOk && task.hasRepeat) {
    result = WriteDateLine(conversion, "DTSTART;VALUE=DATE:", task.repeatStart);
  }
  if (result == kResultOk && task.hasDue) {
    result = WriteDateLine(conversion, "DUE;VALUE=DATE:", task.due);
  }
  if (result == kResultOk && task.priority != 0) {
    // The handheld's five priorities spread over iCalendar's 1 (highest) to 9.
    result =
        WriteAsciiLine(conversion, AsciiText().Add("PRIORITY:").Decimal(2 * task.priority - 1));
  }
  if (result == kResultOk) {
    result =
        WriteAsciiLine(conversion, task.completed ? "STATUS:COMPLETED" : "STATUS:NEEDS-ACTION");
  }
  if (result == kResultOk && task.completed && task.hasCompletion) {
    // COMPLETED is a UTC date-time; the handheld keeps only the day.
    char day[kDateTextSize];
    FormatDate(task.completion, day);
    result = WriteAsciiLine(conversion, AsciiText().Add("COMPLETED:").Add(day).Add("T000000Z"));
  }
  if (result == kResultOk && task.hasRepeat) {
    AsciiText until;
    AddWhen(until, task.repeat.end, false, 0, 0, 0);
    result = WriteRule(conversion, task.repeat, task.repeatStart, until);
    if (result == kResultOk && task.repeatsAfterCompletion) {
      result = WriteAsciiLine(conversion, "X-PALM-REPEAT-AFTER-COMPLETION:TRUE");
    }
  }
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  // An alarm is set on the due date: without one it has no day to ring on.
  if (result == kResultOk && task.hasAlarm && task.hasDue)
    result = WriteTaskAlarm(conversion, task);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VTODO");
  return result;
}

}  // namespace

int ConvertLaterTasks(Conversion* conversion) {
  return ConvertToCalendar<LaterTask>(conversion, ReadLaterTask, WriteLaterTask);
}

}  // namespace ormidal
