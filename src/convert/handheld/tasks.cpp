// Task databases: each record is a due date, a priority byte whose top bit
// marks the task done, a description and a note. The tasks become one
// iCalendar of VTODOs.

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

// The packed due date and the priority byte.
constexpr std::uint32_t kFixedSize = 3;
constexpr std::uint8_t kCompleted = 0x80;
constexpr std::uint8_t kPriorityMask = 0x7F;
constexpr int kHighestPriority = 1;
constexpr int kLowestPriority = 5;

struct Task {
  bool hasDue;
  CalendarDate due;
  bool completed;
  int priority;  // 0: none to write
  StoredString description;
  StoredString note;
};

// A record too short for its fixed part holds no task; a due date or a
// priority that cannot be, or a string cut off before its terminator, is
// left out alone.
int ReadTask(Conversion* conversion, const HandheldRecord& record, Task* task, bool* usable) {
  *task = {};
  *usable = false;
  unsigned char fixed[kFixedSize];
  bool present = false;
  int result = ReadFixedPart(conversion, record, fixed, sizeof fixed, &present);
  if (result != kResultOk || !present) return result;
  if (TakeDate(conversion, fixed, &task->due)) task->hasDue = true;
  task->completed = (fixed[2] & kCompleted) != 0;
  task->priority = fixed[2] & kPriorityMask;
  if (task->priority < kHighestPriority || task->priority > kLowestPriority) {
    task->priority = 0;
    conversion->damaged = true;
  }
  std::uint32_t offset = record.range.start + kFixedSize;
  std::uint32_t end = record.range.start + record.range.size;
  bool terminated = false;
  result = FindString(conversion, &offset, end, &task->description, &terminated);
  if (result == kResultOk) result = FindString(conversion, &offset, end, &task->note, &terminated);
  *usable = result == kResultOk;
  return result;
}

int WriteTask(Conversion* conversion, CalendarFrame* frame, const CategoryTable& categories,
              const HandheldRecord& record, const Task& task) {
  int result = WriteAsciiLine(conversion, "BEGIN:VTODO");
  if (result == kResultOk) result = WriteIdentity(conversion, frame, record);
  if (result == kResultOk) result = WriteTextProperty(conversion, "SUMMARY", task.description);
  if (result == kResultOk) result = WriteTextProperty(conversion, "DESCRIPTION", task.note);
  if (result == kResultOk && task.hasDue) {
    char due[kDateTextSize];
    FormatDate(task.due, due);
    result = WriteAsciiLine(conversion, AsciiText().Add("DUE;VALUE=DATE:").Add(due));
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
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VTODO");
  return result;
}

}  // namespace

int ConvertTasks(Conversion* conversion) {
  return ConvertToCalendar<Task>(conversion, ReadTask, WriteTask);
}

}  // namespace ormidal
