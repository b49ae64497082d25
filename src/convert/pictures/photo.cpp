// Photo databases: every record is an 8-byte prefix and a piece of the
// picture; the pieces in record order are the picture file.

#include "convert/conversion.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::uint32_t kPhotoPrefixSize = 8;

// The record without its prefix; a record too short to hold the prefix
// holds no picture.
ByteRange PayloadOf(ByteRange record) {
  if (record.size <= kPhotoPrefixSize) return {record.start, 0, record.clipped};
  return {record.start + kPhotoPrefixSize, record.size - kPhotoPrefixSize, record.clipped};
}

}  // namespace

int ConvertPhoto(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  for (std::uint32_t index = 0; index < state.recordCount; ++index) {
    int result = CopyRange(conversion, PayloadOf(RecordRange(state, index)), Filtering::kRaw);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace ormidal
