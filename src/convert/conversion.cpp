#include "convert/conversion.hpp"

#include <cstring>

#include "convert/text_filter.hpp"
#include "database/result.hpp"

namespace ormidal {

int Flush(Conversion* conversion) {
  if (conversion->written == 0) return kResultOk;
  std::size_t size = conversion->written;
  bool ok = platform::WriteAll(conversion->destination, conversion->writeBuffer, size);
  conversion->written = 0;
  if (!ok) return kResultWriteError;
  return ReportWritten(conversion->progress, size) ? kResultOk : kResultAborted;
}

namespace {

// Makes room for `size` more bytes (at most kWriteBufferSize) in the buffer.
int Reserve(Conversion* conversion, std::size_t size) {
  if (kWriteBufferSize - conversion->written >= size) return kResultOk;
  return Flush(conversion);
}

}  // namespace

int WriteRaw(Conversion* conversion, const unsigned char* bytes, std::size_t size) {
  while (size > 0) {
    std::size_t piece = size < kWriteBufferSize ? size : kWriteBufferSize;
    if (int result = Reserve(conversion, piece); result != kResultOk) return result;
    std::memcpy(conversion->writeBuffer + conversion->written, bytes, piece);
    conversion->written += piece;
    bytes += piece;
    size -= piece;
  }
  return kResultOk;
}

int WriteFiltered(Conversion* conversion, const unsigned char* bytes, std::size_t size) {
  // The filter writes at most twice its input: each piece is as much as
  // surely fits the room left, so the buffer goes out nearly full.
  constexpr std::size_t kLeastRoom = 8 * 1024;
  while (size > 0) {
    if (int result = Reserve(conversion, kLeastRoom); result != kResultOk) return result;
    std::size_t half = (kWriteBufferSize - conversion->written) / 2;
    std::size_t piece = size < half ? size : half;
    conversion->written +=
        ExpandLineEnds(bytes, piece, conversion->writeBuffer + conversion->written);
    bytes += piece;
    size -= piece;
  }
  return kResultOk;
}

namespace {

int SeekSource(Conversion* conversion, std::uint64_t offset) {
  if (conversion->sourcePositionKnown && conversion->sourcePosition == offset) return kResultOk;
  conversion->sourcePositionKnown = false;
  if (!platform::SeekTo(conversion->source, offset)) return kResultReadError;
  conversion->sourcePosition = offset;
  conversion->sourcePositionKnown = true;
  return kResultOk;
}

// Reads the chunk that starts at `offset`, as far as the file size allows.
int FillReadBuffer(Conversion* conversion, std::uint64_t offset) {
  conversion->readLength = 0;
  std::uint64_t fileSize = conversion->state->fileSize;
  if (offset >= fileSize) return kResultReadError;
  std::uint64_t left = fileSize - offset;
  std::size_t want = left < kReadChunk ? static_cast<std::size_t>(left) : kReadChunk;
  if (int result = SeekSource(conversion, offset); result != kResultOk) return result;
  std::size_t have = 0;
  while (have < want) {
    std::int64_t got =
        platform::Read(conversion->source, conversion->readBuffer + have, want - have);
    if (got <= 0) {
      conversion->sourcePositionKnown = false;
      return kResultReadError;
    }
    have += static_cast<std::size_t>(got);
  }
  conversion->readStart = offset;
  conversion->readLength = have;
  conversion->sourcePosition = offset + have;
  return kResultOk;
}

bool IsBuffered(const Conversion& conversion, std::uint64_t offset) {
  return offset >= conversion.readStart && offset - conversion.readStart < conversion.readLength;
}

}  // namespace

int ViewSource(Conversion* conversion, std::uint64_t offset, std::size_t want,
               const unsigned char** data, std::size_t* got) {
  *got = 0;
  if (want == 0) return kResultOk;
  if (!IsBuffered(*conversion, offset)) {
    if (int result = FillReadBuffer(conversion, offset); result != kResultOk) return result;
  }
  std::size_t at = static_cast<std::size_t>(offset - conversion->readStart);
  std::size_t available = conversion->readLength - at;
  *data = conversion->readBuffer + at;
  *got = want < available ? want : available;
  return kResultOk;
}

int ReadAt(Conversion* conversion, std::uint64_t offset, unsigned char* buffer, std::size_t size) {
  while (size > 0) {
    const unsigned char* data = nullptr;
    std::size_t got = 0;
    if (int result = ViewSource(conversion, offset, size, &data, &got); result != kResultOk) {
      return result;
    }
    std::memcpy(buffer, data, got);
    buffer += got;
    offset += got;
    size -= got;
  }
  return kResultOk;
}

int ReadBeside(Conversion* conversion, std::uint64_t offset, unsigned char* buffer,
               std::size_t size) {
  if (size == 0) return kResultOk;
  if (IsBuffered(*conversion, offset) &&
      conversion->readLength - (offset - conversion->readStart) >= size) {
    return ReadAt(conversion, offset, buffer, size);
  }
  if (offset > conversion->state->fileSize || conversion->state->fileSize - offset < size) {
    return kResultReadError;
  }
  if (int result = SeekSource(conversion, offset); result != kResultOk) return result;
  std::size_t have = 0;
  while (have < size) {
    std::int64_t got = platform::Read(conversion->source, buffer + have, size - have);
    if (got <= 0) {
      conversion->sourcePositionKnown = false;
      return kResultReadError;
    }
    have += static_cast<std::size_t>(got);
  }
  conversion->sourcePosition = offset + have;
  return kResultOk;
}

int CopyRange(Conversion* conversion, ByteRange range, Filtering filtering) {
  if (range.clipped) conversion->damaged = true;
  std::uint64_t offset = range.start;
  std::size_t remaining = range.size;
  while (remaining > 0) {
    const unsigned char* data = nullptr;
    std::size_t got = 0;
    int result = ViewSource(conversion, offset, remaining, &data, &got);
    if (result != kResultOk) return result;
    result = filtering == Filtering::kText ? WriteFiltered(conversion, data, got)
                                           : WriteRaw(conversion, data, got);
    if (result != kResultOk) return result;
    offset += got;
    remaining -= got;
  }
  return kResultOk;
}

ByteRange TextRange(const ArchiveState& state) {
  if (state.recordCount < 2) return ClipToFile(0, state.fileSize, state.fileSize);
  std::uint32_t start = state.recordOffsets[1];
  return ClipToFile(start, state.fileSize - start, state.fileSize);
}

}  // namespace ormidal
