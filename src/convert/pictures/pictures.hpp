// The picture converters: Palm bitmaps and Image Viewer pictures to PNG.
#pragma once

#include <cstddef>

#include "convert/conversion.hpp"
#include "database/extent.hpp"

namespace ormidal {

// A picture's stored bytes are read whole, up to this many: the largest
// picture decoded (16 million 16-bit pixels) compressed at its worst.
inline constexpr std::uint32_t kMaxPictureInput = 80u * 1024 * 1024;

// Writes the Palm bitmap family in `bytes` as a PNG. kResultBadData when no
// member decodes (nothing is written), kResultNoMemory, kResultWriteError.
int WriteBitmapPng(Conversion* conversion, const unsigned char* bytes, std::size_t size);

// The same for the family stored in `range` of the database, read whole
// into memory first; a range larger than kMaxPictureInput is bad data.
int ConvertBitmapRange(Conversion* conversion, ByteRange range);

// Whether the family in `range` decodes, for the listing to decide whether
// it is a picture. Reads the range as ConvertBitmapRange does.
bool BitmapRangeDecodes(Conversion* conversion, ByteRange range);

// An Image Viewer database: record 0's picture as a PNG.
int ConvertImageViewer(Conversion* conversion);

// A resource database described as text: the application's name, version,
// codes and times, and a line per resource.
int ConvertApplication(Conversion* conversion);

// An application's converted entries: its description, then each bitmap
// resource that decodes as a picture, in list order.
enum ApplicationRole : std::uint8_t { kDescriptionRole = 0, kBitmapRole = 1 };
void PlanApplication(Conversion* conversion, ArchiveState* state);
// Writes the entry conversion->entry names: the description or a bitmap.
int ConvertApplicationEntry(Conversion* conversion);

// Names a photo's converted entry by its picture's format.
void PlanPhoto(Conversion* conversion, ArchiveState* state);

// The extension of a picture format known by its first bytes (".jpg",
// ".png", ".gif"), or "" for data of no known signature.
const char* PictureExtensionOf(const unsigned char* head, std::size_t size);

// The first bytes of a photo database's picture (record payloads after
// their 8-byte prefixes), as many as `size` or the picture holds; *got
// receives their number.
int ReadPhotoHead(Conversion* conversion, unsigned char* head, std::size_t size, std::size_t* got);

}  // namespace ormidal
