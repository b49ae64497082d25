#include "plugin/host_records.hpp"

#include <cstring>

#include "platform/platform.hpp"

namespace ormidal {

std::uint32_t HostFileTime(const CalendarTime& time) {
#if defined(_WIN32)
  return CalendarToDosTime(time);
#else
  std::int64_t seconds = 0;
  if (!platform::LocalTimeToUnixTime(time.year, time.month, time.day, time.hour, time.minute,
                                     time.second, &seconds)) {
    return 0;
  }
  if (seconds < INT32_MIN) seconds = INT32_MIN;
  if (seconds > INT32_MAX) seconds = INT32_MAX;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(seconds));
#endif
}

void FillEntryHeader(const ListedEntry& entry, std::uint32_t fileTime, EntryHeader* header) {
  std::memset(header, 0, sizeof *header);
  static_assert(sizeof header->fileName == kEntryNameSize);
  std::memcpy(header->fileName, entry.name, sizeof header->fileName);
  header->fileName[sizeof header->fileName - 1] = '\0';
  header->packedSize = entry.size;
  header->unpackedSize = entry.size;
  header->fileTime = fileTime;
  header->fileAttributes = kEntryAttributes;
}

}  // namespace ormidal
