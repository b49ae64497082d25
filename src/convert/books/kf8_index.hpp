// The indexes of a KF8 book: a meta INDX record with its tag table (TAGX),
// data INDX records whose entries the IDXT block locates, each entry a
// label and tag values coded as forward variable-length numbers. The
// skeleton index gives each part's skeleton in flow 0, the fragment index
// the pieces inserted into it. Every offset, count and number is checked
// against the record that holds it; the tables are of fixed size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/books/book_reader.hpp"

namespace ormidal {

// 7 bits a byte, most significant first, the last byte marked by its top
// bit. False when it does not end within data[*at, size) or exceeds 32 bits.
bool ReadForwardNumber(const unsigned char* data, std::size_t size, std::size_t* at,
                       std::uint32_t* value);

struct IndexTag {
  std::uint8_t tag;
  std::uint8_t valuesPerGroup;
  std::uint8_t mask;
  bool endsControlByte;
};

struct IndexTags {
  static constexpr std::size_t kMaxTags = 32;
  IndexTag tags[kMaxTags];
  std::size_t count;
  std::size_t controlBytes;
};

// Reads the tag table of a meta INDX record.
bool ParseIndexTags(const unsigned char* record, std::size_t size, IndexTags* tags);

struct IndexEntry {
  static constexpr std::size_t kMaxValues = 32;
  const unsigned char* label;
  std::size_t labelSize;
  std::size_t valueCount;
  std::uint8_t valueTag[kMaxValues];  // the tag each value belongs to
  std::uint32_t value[kMaxValues];
  // The `n`-th value of `tag`; false when the entry has no such value.
  bool Value(std::uint8_t tag, std::size_t n, std::uint32_t* out) const;
};

// Decodes one entry (label length, label, control bytes, values) of
// exactly `size` bytes.
bool ParseIndexEntry(const IndexTags& tags, const unsigned char* entry, std::size_t size,
                     IndexEntry* out);

struct Kf8Skeleton {
  std::uint32_t start;   // in flow 0
  std::uint32_t length;  // of the skeleton alone
  std::uint32_t fragments;
};

struct Kf8Fragment {
  std::uint32_t insertAt;  // position in the rebuilt text
  std::uint32_t length;
};

struct Kf8Flow {
  std::uint32_t start;
  std::uint32_t end;
};

struct Kf8Tables {
  static constexpr std::size_t kMaxSkeletons = 16 * 1024;
  static constexpr std::size_t kMaxFragments = 64 * 1024;
  static constexpr std::size_t kMaxFlows = 256;
  std::size_t skeletonCount;
  std::size_t fragmentCount;
  std::size_t flowCount;
  Kf8Skeleton skeletons[kMaxSkeletons];
  Kf8Fragment fragments[kMaxFragments];
  Kf8Flow flows[kMaxFlows];
};

// Reads the flow table and the skeleton and fragment indexes of a KF8
// book. kResultOk with *usable false when the book has no skeleton index
// (its flow 0 is then the text as stored); damage to the indexes marks the
// conversion damaged and keeps the entries read before it.
int ReadKf8Tables(OpenedBook* book, Kf8Tables* tables, bool* usable);

}  // namespace ormidal
