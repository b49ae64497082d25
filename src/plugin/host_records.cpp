#include "plugin/host_records.hpp"

#include <cstring>

#include "convert/unicode.hpp"
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
  std::size_t length = strnlen(entry.name, sizeof entry.name);
#if defined(_WIN32)
  if (length > kEntryNameSize - 1) length = kEntryNameSize - 1;
#else
  // UTF-8 is cut on a character boundary, never inside one.
  length = Utf8PrefixOfBytes(entry.name, length, kEntryNameSize - 1);
#endif
  std::memcpy(header->fileName, entry.name, length);
  header->packedSize = entry.size;
  header->unpackedSize = entry.size;
  header->fileTime = fileTime;
  header->fileAttributes = kEntryAttributes;
}

void FillEntryHeaderExW(const ListedEntry& entry, std::uint32_t fileTime, EntryHeaderExW* header) {
  std::memset(static_cast<void*>(header), 0, sizeof *header);
  Utf8ToUtf16(entry.name, strnlen(entry.name, sizeof entry.name), header->fileName, kWideNameUnits);
  header->packedSizeLow = entry.size;
  header->unpackedSizeLow = entry.size;
  header->fileTime = fileTime;
  header->fileAttributes = kEntryAttributes;
}

}  // namespace ormidal
