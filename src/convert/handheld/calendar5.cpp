// The later calendar application's databases: each record is an
// appointment laid out as the classic calendar's, then a location, then
// extensions, each a four-byte name, a size and its content. Two of them
// are the application's own: the time zone the appointment's times are in,
// and the meeting it is (attendees, free or busy). The appointments become
// one iCalendar of VEVENTs, after a VTIMEZONE for each zone they use.

#include <cstring>
#include <memory>
#include <new>

#include "convert/conversion.hpp"
#include "convert/handheld/appointments.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/content_lines.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/icalendar.hpp"
#include "convert/handheld/record_extensions.hpp"
#include "convert/handheld/time_zones.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr char kZoneExtension[] = "Bd00";
constexpr char kMeetingExtension[] = "Bd01";

// Meeting status, the time's status, the number of attendees.
constexpr std::uint32_t kMeetingFixedSize = 4;
enum MeetingStatus : std::uint8_t { kUnanswered, kTentative, kDeclined, kAccepted, kCancelled };
enum TimeStatus : std::uint8_t { kBusy, kFree, kTentativeTime, kOutOfOffice };
enum AttendeeRole : std::uint8_t { kOriginator, kRequired, kOptional };

struct Meeting {
  bool present;
  std::uint8_t status;
  std::uint8_t timeStatus;
  std::uint16_t attendees;
  std::uint32_t attendeesStart;
  std::uint32_t end;
};

struct LaterEvent {
  Event event;
  bool hasZone;
  TimeZone zone;
  Meeting meeting;
};

struct Attendee {
  std::uint8_t role;
  StoredString name;
  StoredString address;
};

// One attendee from *offset: its role, name and address, all before `end`.
int ReadAttendee(Conversion* conversion, std::uint32_t* offset, std::uint32_t end,
                 Attendee* attendee, bool* wellFormed) {
  *wellFormed = false;
  if (*offset >= end) return kResultOk;
  int result = ReadAt(conversion, *offset, &attendee->role, 1);
  if (result != kResultOk || attendee->role > kOptional) return result;
  ++*offset;
  bool terminated = false;
  result = FindString(conversion, offset, end, &attendee->name, &terminated);
  if (result != kResultOk || !terminated) return result;
  result = FindString(conversion, offset, end, &attendee->address, &terminated);
  *wellFormed = terminated;
  return result;
}

// A meeting is kept only whole: statuses it can mean and every attendee
// inside the extension.
int ReadMeeting(Conversion* conversion, const Extension& extension, Meeting* meeting) {
  *meeting = {};
  unsigned char fixed[kMeetingFixedSize];
  bool wellFormed = extension.size >= kMeetingFixedSize;
  if (wellFormed) {
    if (int result = ReadAt(conversion, extension.start, fixed, sizeof fixed); result != kResultOk)
      return result;
    wellFormed = fixed[0] <= kCancelled && fixed[1] <= kOutOfOffice;
  }
  std::uint32_t offset = extension.start + kMeetingFixedSize;
  std::uint32_t end = extension.start + extension.size;
  std::uint16_t count = wellFormed ? ReadBigEndian16(fixed + 2) : 0;
  for (std::uint16_t i = 0; i < count && wellFormed; ++i) {
    Attendee attendee;
    int result = ReadAttendee(conversion, &offset, end, &attendee, &wellFormed);
    if (result != kResultOk) return result;
  }
  if (!wellFormed) {
    conversion->damaged = true;
    return kResultOk;
  }
  *meeting = {true, fixed[0], fixed[1], count, extension.start + kMeetingFixedSize, end};
  return kResultOk;
}

int ReadZone(Conversion* conversion, const Extension& extension, LaterEvent* item) {
  unsigned char bytes[kZoneBlockLimit];
  std::size_t size = extension.size < sizeof bytes ? extension.size : sizeof bytes;
  if (int result = ReadAt(conversion, extension.start, bytes, size); result != kResultOk) {
    return result;
  }
  item->hasZone = DecodeTimeZone(bytes, size, &item->zone);
  if (!item->hasZone) conversion->damaged = true;
  return kResultOk;
}

int ReadLaterEvent(Conversion* conversion, const HandheldRecord& record, LaterEvent* item,
                   bool* usable) {
  item->hasZone = false;
  item->meeting = {};
  int result = ReadAppointment(conversion, record, AppointmentLayout::kLater, &item->event, usable);
  if (result != kResultOk || !*usable) return result;
  return ForEachExtension(conversion, item->event.extensionsStart,
                          record.range.start + record.range.size,
                          [&](const Extension& extension) -> int {
                            if (extension.Is(kZoneExtension))
                              return ReadZone(conversion, extension, item);
                            if (extension.Is(kMeetingExtension))
                              return ReadMeeting(conversion, extension, &item->meeting);
                            return kResultOk;  // another application's: not ours to read
                          });
}

