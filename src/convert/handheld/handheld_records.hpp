// What the handheld's own applications (memos, contacts, calendar, tasks)
// keep beside their records: header fields, each record's attributes and
// unique ID in the record list, and zero-terminated strings in the records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/conversion.hpp"
#include "convert/handheld/packed_date.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"

namespace ormidal {

// The header fields the applications' converters read: the database's two
// time stamps and where its application-info block begins (0: none).
struct HandheldHeader {
  std::uint32_t creationTime;
  std::uint32_t modificationTime;
  std::uint32_t appInfoOffset;
};

int ReadHandheldHeader(Conversion* conversion, HandheldHeader* header);

// Record attributes, byte 4 of a record entry.
inline constexpr std::uint8_t kRecordDeleted = 0x80;
inline constexpr std::uint8_t kRecordPrivate = 0x10;
inline constexpr std::uint8_t kRecordCategoryMask = 0x0F;

struct HandheldRecord {
  std::uint32_t index;
  ByteRange range;
  std::uint8_t attributes;
  std::uint32_t uniqueId;  // 24 bits
  unsigned Category() const { return attributes & kRecordCategoryMask; }
  bool IsPrivate() const { return (attributes & kRecordPrivate) != 0; }
};

// The record list is read a batch at a time, beside the records, so the
// records' chunk is not read twice.
inline constexpr std::size_t kRecordEntryBatch = 1024;

struct RecordWalk {
  std::uint32_t next = 0;
  std::uint32_t batchStart = 0;
  std::uint32_t batchCount = 0;
  unsigned char entries[kRecordEntryBatch * RecordEntry::kSize];
};

// Moves to the next record that holds data, in record order: deleted records
// and empty ones are no data and are passed over; a record cut off by the
// end of the file marks the conversion damaged and gives what is there.
// *found is false after the last record.
int NextLiveRecord(Conversion* conversion, RecordWalk* walk, HandheldRecord* record, bool* found);

// Calls `each(record)` for every record that holds data, in record order
// (see NextLiveRecord); stops at the first result other than kResultOk.
template <typename Each>
int ForEachLiveRecord(Conversion* conversion, Each&& each) {
  RecordWalk walk;
  HandheldRecord record;
  bool found = false;
  int result;
  while ((result = NextLiveRecord(conversion, &walk, &record, &found)) == kResultOk && found) {
    result = each(record);
    if (result != kResultOk) return result;
  }
  return result;
}

// Reads the first `size` bytes of the record, the fixed part of its layout,
// and sets *present. A record too short to hold them is damage: the
// conversion is marked damaged and *present is false.
int ReadFixedPart(Conversion* conversion, const HandheldRecord& record, unsigned char* fixed,
                  std::size_t size, bool* present);

// Reads a record's parts one after another from its start. A part the
// record is too short for is damage: Take marks the conversion damaged and
// sets *fits to false.
struct RecordParts {
  RecordParts(Conversion* conversion, const HandheldRecord& record)
      : conversion(conversion),
        offset(record.range.start),
        end(record.range.start + record.range.size) {}
  // Reads the next `size` bytes into `bytes`.
  int Take(unsigned char* bytes, std::uint32_t size, bool* fits);

  Conversion* conversion;
  std::uint32_t offset;  // where the next part begins
  std::uint32_t end;
};

// The packed date at bytes[0, 2): true when it is a date. One that cannot
// be is left out and marks the conversion damaged.
bool TakeDate(Conversion* conversion, const unsigned char* bytes, CalendarDate* date);

// A zero-terminated string in a record: its bytes, without the terminator.
struct StoredString {
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  bool present = false;  // found with its terminator and not empty
};

// Finds the string that begins at *offset, before `end`, and moves *offset
// past its terminator. A string that the end cuts off before its terminator
// marks the conversion damaged and is left out; *terminated then is false
// and *offset is `end`.
int FindString(Conversion* conversion, std::uint32_t* offset, std::uint32_t end,
               StoredString* string, bool* terminated);

// Calls `consume(bytes, size)` for the string's bytes, piece by piece as the
// source's chunks hold them; stops at the first result other than kResultOk.
template <typename Consume>
int ForEachPiece(Conversion* conversion, std::uint32_t start, std::uint32_t size,
                 Consume&& consume) {
  std::uint64_t offset = start;
  std::size_t remaining = size;
  while (remaining > 0) {
    const unsigned char* data = nullptr;
    std::size_t got = 0;
    if (int result = ViewSource(conversion, offset, remaining, &data, &got); result != kResultOk) {
      return result;
    }
    if (int result = consume(data, got); result != kResultOk) return result;
    offset += got;
    remaining -= got;
  }
  return kResultOk;
}

}  // namespace ormidal
