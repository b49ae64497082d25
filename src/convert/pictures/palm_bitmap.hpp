// Palm bitmaps, as application resources and picture files hold them: a
// family of one or more members of versions 0 to 3, each 1, 2, 4, 8 or 16
// bits per pixel, with the system palettes or a colour table of its own,
// uncompressed or compressed by scanline, RLE or PackBits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/pictures/image.hpp"

namespace ormidal {

enum class BitmapResult {
  kOk,
  kDamaged,  // no member decodes: not a picture
  kNoMemory,
};

// Decodes the richest member of the family in `bytes` (the highest
// density, then the greatest depth; a member that does not decode gives way
// to the next) into `image`. Nothing outside the `size` bytes is read.
BitmapResult DecodeBitmapFamily(const unsigned char* bytes, std::size_t size, Image* image);

// Whether some member of the family decodes, found by running the decoder
// without keeping pixels.
bool BitmapFamilyDecodes(const unsigned char* bytes, std::size_t size);

}  // namespace ormidal
