#include "database/recognition.hpp"

#include "database/byte_order.hpp"
#include "database/layout.hpp"
#include "platform/platform.hpp"

namespace ormidal {
namespace {

// Attribute bit of a resource database, whose list entries are 10 bytes:
// type, ID, offset.
constexpr std::uint16_t kResourceDatabase = 0x0001;
constexpr std::size_t kResourceEntrySize = 10;
constexpr std::size_t kResourceOffsetOffset = 6;
constexpr std::size_t kAppInfoOffset = 52;
constexpr std::size_t kSortInfoOffset = 56;

bool IsTerminatedName(const unsigned char* name) {
  for (std::size_t i = 0; i < DatabaseHeader::kNameSize; ++i) {
    if (name[i] == 0) return true;
    if (name[i] < 0x20 || name[i] == 0x7F) return false;
  }
  return false;
}

bool IsPrintableCode(const unsigned char* code) {
  for (std::size_t i = 0; i < kCodeSize; ++i) {
    if (code[i] < 0x20 || code[i] > 0x7E) return false;
  }
  return true;
}

struct ListShape {
  std::size_t entrySize;
  std::size_t offsetField;
  std::uint32_t count;
  std::uint64_t end;  // the first byte after the list
};

ListShape ShapeOf(const unsigned char* header) {
  ListShape shape;
  bool resources =
      (ReadBigEndian16(header + DatabaseHeader::kAttributesOffset) & kResourceDatabase) != 0;
  shape.entrySize = resources ? kResourceEntrySize : RecordEntry::kSize;
  shape.offsetField = resources ? kResourceOffsetOffset : RecordEntry::kOffsetOffset;
  shape.count = ReadBigEndian16(header + DatabaseHeader::kRecordCountOffset);
  shape.end = DatabaseHeader::kSize + std::uint64_t{shape.count} * shape.entrySize;
  return shape;
}

// An information block is optional (0); one that is given lies behind the
// list and within the file.
bool IsPlausibleBlock(std::uint32_t offset, const ListShape& shape, std::uint64_t fileSize) {
  return offset == 0 || (offset >= shape.end && offset <= fileSize);
}

bool IsPlausibleHeader(const unsigned char* header, const ListShape& shape,
                       std::uint64_t fileSize) {
  return IsTerminatedName(header + DatabaseHeader::kNameOffset) &&
         IsPrintableCode(header + DatabaseHeader::kTypeOffset) &&
         IsPrintableCode(header + DatabaseHeader::kCreatorOffset) && shape.end <= fileSize &&
         IsPlausibleBlock(ReadBigEndian32(header + kAppInfoOffset), shape, fileSize) &&
         IsPlausibleBlock(ReadBigEndian32(header + kSortInfoOffset), shape, fileSize);
}

// Walks list entries, each offset at or after the one before it, behind the
// list and at most the file's end (an empty last record starts there).
class OffsetCheck {
 public:
  OffsetCheck(const ListShape& shape, std::uint64_t fileSize)
      : shape_(shape), fileSize_(fileSize), previous_(shape.end) {}

  bool Entries(const unsigned char* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t offset = ReadBigEndian32(entries + i * shape_.entrySize + shape_.offsetField);
      if (offset < previous_ || offset > fileSize_) return false;
      previous_ = offset;
    }
    return true;
  }

 private:
  const ListShape& shape_;
  std::uint64_t fileSize_;
  std::uint64_t previous_;
};

}  // namespace

bool LooksLikeDatabase(const unsigned char* bytes, std::size_t size, std::uint64_t fileSize) {
  if (size < DatabaseHeader::kSize || fileSize < size) return false;
  ListShape shape = ShapeOf(bytes);
  if (!IsPlausibleHeader(bytes, shape, fileSize) || size < shape.end) return false;
  OffsetCheck check(shape, fileSize);
  return check.Entries(bytes + DatabaseHeader::kSize, shape.count);
}

bool FileLooksLikeDatabase(const char* path) {
  platform::File file = platform::OpenForReading(path);
  if (!file.IsOpen()) return false;
  std::uint64_t fileSize = 0;
  unsigned char header[DatabaseHeader::kSize] = {};
  bool plausible = platform::SizeOf(file, &fileSize) && fileSize >= sizeof header &&
                   platform::Read(file, header, sizeof header) == sizeof header;
  ListShape shape = ShapeOf(header);
  plausible = plausible && IsPlausibleHeader(header, shape, fileSize);
  // The list is read in batches, so the buffer stays the same whatever the count.
  constexpr std::size_t kBatch = 512;
  unsigned char entries[kBatch * kResourceEntrySize];
  OffsetCheck check(shape, fileSize);
  for (std::uint32_t left = plausible ? shape.count : 0; left > 0 && plausible;) {
    std::size_t batch = left < kBatch ? left : kBatch;
    std::size_t bytes = batch * shape.entrySize;
    plausible = platform::Read(file, entries, bytes) == static_cast<std::int64_t>(bytes) &&
                check.Entries(entries, batch);
    left -= static_cast<std::uint32_t>(batch);
  }
  platform::Close(&file);
  return plausible;
}

}  // namespace ormidal
