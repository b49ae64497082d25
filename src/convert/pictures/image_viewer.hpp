// Image Viewer pictures (type "vIMG", creator "View"): record 0 is a
// 58-byte header and the pixels, mono or 2 or 4 bits of grey, plain or
// run-length compressed.
#pragma once

#include <cstddef>

#include "convert/pictures/image.hpp"
#include "convert/pictures/palm_bitmap.hpp"

namespace ormidal {

// Decodes the picture in `record` (record 0's bytes) into `image`.
BitmapResult DecodeImageViewerPicture(const unsigned char* record, std::size_t size, Image* image);

}  // namespace ormidal
