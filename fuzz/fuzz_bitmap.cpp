// Decodes the input as a Palm bitmap family and, apart, as an Image Viewer
// picture record, keeping the pixels: every header field, colour table,
// compressed stream and family chain a damaged file can hold.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "convert/pictures/image_viewer.hpp"
#include "convert/pictures/palm_bitmap.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact copy, so that any read past the input shows.
  std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  ormidal::Image image;
  ormidal::BitmapResult bitmap = ormidal::DecodeBitmapFamily(copy.get(), size, &image);
  bool decodes = ormidal::BitmapFamilyDecodes(copy.get(), size);
  // The check without pixels and the decoding must agree.
  if ((bitmap == ormidal::BitmapResult::kOk) != decodes) std::abort();
  if (bitmap == ormidal::BitmapResult::kOk &&
      std::uint64_t{image.Width()} * image.Height() > ormidal::kMaxPicturePixels) {
    std::abort();
  }
  ormidal::Image picture;
  ormidal::DecodeImageViewerPicture(copy.get(), size, &picture);
  return 0;
}
