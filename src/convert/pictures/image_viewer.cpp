#include "convert/pictures/image_viewer.hpp"

#include <cstdint>
#include <cstring>
#include <new>

#include "database/byte_order.hpp"

namespace ormidal {
namespace {

constexpr std::size_t kHeaderSize = 58;
constexpr std::size_t kVersionOffset = 32;
constexpr std::size_t kTypeOffset = 33;
constexpr std::size_t kWidthOffset = 54;
constexpr std::size_t kHeightOffset = 56;
constexpr unsigned kCompressionMask = 0x07;
constexpr unsigned kRunLength = 1;
// A run of two bytes makes at most 128.
constexpr std::uint64_t kMaxExpansion = 64;

int DepthOfType(unsigned type) {
  if (type == 0) return 2;
  if (type == 2) return 4;
  return 1;  // 0xFF, and what readers make of any other value
}

// Control c above 0x80 repeats the next byte c - 127 times; c up to 0x80
// brings the next c + 1 bytes as they are. Runs go across rows; bytes after
// the picture are left alone.
bool ExpandRuns(const unsigned char* in, std::size_t inSize, unsigned char* out,
                std::size_t outSize) {
  std::size_t at = 0, filled = 0;
  while (filled < outSize) {
    if (at >= inSize) return false;
    unsigned control = in[at++];
    std::size_t count = control > 0x80 ? control - 127 : control + 1;
    if (count > outSize - filled) count = outSize - filled;
    if (control > 0x80) {
      if (at >= inSize) return false;
      std::memset(out + filled, in[at++], count);
    } else {
      if (count > inSize - at) return false;
      std::memcpy(out + filled, in + at, count);
      at += count;
    }
    filled += count;
  }
  return true;
}

// Value 0 is white and the highest black, in even steps.
void ConvertPixels(const unsigned char* packed, std::size_t rowBytes, int depth, Image* image) {
  std::uint32_t width = image->Width();
  unsigned levels = (1u << depth) - 1;
  for (std::uint32_t y = 0; y < image->Height(); ++y) {
    unsigned char* out = image->Row(y);
    std::size_t bit = y * rowBytes * 8;
    for (std::uint32_t x = 0; x < width; ++x, out += 4, bit += static_cast<std::size_t>(depth)) {
      unsigned shift = 8 - static_cast<unsigned>(depth) - (bit & 7);
      unsigned value = (packed[bit >> 3] >> shift) & levels;
      std::memset(out, static_cast<int>(255 - value * 255 / levels), 3);
      out[3] = 0xFF;
    }
  }
}

}  // namespace

BitmapResult DecodeImageViewerPicture(const unsigned char* record, std::size_t size, Image* image) {
  if (size < kHeaderSize) return BitmapResult::kDamaged;
  int depth = DepthOfType(record[kTypeOffset]);
  std::uint32_t width = ReadBigEndian16(record + kWidthOffset);
  std::uint32_t height = ReadBigEndian16(record + kHeightOffset);
  if (width == 0 || height == 0 || std::uint64_t{width} * height > kMaxPicturePixels) {
    return BitmapResult::kDamaged;
  }
  // Rows are whole bytes: writers make the width a multiple of 16.
  std::size_t rowBytes = (std::size_t{width} * static_cast<std::size_t>(depth) + 7) / 8;
  std::size_t pixelBytes = rowBytes * height;
  const unsigned char* data = record + kHeaderSize;
  std::size_t dataSize = size - kHeaderSize;
  // The version's low bits name the compression; a writer that left them
  // clear but stored fewer bytes than the picture has compressed it.
  bool compressed =
      (record[kVersionOffset] & kCompressionMask) == kRunLength || dataSize < pixelBytes;
  if (compressed && pixelBytes > dataSize * kMaxExpansion) return BitmapResult::kDamaged;
  unsigned char* expanded = nullptr;
  if (compressed) {
    expanded = new (std::nothrow) unsigned char[pixelBytes];
    if (expanded == nullptr) return BitmapResult::kNoMemory;
    if (!ExpandRuns(data, dataSize, expanded, pixelBytes)) {
      delete[] expanded;
      return BitmapResult::kDamaged;
    }
    data = expanded;
  }
  BitmapResult result = BitmapResult::kNoMemory;
  if (image->Allocate(width, height)) {
    ConvertPixels(data, rowBytes, depth, image);
    result = BitmapResult::kOk;
  }
  delete[] expanded;
  return result;
}

}  // namespace ormidal
