#include "convert/pictures/image.hpp"

#include <cstdlib>

namespace ormidal {

Image::~Image() { Release(); }

bool Image::Allocate(std::uint32_t width, std::uint32_t height) {
  Release();
  if (width == 0 || height == 0) return false;
  if (std::uint64_t{width} * height > kMaxPicturePixels) return false;
  pixels_ = static_cast<unsigned char*>(std::calloc(std::size_t{width} * height, 4));
  if (pixels_ == nullptr) return false;
  width_ = width;
  height_ = height;
  return true;
}

void Image::Release() {
  std::free(pixels_);
  pixels_ = nullptr;
  width_ = height_ = 0;
}

bool Image::HasTransparency() const {
  std::size_t count = std::size_t{width_} * height_;
  for (std::size_t i = 0; i < count; ++i) {
    if (pixels_[4 * i + 3] != 0xFF) return true;
  }
  return false;
}

}  // namespace ormidal
