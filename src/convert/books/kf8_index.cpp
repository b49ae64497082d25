#include "convert/books/kf8_index.hpp"

#include <algorithm>
#include <cstring>

#include "database/byte_order.hpp"
#include "database/extent.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kIndexHeaderFields = 28;  // up to the entry count
constexpr std::uint32_t kMaxDataRecords = 4096;
constexpr int kMaxNumberBytes = 5;
constexpr std::uint8_t kSkeletonFragmentsTag = 1;
constexpr std::uint8_t kPositionTag = 6;

bool HasMagic(const unsigned char* at, const char* magic) { return std::memcmp(at, magic, 4) == 0; }

int BitCount(std::uint8_t value) {
  int bits = 0;
  for (; value != 0; value &= value - 1) ++bits;
  return bits;
}

// One tag's share of an entry, as its control byte states it: a number of
// groups of values, or a number of bytes that hold its values.
struct TagCount {
  std::uint8_t tag;
  std::uint32_t groups;
  std::uint32_t bytes;
  bool byBytes;
  std::uint8_t valuesPerGroup;
};

bool AddValue(IndexEntry* out, std::uint8_t tag, std::uint32_t value) {
  if (out->valueCount == IndexEntry::kMaxValues) return false;
  out->valueTag[out->valueCount] = tag;
  out->value[out->valueCount++] = value;
  return true;
}

// Reads a record of the book's index into `buffer` (the code buffer).
int ReadIndexRecord(OpenedBook* book, std::uint32_t relative, std::size_t* size, bool* ok) {
  *ok = false;
  const ArchiveState& state = *book->conversion->state;
  std::uint64_t record = std::uint64_t{book->layout.base} + relative;
  if (relative == kNotSet || record >= state.recordCount) return kResultOk;
  ByteRange range = RecordRange(state, static_cast<std::uint32_t>(record));
  if (range.clipped || range.size > kCodeBufferSize || range.size < kIndexHeaderFields)
    return kResultOk;
  int result = ReadAt(book->conversion, range.start, book->conversion->codeBuffer, range.size);
  if (result != kResultOk) return result;
  *size = range.size;
  *ok = HasMagic(book->conversion->codeBuffer, "INDX");
  return kResultOk;
}

// Calls visit(entry) for each entry of the index whose meta record is
// `index`, in order, until it returns false. Damage marks the conversion.
template <typename Visit>
int WalkIndex(OpenedBook* book, std::uint32_t index, Visit visit) {
  Conversion* conversion = book->conversion;
  const unsigned char* record = conversion->codeBuffer;
  std::size_t size = 0;
  bool ok = false;
  int result = ReadIndexRecord(book, index, &size, &ok);
  if (result != kResultOk) return result;
  IndexTags tags;
  if (!ok || !ParseIndexTags(record, size, &tags)) {
    conversion->damaged = true;
    return kResultOk;
  }
  std::uint32_t dataRecords = ReadBigEndian32(record + 24);
  if (dataRecords > kMaxDataRecords) {
    conversion->damaged = true;
    dataRecords = kMaxDataRecords;
  }
  for (std::uint32_t data = 1; data <= dataRecords; ++data) {
    result = ReadIndexRecord(book, index + data, &size, &ok);
    if (result != kResultOk) return result;
    std::uint32_t idxt = ok ? ReadBigEndian32(record + 20) : 0;
    std::uint32_t entries = ok ? ReadBigEndian32(record + 24) : 0;
    if (!ok || idxt < kIndexHeaderFields || idxt > size - 4 || !HasMagic(record + idxt, "IDXT") ||
        entries > (size - idxt - 4) / 2) {
      conversion->damaged = true;
      return kResultOk;
    }
    for (std::uint32_t e = 0; e < entries; ++e) {
      std::uint32_t start = ReadBigEndian16(record + idxt + 4 + 2 * e);
      std::uint32_t end = e + 1 < entries ? ReadBigEndian16(record + idxt + 6 + 2 * e) : idxt;
      IndexEntry entry;
      if (start < kIndexHeaderFields || start >= end || end > idxt ||
          !ParseIndexEntry(tags, record + start, end - start, &entry)) {
        conversion->damaged = true;
        return kResultOk;
      }
      if (!visit(entry)) return kResultOk;
    }
  }
  return kResultOk;
}

