// A decoded picture: 8-bit RGBA pixels, rows top to bottom, in one block
// sized from dimensions the decoders have checked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

// Larger pictures are refused as damaged: no handheld made one, and their
// pixels alone would take more memory than a 32-bit host can spare.
inline constexpr std::uint64_t kMaxPicturePixels = 16u * 1024 * 1024;

class Image {
 public:
  Image() = default;
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Takes a zero-filled block for width x height pixels (both above 0, at
  // most kMaxPicturePixels in all). False when refused or out of memory.
  bool Allocate(std::uint32_t width, std::uint32_t height);
  void Release();

  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }
  unsigned char* Row(std::uint32_t y) { return pixels_ + std::size_t{y} * width_ * 4; }
  const unsigned char* Row(std::uint32_t y) const { return pixels_ + std::size_t{y} * width_ * 4; }
  const unsigned char* Pixels() const { return pixels_; }
  // Whether any pixel is not fully opaque.
  bool HasTransparency() const;

 private:
  unsigned char* pixels_ = nullptr;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
};

}  // namespace ormidal
