// Dated note databases: every record is a packed date, two bytes of its
// own, and the note's text with a terminator; each note becomes one line
// behind its date.

#include <cstdio>

#include "convert/conversion.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::uint32_t kDateSize = 2;
constexpr std::uint32_t kTextOffset = 4;
// The text ends in a terminator that is not part of it.
constexpr std::uint32_t kTerminatorSize = 1;

const unsigned char kLineEnd[] = {'\r', '\n'};

struct NoteDate {
  int day;
  int month;
  int year;
};

NoteDate UnpackDate(std::uint16_t packed) {
  return {packed & 0x1F, (packed >> 5) & 0x0F, (packed >> 9) + 1904};
}

int WriteDateLine(Conversion* conversion, NoteDate date) {
  char line[32];
  int length = std::snprintf(line, sizeof line, "%2d.%2d.%d   ", date.day, date.month, date.year);
  return WriteRaw(conversion, reinterpret_cast<const unsigned char*>(line),
                  static_cast<std::size_t>(length));
}

// A record too short for its date gives nothing; one too short for any
// text gives its date alone.
int ConvertNote(Conversion* conversion, ByteRange record) {
  if (record.clipped) conversion->damaged = true;
  if (record.size < kDateSize) return kResultOk;
  unsigned char packed[kDateSize];
  int result = ReadAt(conversion, record.start, packed, sizeof packed);
  if (result != kResultOk) return result;
  result = WriteDateLine(conversion, UnpackDate(ReadBigEndian16(packed)));
  if (result != kResultOk) return result;
  if (record.size >= kTextOffset + kTerminatorSize) {
    ByteRange text = {record.start + kTextOffset, record.size - kTextOffset - kTerminatorSize,
                      false};
    result = CopyRange(conversion, text, Filtering::kRaw);
    if (result != kResultOk) return result;
  }
  return WriteRaw(conversion, kLineEnd, sizeof kLineEnd);
}

}  // namespace

int ConvertDatedNotes(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  for (std::uint32_t index = 0; index < state.recordCount; ++index) {
    int result = ConvertNote(conversion, RecordRange(state, index));
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace ormidal
