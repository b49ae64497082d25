#include "convert/handheld/icalendar.hpp"

#include "convert/handheld/content_lines.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kUniqueIdCount = std::size_t{1} << 24;

// True the first time an ID is seen.
bool FirstUse(CalendarFrame* frame, std::uint32_t uniqueId) {
  unsigned char* byte = frame->seenIds.get() + (uniqueId >> 3);
  unsigned char bit = static_cast<unsigned char>(1u << (uniqueId & 7));
  bool first = (*byte & bit) == 0;
  *byte |= bit;
  return first;
}

}  // namespace

int BeginCalendar(Conversion* conversion, const HandheldHeader& header, CalendarFrame* frame) {
  frame->seenIds.reset(static_cast<unsigned char*>(std::calloc(kUniqueIdCount / 8, 1)));
  if (!frame->seenIds) return kResultNoMemory;
  frame->creationTime = header.creationTime;
  std::uint32_t modified =
      header.modificationTime != 0 ? header.modificationTime : header.creationTime;
  FormatUtc(DatabaseTimeToUtc(modified), frame->stamp);
  int result = WriteAsciiLine(conversion, "BEGIN:VCALENDAR");
  if (result == kResultOk) result = WriteAsciiLine(conversion, "VERSION:2.0");
  if (result == kResultOk) {
    result = WriteAsciiLine(conversion, "PRODID:-//ormidal//Palm database converter//EN");
  }
  return result;
}

int WriteIdentity(Conversion* conversion, CalendarFrame* frame, const HandheldRecord& record) {
  std::uint32_t id = record.uniqueId & 0xFFFFFF;
  AsciiText uid;
  uid.Add("UID:").Hex(id, 6).Add('-').Hex(frame->creationTime, 8);
  if (!FirstUse(frame, id)) uid.Add('-').Decimal(record.index);
  uid.Add("@ormidal");
  int result = WriteAsciiLine(conversion, uid);
  if (result != kResultOk) return result;
  return WriteAsciiLine(conversion, AsciiText().Add("DTSTAMP:").Add(frame->stamp));
}

int EndCalendar(Conversion* conversion) { return WriteAsciiLine(conversion, "END:VCALENDAR"); }

}  // namespace ormidal
