// What the calendar and the tasks share in iCalendar (RFC 5545): the
// VCALENDAR around their components, and each component's UID and DTSTAMP.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "convert/conversion.hpp"
#include "convert/handheld_records.hpp"
#include "convert/packed_date.hpp"

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

}  // namespace ormidal
