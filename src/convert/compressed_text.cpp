// Compressed text databases: one zlib stream from record 1 on, often made of
// one full-flush block per record, followed by the reader's bookmarks.

#include <zlib.h>

#include <algorithm>

#include "convert/adler32.hpp"
#include "convert/conversion.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// The check that ends a zlib stream, four bytes before `end`, against the
// check of what was inflated.
int CheckStreamEnd(Conversion* conversion, std::uint64_t end, std::uint32_t check) {
  unsigned char stored[4];
  if (end < sizeof stored) return kResultReadError;
  int result = ReadAt(conversion, end - sizeof stored, stored, sizeof stored);
  if (result != kResultOk) return result;
  if (ReadBigEndian32(stored) != check) conversion->damaged = true;
  return kResultOk;
}

// The stream is inflated chunk by chunk, however far it expands, and ends at
// its own end marker: what follows it is not text. A damaged stream, or one
// that stops before its end marker, gives what was inflated up to there.
// zlib is told not to compute the check (its loop is slow); it is computed
// here and compared at the end, with the same outcome.
int InflateRange(Conversion* conversion, z_stream* stream, ByteRange range) {
  std::uint64_t offset = range.start;
  std::size_t remaining = range.size;
  std::uint32_t check = kAdler32Start;
  for (;;) {
    if (stream->avail_in == 0 && remaining > 0) {
      const unsigned char* data = nullptr;
      std::size_t got = 0;
      int result = ViewSource(conversion, offset, remaining, &data, &got);
      if (result != kResultOk) return result;
      offset += got;
      remaining -= got;
      // zlib reads its input without changing it, though its type says otherwise.
      stream->next_in = const_cast<unsigned char*>(data);
      stream->avail_in = static_cast<uInt>(got);
    }
    stream->next_out = conversion->decodeBuffer;
    stream->avail_out = static_cast<uInt>(kDecodeBufferSize);
    int status = inflate(stream, Z_NO_FLUSH);
    std::size_t produced = kDecodeBufferSize - stream->avail_out;
    check = UpdateAdler32(check, conversion->decodeBuffer, produced);
    int result = WriteFiltered(conversion, conversion->decodeBuffer, produced);
    if (result != kResultOk) return result;
    // The stream, its check included, ends where zlib stopped reading.
    if (status == Z_STREAM_END) return CheckStreamEnd(conversion, offset - stream->avail_in, check);
    bool inputLeft = stream->avail_in > 0 || remaining > 0;
    if (status == Z_MEM_ERROR) return kResultNoMemory;
    if (status != Z_OK && status != Z_BUF_ERROR) break;  // damaged, or needs a dictionary
    if (status == Z_BUF_ERROR && !inputLeft) break;      // cut off before its end
  }
  conversion->damaged = true;
  return kResultOk;
}

}  // namespace

int ConvertCompressedText(Conversion* conversion) {
  ByteRange range = TextRange(*conversion->state);
  if (range.clipped) conversion->damaged = true;
  z_stream stream{};
  int status = inflateInit(&stream);
  if (status != Z_OK) return status == Z_MEM_ERROR ? kResultNoMemory : kResultBadData;
  inflateValidate(&stream, 0);
  int result = InflateRange(conversion, &stream, range);
  inflateEnd(&stream);
  return result;
}

}  // namespace ormidal
