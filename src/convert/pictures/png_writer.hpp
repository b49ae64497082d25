// Pictures out as PNG files, through stb_image_write with zlib as its
// compressor.
#pragma once

#include "convert/conversion.hpp"
#include "convert/pictures/image.hpp"

namespace ormidal {

// Writes `image` to the conversion's destination as a PNG of the fewest
// channels that hold it: grey, RGB, or RGBA when a pixel is transparent.
// The image's pixels are packed to those channels in place and are of no
// further use. Returns kResultOk, kResultNoMemory or kResultWriteError.
int WritePng(Conversion* conversion, Image* image);

}  // namespace ormidal
