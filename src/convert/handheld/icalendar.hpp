// What the calendar and the tasks share in iCalendar (RFC 5545): the
// VCALENDAR around their components, and each component's UID and DTSTAMP.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "convert/conversion.hpp"
#include "convert/handheld/categories.hpp"
#include "convert/handheld/handheld_records.hpp"
#include "convert/handheld/packed_date.hpp"

namespace ormidal {

struct FreeDeleter {
  void operator()(unsigned char* bytes) const { std::free(bytes); }
};

struct CalendarFrame {
  std::uint32_t creationTime = 0;
  char stamp[kUtcTextSize] = {};
  // One bit per possible unique ID (24 bits, 2 MiB): which IDs a component
  // already carries. Taken zero-filled from the system, so only the pages
  // that IDs fall on are ever touched.
  std::unique_ptr<unsigned char, FreeDeleter> seenIds;
};

// Writes BEGIN:VCALENDAR, VERSION and PRODID. The stamp of every component
// is the database's modification time, or its creation time when it has
// none.
int BeginCalendar(Conversion* conversion, const HandheldHeader& header, CalendarFrame* frame);

// UID and DTSTAMP. The UID is the record's unique ID and the database's
// creation time, "<unique ID>-<creation time>@ormidal" in hexadecimal, so
// the same record keeps it from one backup to the next. A record whose
// unique ID an earlier record already carried (IDs are 0 where a desktop
// tool wrote none) adds its record number: "<ID>-<time>-<number>@ormidal".
int WriteIdentity(Conversion* conversion, CalendarFrame* frame, const HandheldRecord& record);

int EndCalendar(Conversion* conversion);

// A calendar file with one component per usable record:
// `read(record, &item, &usable)` decodes a record, `write(&frame,
// categories, record, item)` writes its component.
template <typename Item, typename Read, typename Write>
int ConvertToCalendar(Conversion* conversion, Read&& read, Write&& write) {
  HandheldDatabase database;
  CalendarFrame frame;
  int result = ReadHandheldDatabase(conversion, &database);
  if (result == kResultOk) result = BeginCalendar(conversion, database.header, &frame);
  if (result == kResultOk) {
    result = ForEachLiveRecord(conversion, [&](const HandheldRecord& record) {
      Item item;
      bool usable = false;
      int done = read(conversion, record, &item, &usable);
      if (done == kResultOk && usable) {
        done = write(conversion, &frame, database.categories, record, item);
      }
      return done;
    });
  }
  return result == kResultOk ? EndCalendar(conversion) : result;
}

}  // namespace ormidal
