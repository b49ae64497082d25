// Writing a listed entry into the records hosts pass, in the forms each
// platform's hosts read: on Windows the time as a packed DOS date-time and
// attribute 0; elsewhere the time as a Unix time and the attribute as a
// regular file's mode, as the Linux hosts of this interface read them.
#pragma once

#include <cstdint>

#include "database/dos_time.hpp"
#include "plugin/interface.hpp"
#include "view/listing.hpp"

namespace ormidal {

#if defined(_WIN32)
inline constexpr std::int32_t kEntryAttributes = 0;
#else
inline constexpr std::int32_t kEntryAttributes = 0100644;  // a regular file, rw-r--r--
#endif

// The entry time in the platform's form. The Unix form reads the calendar
// time on the local clock and is held within the signed 32-bit range.
std::uint32_t HostFileTime(const CalendarTime& time);

// Sets every byte of `header` from the entry: the name, both sizes, the
// time (`fileTime`, HostFileTime of the entry's time) and the attributes;
// zero elsewhere.
void FillEntryHeader(const ListedEntry& entry, std::uint32_t fileTime, EntryHeader* header);

// The same for the Unicode record: every byte of its first 4140, the name
// (listed in UTF-8) in UTF-16; never a byte beyond.
void FillEntryHeaderExW(const ListedEntry& entry, std::uint32_t fileTime, EntryHeaderExW* header);

}  // namespace ormidal