// The zones the events use, each under a TZID of its own. A calendar with
// more zones than the table holds keeps the rest in floating time, which is
// damage.
constexpr std::size_t kZoneTableSize = 64;
constexpr std::size_t kTzidLimit = kZoneNameLimit + 16;

struct ZoneEntry {
  TimeZone zone;
  unsigned char tzid[kTzidLimit];
  std::size_t tzidSize;
};

struct ZoneTable {
  std::size_t count = 0;
  ZoneEntry entries[kZoneTableSize];
};

const ZoneEntry* FindZone(const ZoneTable& table, const TimeZone& zone) {
  for (std::size_t i = 0; i < table.count; ++i) {
    if (SameZone(table.entries[i].zone, zone)) return &table.entries[i];
  }
  return nullptr;
}

bool TzidTaken(const ZoneTable& table, const unsigned char* tzid, std::size_t size) {
  for (std::size_t i = 0; i < table.count; ++i) {
    const ZoneEntry& entry = table.entries[i];
    if (entry.tzidSize == size && std::memcmp(entry.tzid, tzid, size) == 0) return true;
  }
  return false;
}

// The zone's name; "UTC+01:00" for one without. A name that another zone
// already has gets a number after it.
void MakeTzid(const ZoneTable& table, ZoneEntry* entry) {
  AsciiText text;
  const unsigned char* base = entry->zone.name;
  std::size_t baseSize = entry->zone.nameSize;
  if (baseSize == 0) {
    int offset = entry->zone.utcOffset;
    int magnitude = offset < 0 ? -offset : offset;
    text.Add("UTC").Add(offset < 0 ? '-' : '+').Decimal(magnitude / 60, 2).Add(':');
    text.Decimal(magnitude % 60, 2);
    base = reinterpret_cast<const unsigned char*>(text.text);
    baseSize = text.length;
  }
  std::memcpy(entry->tzid, base, baseSize);
  entry->tzidSize = baseSize;
  for (long number = 2; TzidTaken(table, entry->tzid, entry->tzidSize); ++number) {
    AsciiText suffix;
    suffix.Add(" (").Decimal(number).Add(')');
    std::memcpy(entry->tzid + baseSize, suffix.text, suffix.length);
    entry->tzidSize = baseSize + suffix.length;
  }
}

// Writes a VTIMEZONE for each zone a timed event uses, the first time.
int WriteZoneOnce(Conversion* conversion, ZoneTable* table, const LaterEvent& item) {
  if (!item.hasZone || !item.event.timed || FindZone(*table, item.zone) != nullptr) {
    return kResultOk;
  }
  if (table->count == kZoneTableSize) {
    conversion->damaged = true;
    return kResultOk;
  }
  ZoneEntry* entry = &table->entries[table->count];
  entry->zone = item.zone;
  MakeTzid(*table, entry);
  ++table->count;
  return WriteTimeZone(conversion, entry->zone, entry->tzid, entry->tzidSize);
}