bool DecimalLabel(const IndexEntry& entry, std::uint32_t* number) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < entry.labelSize; ++i) {
    unsigned char c = entry.label[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > 0xFFFFFFFFu) return false;
  }
  *number = static_cast<std::uint32_t>(value);
  return entry.labelSize > 0;
}

int ReadFlows(OpenedBook* book, Kf8Tables* tables) {
  tables->flowCount = 0;
  const BookHeader& header = book->layout.header;
  const ArchiveState& state = *book->conversion->state;
  std::uint64_t record = std::uint64_t{book->layout.base} + header.fdstRecord;
  if (header.fdstCount <= 1 || header.fdstRecord == kNotSet || record >= state.recordCount)
    return kResultOk;
  ByteRange range = RecordRange(state, static_cast<std::uint32_t>(record));
  unsigned char* fdst = book->conversion->codeBuffer;
  std::size_t size = std::min<std::size_t>(range.size, 12 + 8 * Kf8Tables::kMaxFlows);
  if (size < 12) return kResultOk;
  int result = ReadAt(book->conversion, range.start, fdst, size);
  if (result != kResultOk) return result;
  if (!HasMagic(fdst, "FDST") || ReadBigEndian32(fdst + 4) != 12) return kResultOk;
  std::uint32_t count = ReadBigEndian32(fdst + 8);
  for (std::uint32_t i = 0; i < count && 12 + 8 * (i + 1) <= size; ++i) {
    Kf8Flow flow{ReadBigEndian32(fdst + 12 + 8 * i), ReadBigEndian32(fdst + 16 + 8 * i)};
    if (flow.start > flow.end) {
      book->conversion->damaged = true;
      break;
    }
    tables->flows[tables->flowCount++] = flow;
  }
  return kResultOk;
}

}  // namespace

bool ReadForwardNumber(const unsigned char* data, std::size_t size, std::size_t* at,
                       std::uint32_t* value) {
  std::uint64_t number = 0;
  for (int i = 0; i < kMaxNumberBytes && *at < size; ++i) {
    unsigned char byte = data[(*at)++];
    number = (number << 7) | (byte & 0x7F);
    if (byte & 0x80) {
      if (number > 0xFFFFFFFFu) return false;
      *value = static_cast<std::uint32_t>(number);
      return true;
    }
  }
  return false;
}

bool ParseIndexTags(const unsigned char* record, std::size_t size, IndexTags* tags) {
  tags->count = 0;
  tags->controlBytes = 0;
  std::uint32_t at = ReadBigEndian32(record + 4);
  if (at < kIndexHeaderFields || at > size || size - at < 12 || !HasMagic(record + at, "TAGX"))
    return false;
  std::uint32_t length = ReadBigEndian32(record + at + 4);
  std::uint32_t controlBytes = ReadBigEndian32(record + at + 8);
  if (length < 12 || length > size - at || (length - 12) / 4 > IndexTags::kMaxTags ||
      controlBytes == 0 || controlBytes > 8)
    return false;
  tags->controlBytes = controlBytes;
  std::size_t ends = 0;
  for (std::uint32_t entry = at + 12; entry + 4 <= at + length; entry += 4) {
    const unsigned char* tag = record + entry;
    tags->tags[tags->count++] = {tag[0], tag[1], tag[2], (tag[3] & 1) != 0};
    if (tag[3] & 1) ++ends;
  }
  // Each end flag moves on to the next control byte; there must be one.
  return ends <= controlBytes;
}

bool IndexEntry::Value(std::uint8_t tag, std::size_t n, std::uint32_t* out) const {
  for (std::size_t i = 0; i < valueCount; ++i) {
    if (valueTag[i] != tag) continue;
    if (n-- == 0) {
      *out = value[i];
      return true;
    }
  }
  return false;
}

