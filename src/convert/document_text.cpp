// Document databases: record 0 says how the text is stored and how many
// records hold it; readers append bookmarks and notes after those records.

#include <algorithm>
#include <cstring>

#include "convert/conversion.hpp"
#include "convert/lz77.hpp"
#include "database/byte_order.hpp"
#include "database/layout.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

struct TextRecords {
  bool known;  // record 0 names the text records; otherwise the old rule holds
  bool compressed;
  std::uint16_t count;
};

int ReadTextRecords(Conversion* conversion, TextRecords* text) {
  const ArchiveState& state = *conversion->state;
  *text = {false, false, 0};
  if (state.recordCount < 2) return kResultOk;
  ByteRange header = RecordRange(state, 0);
  if (header.size < DocumentHeaderRecord::kSize) return kResultOk;
  unsigned char bytes[DocumentHeaderRecord::kSize];
  int result = ReadAt(conversion, header.start, bytes, sizeof bytes);
  if (result != kResultOk) return result;
  std::uint16_t compression = ReadBigEndian16(bytes + DocumentHeaderRecord::kCompressionOffset);
  std::uint16_t count = ReadBigEndian16(bytes + DocumentHeaderRecord::kTextRecordCountOffset);
  bool knownCompression = compression == DocumentHeaderRecord::kUncompressed ||
                          compression == DocumentHeaderRecord::kCompressed;
  if (knownCompression && count >= 1 && count <= state.recordCount - 1) {
    *text = {true, compression == DocumentHeaderRecord::kCompressed, count};
  }
  return kResultOk;
}

// Moves the record's latest output to the front of the decode buffer, where
// the copies of the next codes may reach into it; returns its length.
std::size_t KeepHistory(unsigned char* buffer, std::size_t end) {
  std::size_t keep = std::min(end, kDecodeHistory);
  std::memmove(buffer, buffer + end - keep, keep);
  return keep;
}

// Streams one compressed record through the decoder, so a record of any
// size decodes in the fixed buffers. A damaged code ends the record: what
// was decoded before it is kept.
int DecodeTextRecord(Conversion* conversion, ByteRange range) {
  if (range.clipped) conversion->damaged = true;
  std::uint64_t offset = range.start;
  std::size_t remaining = range.size;
  std::size_t pending = 0;  // codes not yet decoded, at the front of codeBuffer
  std::size_t history = 0;  // output kept for copies, at the front of decodeBuffer
  while (remaining > 0 || pending > 0) {
    std::size_t piece = std::min(kCodeBufferSize - pending, remaining);
    int result = ReadAt(conversion, offset, conversion->codeBuffer + pending, piece);
    if (result != kResultOk) return result;
    offset += piece;
    remaining -= piece;
    pending += piece;
    Lz77Progress progress = DecodeLz77({conversion->codeBuffer, pending, remaining == 0,
                                        conversion->decodeBuffer, history, kDecodeBufferSize});
    result =
        WriteFiltered(conversion, conversion->decodeBuffer + history, progress.outEnd - history);
    if (result != kResultOk) return result;
    if (progress.result == Lz77Result::kDamaged) {
      conversion->damaged = true;
      return kResultOk;
    }
    history = KeepHistory(conversion->decodeBuffer, progress.outEnd);
    pending -= progress.consumed;
    std::memmove(conversion->codeBuffer, conversion->codeBuffer + progress.consumed, pending);
  }
  return kResultOk;
}

// Uncompressed records that follow one another in the file are one stretch
// of text: they are copied in one go, not a record at a time.
int CopyTextRecords(Conversion* conversion, const TextRecords& text) {
  for (std::uint32_t index = 1; index <= text.count;) {
    ByteRange stretch = RecordRange(*conversion->state, index++);
    for (; index <= text.count; ++index) {
      ByteRange next = RecordRange(*conversion->state, index);
      if (next.start != stretch.start + stretch.size) break;
      stretch.size += next.size;
      stretch.clipped = stretch.clipped || next.clipped;
    }
    if (int result = CopyRange(conversion, stretch, Filtering::kText); result != kResultOk) {
      return result;
    }
  }
  return kResultOk;
}

int ConvertTextRecords(Conversion* conversion, const TextRecords& text) {
  if (!text.compressed) return CopyTextRecords(conversion, text);
  for (std::uint32_t index = 1; index <= text.count; ++index) {
    int result = DecodeTextRecord(conversion, RecordRange(*conversion->state, index));
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace

int ConvertDocumentText(Conversion* conversion) {
  TextRecords text;
  int result = ReadTextRecords(conversion, &text);
  if (result != kResultOk) return result;
  if (text.known) return ConvertTextRecords(conversion, text);
  return CopyRange(conversion, TextRange(*conversion->state), Filtering::kText);
}

}  // namespace ormidal
