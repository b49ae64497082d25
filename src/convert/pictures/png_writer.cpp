#include "convert/pictures/png_writer.hpp"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "database/result.hpp"

namespace ormidal {
namespace {

// stb_image_write's compressor: a zlib stream in a block of malloc's that
// the writer frees; null when memory runs out.
unsigned char* ZlibCompress(unsigned char* data, int size, int* outSize, int quality) {
  if (size < 0) return nullptr;
  uLong bound = compressBound(static_cast<uLong>(size));
  unsigned char* out = static_cast<unsigned char*>(std::malloc(bound));
  if (out == nullptr) return nullptr;
  uLongf length = bound;
  int level = quality < 1 ? 1 : quality > 9 ? 9 : quality;
  if (compress2(out, &length, data, static_cast<uLong>(size), level) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outSize = static_cast<int>(length);
  return out;
}

}  // namespace
}  // namespace ormidal

#define STBIW_ZLIB_COMPRESS ormidal::ZlibCompress
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace ormidal {
namespace {

enum Channels : int { kGrey = 1, kRgb = 3, kRgba = 4 };

Channels ChannelsOf(const Image& image) {
  bool grey = true;
  std::size_t count = std::size_t{image.Width()} * image.Height();
  const unsigned char* pixel = image.Pixels();
  for (std::size_t i = 0; i < count; ++i, pixel += 4) {
    if (pixel[3] != 0xFF) return kRgba;
    if (pixel[0] != pixel[1] || pixel[1] != pixel[2]) grey = false;
  }
  return grey ? kGrey : kRgb;
}

// Keeps the first `channels` bytes of every pixel, packed from the start.
void PackPixels(Image* image, Channels channels) {
  if (channels == kRgba) return;
  std::size_t count = std::size_t{image->Width()} * image->Height();
  unsigned char* pixels = image->Row(0);
  for (std::size_t i = 0; i < count; ++i) {
    std::memmove(pixels + i * channels, pixels + i * 4, static_cast<std::size_t>(channels));
  }
}

struct PngSink {
  Conversion* conversion;
  int result;
};

void WriteToSink(void* context, void* data, int size) {
  PngSink* sink = static_cast<PngSink*>(context);
  if (sink->result != kResultOk || size <= 0) return;
  sink->result = WriteRaw(sink->conversion, static_cast<const unsigned char*>(data),
                          static_cast<std::size_t>(size));
}

}  // namespace

int WritePng(Conversion* conversion, Image* image) {
  // zlib's own default. Measured on two pictures of a million pixels, the
  // writer's level 8 took about four times as long for files a quarter smaller.
  stbi_write_png_compression_level = 6;
  Channels channels = ChannelsOf(*image);
  PackPixels(image, channels);
  PngSink sink{conversion, kResultOk};
  int width = static_cast<int>(image->Width());
  int height = static_cast<int>(image->Height());
  // The writer fails only when it cannot take memory.
  if (stbi_write_png_to_func(WriteToSink, &sink, width, height, channels, image->Pixels(),
                             width * channels) == 0) {
    return kResultNoMemory;
  }
  return sink.result;
}

}  // namespace ormidal
