// Where a record lies. A record runs from its own offset to the next
// record's offset, the last one to the end of the file, in unsigned 32-bit
// arithmetic; a damaged database can make that range wrap around or reach
// past the end of the file, so every range is clipped to the bytes the file
// holds before it is used.
#pragma once

#include <cstdint>

#include "database/archive_state.hpp"

namespace ormidal {

struct ByteRange {
  std::uint32_t start;
  std::uint32_t size;
  bool clipped;  // the stated range reached past the end of the file
};

// The range [start, start + size) cut to [0, fileSize).
inline ByteRange ClipToFile(std::uint32_t start, std::uint32_t size, std::uint32_t fileSize) {
  if (start >= fileSize) return {fileSize, 0, size != 0};
  std::uint32_t available = fileSize - start;
  if (size > available) return {start, available, true};
  return {start, size, false};
}

// Record `index`'s stated size, as the record list gives it (may wrap).
inline std::uint32_t StatedRecordSize(const ArchiveState& state, std::uint32_t index) {
  std::uint32_t next =
      index + 1 < state.recordCount ? state.recordOffsets[index + 1] : state.fileSize;
  return next - state.recordOffsets[index];
}

// Record `index` (below recordCount) clipped to the file.
inline ByteRange RecordRange(const ArchiveState& state, std::uint32_t index) {
  return ClipToFile(state.recordOffsets[index], StatedRecordSize(state, index), state.fileSize);
}

// All record data: from record 0 to the end of the file.
inline ByteRange AllRecordsRange(const ArchiveState& state) {
  return ClipToFile(state.recordOffsets[0], state.fileSize - state.recordOffsets[0],
                    state.fileSize);
}

}  // namespace ormidal
