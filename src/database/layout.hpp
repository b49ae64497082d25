// The Palm database file layout: a 78-byte header, `recordCount` 8-byte
// record entries, then the records' bytes. Offsets are from the start of the
// file; all numbers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

namespace DatabaseHeader {
inline constexpr std::size_t kSize = 78;
inline constexpr std::size_t kNameOffset = 0;
inline constexpr std::size_t kNameSize = 32;
inline constexpr std::size_t kAttributesOffset = 32;
inline constexpr std::size_t kVersionOffset = 34;
inline constexpr std::size_t kCreationTimeOffset = 36;
inline constexpr std::size_t kModificationTimeOffset = 40;
inline constexpr std::size_t kTypeOffset = 60;
inline constexpr std::size_t kCreatorOffset = 64;
inline constexpr std::size_t kRecordCountOffset = 76;
}  // namespace DatabaseHeader

namespace RecordEntry {
inline constexpr std::size_t kSize = 8;
inline constexpr std::size_t kOffsetOffset = 0;
inline constexpr std::size_t kAttributesOffset = 4;
inline constexpr std::size_t kUniqueIdOffset = 5;
}  // namespace RecordEntry

// Record 0 of a document database.
namespace DocumentHeaderRecord {
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kCompressionOffset = 0;
inline constexpr std::size_t kSpareOffset = 2;
inline constexpr std::size_t kTextLengthOffset = 4;
inline constexpr std::size_t kTextRecordCountOffset = 8;
inline constexpr std::size_t kRecordSizeOffset = 10;
inline constexpr std::size_t kPositionOffset = 12;
inline constexpr std::uint16_t kUncompressed = 1;
inline constexpr std::uint16_t kCompressed = 2;
inline constexpr std::uint16_t kTextRecordSize = 4096;
}  // namespace DocumentHeaderRecord

inline constexpr std::size_t kMaxRecords = 65535;
inline constexpr std::size_t kCodeSize = 4;

}  // namespace ormidal
