#include "convert/pictures/pictures.hpp"

#include <memory>
#include <new>

#include "convert/pictures/image_viewer.hpp"
#include "convert/pictures/palm_bitmap.hpp"
#include "convert/pictures/png_writer.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

int ResultOf(BitmapResult result) {
  switch (result) {
    case BitmapResult::kOk:
      return kResultOk;
    case BitmapResult::kNoMemory:
      return kResultNoMemory;
    default:
      return kResultBadData;
  }
}

// Reads `range` whole into a new block. A damaged (clipped) range marks the
// conversion damaged but its bytes are still read.
int ReadWhole(Conversion* conversion, ByteRange range, std::unique_ptr<unsigned char[]>* block) {
  if (range.size > kMaxPictureInput) return kResultBadData;
  if (range.clipped) conversion->damaged = true;
  block->reset(new (std::nothrow) unsigned char[range.size == 0 ? 1 : range.size]);
  if (!*block) return kResultNoMemory;
  return ReadAt(conversion, range.start, block->get(), range.size);
}

}  // namespace

int WriteBitmapPng(Conversion* conversion, const unsigned char* bytes, std::size_t size) {
  Image image;
  BitmapResult decoded = DecodeBitmapFamily(bytes, size, &image);
  if (decoded != BitmapResult::kOk) return ResultOf(decoded);
  return WritePng(conversion, &image);
}

int ConvertBitmapRange(Conversion* conversion, ByteRange range) {
  std::unique_ptr<unsigned char[]> block;
  if (int result = ReadWhole(conversion, range, &block); result != kResultOk) return result;
  return WriteBitmapPng(conversion, block.get(), range.size);
}

bool BitmapRangeDecodes(Conversion* conversion, ByteRange range) {
  std::unique_ptr<unsigned char[]> block;
  if (ReadWhole(conversion, range, &block) != kResultOk) return false;
  return BitmapFamilyDecodes(block.get(), range.size);
}

int ConvertImageViewer(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  if (state.recordCount == 0) return kResultBadData;
  std::unique_ptr<unsigned char[]> block;
  ByteRange record = RecordRange(state, 0);
  if (int result = ReadWhole(conversion, record, &block); result != kResultOk) return result;
  Image image;
  BitmapResult decoded = DecodeImageViewerPicture(block.get(), record.size, &image);
  if (decoded != BitmapResult::kOk) return ResultOf(decoded);
  return WritePng(conversion, &image);
}

}  // namespace ormidal
