#include "convert/handheld/handheld_records.hpp"

#include <cstring>

#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kModificationTimeOffset = 40;
constexpr std::size_t kAppInfoOffsetOffset = 52;

int ReadEntryBatch(Conversion* conversion, RecordWalk* walk) {
  const ArchiveState& state = *conversion->state;
  std::uint32_t left = state.recordCount - walk->next;
  std::uint32_t count = left < kRecordEntryBatch ? left : kRecordEntryBatch;
  std::uint64_t offset = DatabaseHeader::kSize + std::uint64_t{walk->next} * RecordEntry::kSize;
  int result = ReadBeside(conversion, offset, walk->entries, count * RecordEntry::kSize);
  if (result != kResultOk) return result;
  walk->batchStart = walk->next;
  walk->batchCount = count;
  return kResultOk;
}

}  // namespace

int ReadHandheldHeader(Conversion* conversion, HandheldHeader* header) {
  unsigned char bytes[DatabaseHeader::kSize];
  int result = ReadAt(conversion, 0, bytes, sizeof bytes);
  if (result != kResultOk) return result;
  header->creationTime = ReadBigEndian32(bytes + DatabaseHeader::kCreationTimeOffset);
  header->modificationTime = ReadBigEndian32(bytes + kModificationTimeOffset);
  header->appInfoOffset = ReadBigEndian32(bytes + kAppInfoOffsetOffset);
  return kResultOk;
}

int NextLiveRecord(Conversion* conversion, RecordWalk* walk, HandheldRecord* record, bool* found) {
  const ArchiveState& state = *conversion->state;
  *found = false;
  while (walk->next < state.recordCount) {
    if (walk->next >= walk->batchStart + walk->batchCount) {
      if (int result = ReadEntryBatch(conversion, walk); result != kResultOk) return result;
    }
    std::uint32_t index = walk->next++;
    const unsigned char* entry =
        walk->entries + std::size_t{index - walk->batchStart} * RecordEntry::kSize;
    std::uint8_t attributes = entry[RecordEntry::kAttributesOffset];
    if ((attributes & kRecordDeleted) != 0) continue;
    ByteRange range = RecordRange(state, index);
    if (range.clipped) conversion->damaged = true;
    if (range.size == 0) continue;
    const unsigned char* id = entry + RecordEntry::kUniqueIdOffset;
    *record = {index, range, attributes,
               (std::uint32_t{id[0]} << 16) | (std::uint32_t{id[1]} << 8) | id[2]};
    *found = true;
    return kResultOk;
  }
  return kResultOk;
}

int FindString(Conversion* conversion, std::uint32_t* offset, std::uint32_t end,
               StoredString* string, bool* terminated) {
  *string = {};
  *terminated = false;
  std::uint32_t start = *offset;
  std::uint32_t at = start;
  while (at < end) {
    const unsigned char* data = nullptr;
    std::size_t got = 0;
    if (int result = ViewSource(conversion, at, end - at, &data, &got); result != kResultOk) {
      return result;
    }
    const void* zero = std::memchr(data, 0, got);
    if (zero != nullptr) {
      std::uint32_t size =
          at - start + static_cast<std::uint32_t>(static_cast<const unsigned char*>(zero) - data);
      *string = {start, size, size > 0};
      *terminated = true;
      *offset = start + size + 1;
      return kResultOk;
    }
    at += static_cast<std::uint32_t>(got);
  }
  conversion->damaged = true;
  *offset = end;
  return kResultOk;
}

int RecordParts::Take(unsigned char* bytes, std::uint32_t size, bool* fits) {
  *fits = end - offset >= size;
  if (!*fits) {
    conversion->damaged = true;
    return kResultOk;
  }
  int result = ReadAt(conversion, offset, bytes, size);
  offset += size;
  return result;
}

bool TakeDate(Conversion* conversion, const unsigned char* bytes, CalendarDate* date) {
  DateStatus status = UnpackDate(ReadBigEndian16(bytes), date);
  if (status == DateStatus::kInvalid) conversion->damaged = true;
  return status == DateStatus::kValid;
}

int ReadFixedPart(Conversion* conversion, const HandheldRecord& record, unsigned char* fixed,
                  std::size_t size, bool* present) {
  *present = false;
  if (record.range.size < size) {
    conversion->damaged = true;
    return kResultOk;
  }
  int result = ReadAt(conversion, record.range.start, fixed, size);
  *present = result == kResultOk;
  return result;
}

}  // namespace ormidal