int WriteAttendees(Conversion* conversion, const Meeting& meeting) {
  std::uint32_t offset = meeting.attendeesStart;
  for (std::uint16_t i = 0; i < meeting.attendees; ++i) {
    Attendee attendee;
    bool wellFormed = false;
    int result = ReadAttendee(conversion, &offset, meeting.end, &attendee, &wellFormed);
    if (result != kResultOk || !wellFormed) return result;
    static const char* const kRoles[] = {
        "ORGANIZER;CN=", "ATTENDEE;ROLE=REQ-PARTICIPANT;CN=", "ATTENDEE;ROLE=OPT-PARTICIPANT;CN="};
    ContentLine line;
    result = AppendAscii(conversion, &line, kRoles[attendee.role]);
    if (result == kResultOk) result = AppendStoredParameter(conversion, &line, attendee.name);
    if (result == kResultOk) result = AppendAscii(conversion, &line, ":mailto:");
    if (result == kResultOk) result = AppendStoredUnescaped(conversion, &line, attendee.address);
    if (result == kResultOk) result = EndLine(conversion, &line);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

int WriteMeeting(Conversion* conversion, const Meeting& meeting) {
  static const char* const kStatuses[] = {nullptr, "STATUS:TENTATIVE", nullptr, "STATUS:CONFIRMED",
                                          "STATUS:CANCELLED"};
  static const char* const kTimeStatuses[] = {nullptr, "TRANSP:TRANSPARENT",
                                              "X-MICROSOFT-CDO-BUSYSTATUS:TENTATIVE",
                                              "X-MICROSOFT-CDO-BUSYSTATUS:OOF"};
  if (!meeting.present) return kResultOk;
  int result = kResultOk;
  if (kStatuses[meeting.status] != nullptr) {
    result = WriteAsciiLine(conversion, kStatuses[meeting.status]);
  }
  if (result == kResultOk && kTimeStatuses[meeting.timeStatus] != nullptr) {
    result = WriteAsciiLine(conversion, kTimeStatuses[meeting.timeStatus]);
  }
  if (result == kResultOk) result = WriteAttendees(conversion, meeting);
  return result;
}

// UNTIL takes the form of DTSTART, and is in UTC when DTSTART has a zone.
AsciiText RepeatUntil(const Event& event, const TimeZone* zone) {
  AsciiText until;
  if (zone == nullptr || !event.timed) {
    AddWhen(until, event.repeat.end, event.timed, 23, 59, 59);
  } else {
    UtcTime utc = ZoneTimeToUtc(*zone, event.repeat.end, 23, 59, 59);
    AddWhen(until, utc.date, true, utc.hour, utc.minute, utc.second).Add('Z');
  }
  return until;
}

int WriteLaterEvent(Conversion* conversion, CalendarFrame* frame, const CategoryTable& categories,
                    const HandheldRecord& record, const ZoneTable& zones, const LaterEvent& item) {
  const Event& event = item.event;
  const ZoneEntry* entry = item.hasZone && event.timed ? FindZone(zones, item.zone) : nullptr;
  ZoneName zone;
  if (entry != nullptr) zone = {entry->tzid, entry->tzidSize};
  int result = WriteAsciiLine(conversion, "BEGIN:VEVENT");
  if (result == kResultOk) result = WriteIdentity(conversion, frame, record);
  if (result == kResultOk) result = WriteTimes(conversion, event, zone);
  if (result == kResultOk) result = WriteTextProperty(conversion, "SUMMARY", event.description);
  if (result == kResultOk) result = WriteTextProperty(conversion, "DESCRIPTION", event.note);
  if (result == kResultOk) result = WriteTextProperty(conversion, "LOCATION", event.location);
  // Without its rule, a date left out could remove the only occurrence.
  if (event.repeat.present) {
    AsciiText until = RepeatUntil(event, entry != nullptr ? &entry->zone : nullptr);
    if (result == kResultOk) result = WriteRule(conversion, event.repeat, event.date, until);
    if (result == kResultOk) result = WriteExceptions(conversion, event, zone);
  }
  if (result == kResultOk) result = WriteMeeting(conversion, item.meeting);
  if (result == kResultOk) result = WriteCategoryAndClass(conversion, categories, record);
  if (result == kResultOk && event.alarm.present) result = WriteAlarm(conversion, event);
  if (result == kResultOk) result = WriteAsciiLine(conversion, "END:VEVENT");
  return result;
}

}  // namespace

// Two walks over the records: the zones first, as iCalendar wants them
// before the events that use them, then the events.
int ConvertLaterCalendar(Conversion* conversion) {
  std::unique_ptr<ZoneTable> zones(new (std::nothrow) ZoneTable());
  if (!zones) return kResultNoMemory;
  HandheldDatabase database;
  CalendarFrame frame;
  int result = ReadHandheldDatabase(conversion, &database);
  if (result == kResultOk) result = BeginCalendar(conversion, database.header, &frame);
  auto walk = [&](auto&& write) {
    return ForEachLiveRecord(conversion, [&](const HandheldRecord& record) -> int {
      LaterEvent item;
      bool usable = false;
      int done = ReadLaterEvent(conversion, record, &item, &usable);
      if (done == kResultOk && usable) done = write(record, item);
      return done;
    });
  };
  if (result == kResultOk) {
    result = walk([&](const HandheldRecord&, const LaterEvent& item) {
      return WriteZoneOnce(conversion, zones.get(), item);
    });
  }
  if (result == kResultOk) {
    result = walk([&](const HandheldRecord& record, const LaterEvent& item) {
      return WriteLaterEvent(conversion, &frame, database.categories, record, *zones, item);
    });
  }
  return result == kResultOk ? EndCalendar(conversion) : result;
}

}  // namespace ormidal
