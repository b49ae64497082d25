// Codes the input as text records and checks that the decoder gives every
// record back exactly, and that no code is longer than its stated bound.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "convert/lz77.hpp"
#include "pack/lz77_encoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* encoder = new ormidal::Lz77Encoder();
  static unsigned char code[ormidal::Lz77CodeBound(ormidal::kLz77RecordText)];
  static unsigned char decoded[ormidal::kLz77RecordText + 16];
  for (size_t start = 0; start == 0 || start < size; start += ormidal::kLz77RecordText) {
    size_t piece =
        size - start < ormidal::kLz77RecordText ? size - start : ormidal::kLz77RecordText;
    size_t codeLength = 0;
    if (!ormidal::EncodeLz77Record(encoder, data + start, piece, code, &codeLength)) std::abort();
    if (codeLength > ormidal::Lz77CodeBound(piece)) std::abort();
    size_t produced = 0;
    ormidal::Lz77Result result =
        ormidal::DecodeRecord(code, codeLength, decoded, sizeof decoded, &produced);
    if (result != ormidal::Lz77Result::kComplete || produced != piece) std::abort();
    if (piece > 0 && std::memcmp(decoded, data + start, piece) != 0) std::abort();
  }
  return 0;
}