bool ParseIndexEntry(const IndexTags& tags, const unsigned char* entry, std::size_t size,
                     IndexEntry* out) {
  out->valueCount = 0;
  if (size == 0) return false;
  std::size_t labelSize = entry[0];
  if (labelSize > size - 1 || tags.controlBytes > size - 1 - labelSize) return false;
  out->label = entry + 1;
  out->labelSize = labelSize;
  const unsigned char* control = entry + 1 + labelSize;
  std::size_t at = 1 + labelSize + tags.controlBytes;
  std::size_t controlAt = 0;
  TagCount counts[IndexTags::kMaxTags];
  std::size_t present = 0;
  for (std::size_t t = 0; t < tags.count; ++t) {
    const IndexTag& tag = tags.tags[t];
    if (tag.endsControlByte) {
      ++controlAt;
      continue;
    }
    if (controlAt >= tags.controlBytes || tag.mask == 0) return false;
    std::uint8_t value = control[controlAt] & tag.mask;
    if (value == 0) continue;
    TagCount count{tag.tag, 0, 0, false, tag.valuesPerGroup};
    if (value == tag.mask && BitCount(tag.mask) > 1) {
      count.byBytes = true;
      if (!ReadForwardNumber(entry, size, &at, &count.bytes)) return false;
    } else {
      std::uint8_t mask = tag.mask;
      while ((mask & 1) == 0) {
        mask >>= 1;
        value >>= 1;
      }
      count.groups = value;
    }
    counts[present++] = count;
  }
  for (std::size_t t = 0; t < present; ++t) {
    const TagCount& count = counts[t];
    if (count.byBytes) {
      if (count.bytes > size - at) return false;
      std::size_t end = at + count.bytes;
      while (at < end) {
        std::uint32_t value = 0;
        if (!ReadForwardNumber(entry, end, &at, &value) || !AddValue(out, count.tag, value))
          return false;
      }
      continue;
    }
    std::uint32_t values = count.groups * count.valuesPerGroup;
    for (std::uint32_t v = 0; v < values; ++v) {
      std::uint32_t value = 0;
      if (!ReadForwardNumber(entry, size, &at, &value) || !AddValue(out, count.tag, value))
        return false;
    }
  }
  return true;
}

int ReadKf8Tables(OpenedBook* book, Kf8Tables* tables, bool* usable) {
  tables->skeletonCount = 0;
  tables->fragmentCount = 0;
  *usable = false;
  int result = ReadFlows(book, tables);
  if (result != kResultOk) return result;
  const BookHeader& header = book->layout.header;
  if (!book->layout.kf8 || header.skeletonIndex == kNotSet) return kResultOk;
  *usable = true;
  Conversion* conversion = book->conversion;
  result = WalkIndex(book, header.skeletonIndex, [&](const IndexEntry& entry) {
    Kf8Skeleton skeleton{};
    if (!entry.Value(kSkeletonFragmentsTag, 0, &skeleton.fragments) ||
        !entry.Value(kPositionTag, 0, &skeleton.start) ||
        !entry.Value(kPositionTag, 1, &skeleton.length) ||
        tables->skeletonCount == Kf8Tables::kMaxSkeletons) {
      conversion->damaged = true;
      return false;
    }
    tables->skeletons[tables->skeletonCount++] = skeleton;
    return true;
  });
  if (result != kResultOk || header.fragmentIndex == kNotSet) return result;
  return WalkIndex(book, header.fragmentIndex, [&](const IndexEntry& entry) {
    Kf8Fragment fragment{};
    if (!DecimalLabel(entry, &fragment.insertAt) ||
        !entry.Value(kPositionTag, 1, &fragment.length) ||
        tables->fragmentCount == Kf8Tables::kMaxFragments) {
      conversion->damaged = true;
      return false;
    }
    tables->fragments[tables->fragmentCount++] = fragment;
    return true;
  });
}

}  // namespace ormidal
