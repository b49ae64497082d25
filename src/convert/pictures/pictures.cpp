#include "convert/pictures/pictures.hpp"

#include <cstring>
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

// The bitmap family a resource holds, after the boot screen's prefix of
// size and checksum; an empty range for a resource of another type.
ByteRange BitmapOfResource(const ArchiveState& state, std::uint32_t index) {
  constexpr std::uint32_t kBootScreenPrefix = 6;
  const char* type = state.resourceKeys[index].type;
  ByteRange range = RecordRange(state, index);
  if (std::memcmp(type, "Tbmp", kCodeSize) == 0 || std::memcmp(type, "tAIB", kCodeSize) == 0) {
    return range;
  }
  if (std::memcmp(type, "Tbsb", kCodeSize) == 0 && range.size > kBootScreenPrefix) {
    return {range.start + kBootScreenPrefix, range.size - kBootScreenPrefix, range.clipped};
  }
  return {range.start, 0, false};
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

namespace ormidal {

void PlanApplication(Conversion* conversion, ArchiveState* state) {
  for (std::uint32_t i = 0; i < state->recordCount; ++i) {
    ByteRange bitmap = BitmapOfResource(*state, i);
    if (bitmap.size == 0 || bitmap.clipped || !BitmapRangeDecodes(conversion, bitmap)) continue;
    ConvertedEntry entry = {ConvertedNaming::kResource, kBitmapRole, static_cast<std::uint16_t>(i),
                            0, ".png"};
    if (!AddConvertedEntry(state, entry)) return;
  }
}

int ConvertApplicationEntry(Conversion* conversion) {
  const ConvertedEntry* entry = conversion->entry;
  if (entry == nullptr || entry->role != kBitmapRole) return ConvertApplication(conversion);
  if (entry->item >= conversion->state->recordCount) return kResultBadData;
  ByteRange bitmap = BitmapOfResource(*conversion->state, entry->item);
  if (bitmap.size == 0) return kResultBadData;
  return ConvertBitmapRange(conversion, bitmap);
}

void PlanPhoto(Conversion* conversion, ArchiveState* state) {
  unsigned char head[8];
  std::size_t got = 0;
  if (state->convertedCount == 0) return;
  if (ReadPhotoHead(conversion, head, sizeof head, &got) != kResultOk) return;
  std::strcpy(state->convertedEntries[0].extension, PictureExtensionOf(head, got));
}

}  // namespace ormidal
