// Decodes the input as one LZ77 text record, whole and in small pieces, and
// checks both ways give the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert/lz77.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> whole(8 * size + 1);
  size_t produced = 0;
  ormidal::Lz77Result result =
      ormidal::DecodeRecord(data, size, whole.data(), whole.size(), &produced);
  if (produced > 8 * size) std::abort();
  if (result == ormidal::Lz77Result::kOutputFull) std::abort();

  // Again through DecodeLz77 with the input fed a few bytes at a time.
  std::vector<unsigned char> pieces(8 * size + ormidal::kLz77MaxCodeOutput + 1);
  size_t consumed = 0;
  size_t outEnd = 0;
  const size_t step = size % 7 + 1;
  while (true) {
    size_t available = size - consumed < step + ormidal::kLz77MaxCodeLength
                           ? size - consumed
                           : step + ormidal::kLz77MaxCodeLength;
    ormidal::Lz77Block block{data + consumed, available, consumed + available == size,
                             pieces.data(),   outEnd,    pieces.size()};
    ormidal::Lz77Progress progress = ormidal::DecodeLz77(block);
    if (progress.consumed > available || progress.outEnd > pieces.size()) std::abort();
    consumed += progress.consumed;
    outEnd = progress.outEnd;
    if (progress.result == ormidal::Lz77Result::kDamaged ||
        progress.result == ormidal::Lz77Result::kOutputFull)
      break;
    if (consumed == size) break;
    if (progress.consumed == 0 && progress.result == ormidal::Lz77Result::kNeedInput &&
        block.endsRecord)
      std::abort();
  }
  if (outEnd != produced || std::memcmp(pieces.data(), whole.data(), produced) != 0) std::abort();
  return 0;
}
