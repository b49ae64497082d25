#include "convert/pictures/palm_bitmap.hpp"

#include <cstring>
#include <memory>
#include <new>

namespace ormidal {
namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kVersion3HeaderSize = 24;
constexpr std::size_t kDirectInfoSize = 8;
// A family longer than this is damaged: a resource holds a few depths and
// densities of one picture.
constexpr std::size_t kMaxMembers = 32;
// No method turns one input byte into more than 128 (PackBits repeating a
// 16-bit pixel), so a picture larger than that is damaged, not decoded.
constexpr std::uint64_t kMaxExpansion = 128;
constexpr unsigned char kDummyDepth = 0xFF;
constexpr std::uint32_t kLowDensity = 72;

enum Flag : std::uint16_t {
  kCompressed = 0x8000,
  kHasColorTable = 0x4000,
  kHasTransparency = 0x2000,
  kIndirect = 0x1000,
  kDirectColor = 0x0400,
  kIndirectColorTable = 0x0200,
};

enum Compression : int { kScanline = 0, kRle = 1, kPackBits = 2, kNone = 0xFF };

enum PixelFormat : int { kIndexed = 0, k565 = 1, k565LittleEndian = 2, kIndexedLittleEndian = 3 };

// Numbers in a header are big-endian, or little-endian in the headers that
// ARM tools write (version byte with its top bit set).
struct Numbers {
  const unsigned char* bytes;
  bool littleEndian;
  std::uint32_t U16(std::size_t at) const {
    return littleEndian ? bytes[at] | (bytes[at + 1] << 8) : (bytes[at] << 8) | bytes[at + 1];
  }
  std::uint32_t U32(std::size_t at) const {
    return littleEndian ? U16(at) | (U16(at + 2) << 16) : (U16(at) << 16) | U16(at + 2);
  }
};

struct Member {
  std::size_t offset;  // of its header, from the start of the family
  std::size_t headerSize;
  bool littleEndian;
  int version;
  std::uint32_t width, height, rowBytes;
  std::uint32_t flags;
  int depth;
  int pixelFormat;
  int compression;
  std::uint32_t density;
  std::uint32_t transparentValue;  // an index, or a 565 pixel
  std::size_t next;                // from this header to the next one; 0 for none
};

bool IsDepth(int depth) {
  return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
}

// The version 3 fields: the header's own size, pixel format, density,
// transparent value and the byte offset of the next member.
bool ParseVersion3(const Numbers& n, std::size_t available, Member* member) {
  if (available < kVersion3HeaderSize) return false;
  member->headerSize = n.bytes[10];
  if (member->headerSize < kVersion3HeaderSize || member->headerSize > available) return false;
  member->pixelFormat = n.bytes[11];
  member->compression = n.bytes[13];
  member->density = n.U16(14);
  member->transparentValue = n.U32(16);
  member->next = n.U32(20);
  bool direct = member->pixelFormat == k565 || member->pixelFormat == k565LittleEndian;
  if (direct != (member->depth == 16)) return false;
  // The pixel order of 1, 2 and 4 bits in little-endian indexed bitmaps is
  // nowhere defined: such a member is not guessed at.
  if (member->pixelFormat == kIndexedLittleEndian && member->depth < 8) return false;
  return member->pixelFormat <= kIndexedLittleEndian;
}

bool ParseMember(const unsigned char* bytes, std::size_t size, std::size_t offset, Member* member) {
  std::size_t available = size - offset;
  if (available < kHeaderSize) return false;
  const unsigned char* header = bytes + offset;
  Numbers n{header, (header[9] & 0x80) != 0};
  *member = Member{};
  member->offset = offset;
  member->littleEndian = n.littleEndian;
  member->version = header[9] & 0x7F;
  member->width = n.U16(0);
  member->height = n.U16(2);
  member->rowBytes = n.U16(4);
  member->flags = n.U16(6);
  // Version 0 has one depth; its depth byte is reserved.
  member->depth = member->version == 0 ? 1 : header[8];
  member->headerSize = kHeaderSize;
  member->density = kLowDensity;
  member->compression = kScanline;
  member->next = std::size_t{n.U16(10)} * 4;
  if (member->version > 3 || !IsDepth(member->depth)) return false;
  // Bits or a colour table held elsewhere exist only in a handheld's memory.
  if ((member->flags & (kIndirect | kIndirectColorTable)) != 0) return false;
  if (member->version == 3) return ParseVersion3(n, available, member);
  member->pixelFormat = member->depth == 16 ? k565 : kIndexed;
  if (member->version == 2) {
    member->transparentValue = header[12];
    member->compression = header[13];
  }
  return true;
}

// The members of the family in file order; the dummy header that parts low
// from high density members is passed over.
std::size_t CollectMembers(const unsigned char* bytes, std::size_t size, Member* members) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (count < kMaxMembers && size - at >= kHeaderSize) {
    if (bytes[at + 8] == kDummyDepth) {
      at += kHeaderSize;
      continue;
    }
    Member& member = members[count];
    if (!ParseMember(bytes, size, at, &member)) break;
    ++count;
    if (member.next == 0 || member.next >= size - at) break;
    at += member.next;
  }
  return count;
}

struct Palette {
  unsigned char rgb[256][3];
  std::uint32_t entries;
};

// The handheld's own colours when a bitmap brings none: shades of grey from
// white for 1, 2 and 4 bits, the system's 256 colours for 8.
void DefaultPalette(int depth, Palette* palette) {
  if (depth < 8) {
    std::uint32_t levels = 1u << depth;
    for (std::uint32_t i = 0; i < levels; ++i) {
      unsigned char shade = static_cast<unsigned char>(255 - i * 255 / (levels - 1));
      std::memset(palette->rgb[i], shade, 3);
    }
    palette->entries = levels;
    return;
  }
  static constexpr unsigned char kCube[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  static constexpr unsigned char kGreys[10] = {0x11, 0x22, 0x44, 0x55, 0x77,
                                               0x88, 0xAA, 0xBB, 0xDD, 0xEE};
  static constexpr unsigned char kExtras[5][3] = {
      {0xC0, 0xC0, 0xC0}, {0x80, 0, 0}, {0x80, 0, 0x80}, {0, 0x80, 0}, {0, 0x80, 0x80}};
  std::memset(palette->rgb, 0, sizeof palette->rgb);
  for (std::uint32_t k = 0; k < 215; ++k) {
    palette->rgb[k][0] = kCube[(k % 108) / 18];
    palette->rgb[k][1] = kCube[k % 6];
    palette->rgb[k][2] = kCube[3 * (k / 108) + (k % 18) / 6];
  }
  for (std::uint32_t k = 0; k < 10; ++k) std::memset(palette->rgb[215 + k], kGreys[k], 3);
  for (std::uint32_t k = 0; k < 5; ++k) std::memcpy(palette->rgb[225 + k], kExtras[k], 3);
  palette->entries = 256;
}

std::uint32_t To565(unsigned char r, unsigned char g, unsigned char b) {
  return ((r & 0xF8u) << 8) | ((g & 0xFCu) << 3) | (b >> 3);
}

// What a member's pixels need beside the rows: colours and transparency.
struct Colours {
  Palette palette;
  bool transparent;
  std::uint32_t transparentValue;
};

// Reads the colour table and direct-colour information that follow the
// header; `at` moves past them. False when they do not fit or are not a
// kind this decoder knows.
bool ReadColours(const unsigned char* bytes, std::size_t size, const Member& member,
                 std::size_t* at, Colours* colours) {
  Numbers n{bytes, member.littleEndian};
  DefaultPalette(member.depth < 16 ? member.depth : 8, &colours->palette);
  if ((member.flags & kHasColorTable) != 0) {
    if (size - *at < 2) return false;
    std::uint32_t entries = n.U16(*at);
    // Files have been seen stating 4096 entries over a table of 256.
    if (entries > 256) entries = 256;
    *at += 2;
    if ((size - *at) / 4 < entries) return false;
    if (entries > 0 && member.depth <= 8) {
      for (std::uint32_t k = 0; k < entries; ++k) {
        std::memcpy(colours->palette.rgb[k], bytes + *at + 4 * k + 1, 3);
      }
      colours->palette.entries = entries;
    }
    *at += 4 * std::size_t{entries};
  }
  colours->transparent = member.version >= 2 && (member.flags & kHasTransparency) != 0;
  colours->transparentValue = member.transparentValue;
  if (member.depth == 16 && member.version <= 2 && (member.flags & kDirectColor) != 0) {
    if (size - *at < kDirectInfoSize) return false;
    const unsigned char* info = bytes + *at;
    if (info[0] != 5 || info[1] != 6 || info[2] != 5) return false;
    colours->transparentValue = To565(info[5], info[6], info[7]);
    *at += kDirectInfoSize;
  } else if (member.depth == 16 && member.version <= 2) {
    colours->transparent = false;  // no colour to compare with
  } else if (member.depth == 16 && colours->transparentValue > 0xFFFF) {
    // One desktop writer stores the colour as 00 RR GG BB, which no 565
    // value can be.
    std::uint32_t rgb = colours->transparentValue;
    colours->transparentValue =
        To565(static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
              static_cast<unsigned char>(rgb));
  }
  return true;
}

// The pixel data, read row by row; runs of RLE and PackBits may go on from
// one row into the next.
struct RowStream {
  const unsigned char* data;
  std::size_t size;
  std::size_t at;
  int compression;
  std::size_t unitSize;  // PackBits repeats 16-bit pixels whole
  std::size_t repeatLeft;
  std::size_t literalLeft;
  std::size_t phase;
  unsigned char unit[2];
};

bool RawRow(RowStream* s, unsigned char* row, std::size_t rowBytes) {
  if (s->size - s->at < rowBytes) return false;
  std::memcpy(row, s->data + s->at, rowBytes);
  s->at += rowBytes;
  return true;
}

// Each group of eight bytes has a flag byte, its top bit for the first
// byte: a set bit brings a new byte, a clear one repeats the row above.
bool ScanlineRow(RowStream* s, unsigned char* row, const unsigned char* above,
                 std::size_t rowBytes) {
  for (std::size_t group = 0; group < rowBytes; group += 8) {
    if (s->at >= s->size) return false;
    unsigned flags = s->data[s->at++];
    std::size_t count = rowBytes - group < 8 ? rowBytes - group : 8;
    for (std::size_t i = 0; i < count; ++i) {
      if ((flags & (0x80u >> i)) == 0) {
        row[group + i] = above[group + i];
      } else {
        if (s->at >= s->size) return false;
        row[group + i] = s->data[s->at++];
      }
    }
  }
  return true;
}

bool RepeatInto(RowStream* s, unsigned char* row, std::size_t rowBytes, std::size_t* filled) {
  while (s->repeatLeft > 0 && *filled < rowBytes) {
    row[(*filled)++] = s->unit[s->phase];
    s->phase = (s->phase + 1) % s->unitSize;
    --s->repeatLeft;
  }
  return true;
}

// Pairs of a count (1 to 255) and the byte it repeats.
bool RleRow(RowStream* s, unsigned char* row, std::size_t rowBytes) {
  std::size_t filled = 0;
  while (filled < rowBytes) {
    if (s->repeatLeft > 0) {
      RepeatInto(s, row, rowBytes, &filled);
      continue;
    }
    if (s->size - s->at < 2 || s->data[s->at] == 0) return false;
    s->repeatLeft = s->data[s->at];
    s->unit[0] = s->data[s->at + 1];
    s->phase = 0;
    s->at += 2;
  }
  return true;
}

// A control byte below 0x80 brings that many units plus one as they are,
// one above it repeats the next unit 257 less it times; 0x80 does nothing.
bool PackBitsRow(RowStream* s, unsigned char* row, std::size_t rowBytes) {
  std::size_t filled = 0;
  while (filled < rowBytes) {
    if (s->literalLeft > 0) {
      std::size_t n = s->literalLeft;
      if (n > rowBytes - filled) n = rowBytes - filled;
      if (n > s->size - s->at) return false;
      std::memcpy(row + filled, s->data + s->at, n);
      s->at += n;
      s->literalLeft -= n;
      filled += n;
      continue;
    }
    if (s->repeatLeft > 0) {
      RepeatInto(s, row, rowBytes, &filled);
      continue;
    }
    if (s->at >= s->size) return false;
    unsigned control = s->data[s->at++];
    if (control < 0x80) {
      s->literalLeft = (control + 1) * s->unitSize;
    } else if (control > 0x80) {
      if (s->size - s->at < s->unitSize) return false;
      std::memcpy(s->unit, s->data + s->at, s->unitSize);
      s->at += s->unitSize;
      s->repeatLeft = (257 - control) * s->unitSize;
      s->phase = 0;
    }
  }
  return true;
}

bool NextRow(RowStream* s, unsigned char* row, const unsigned char* above, std::size_t rowBytes) {
  switch (s->compression) {
    case kScanline:
      return ScanlineRow(s, row, above, rowBytes);
    case kRle:
      return RleRow(s, row, rowBytes);
    case kPackBits:
      return PackBitsRow(s, row, rowBytes);
    default:
      return RawRow(s, row, rowBytes);
  }
}

// Sets up the stream over the member's pixel data, after its colours and,
// when compressed, its size field (read past, not trusted: the data is
// decoded until the rows are full).
bool OpenRows(const unsigned char* bytes, std::size_t size, const Member& member, std::size_t at,
              RowStream* s) {
  *s = RowStream{};
  s->compression = kNone;
  s->unitSize = member.depth == 16 ? 2 : 1;
  if ((member.flags & kCompressed) != 0 && member.compression != kNone) {
    if (member.compression > kPackBits) return false;
    std::size_t sizeField = member.version == 3 ? 4 : 2;
    if (size - at < sizeField) return false;
    at += sizeField;
    s->compression = member.compression;
  }
  s->data = bytes + at;
  s->size = size - at;
  std::uint64_t pixelBytes = std::uint64_t{member.rowBytes} * member.height;
  if (s->compression == kNone) return pixelBytes <= s->size;
  return pixelBytes <= s->size * kMaxExpansion;
}

void ConvertRow(const Member& member, const Colours& colours, const unsigned char* row,
                unsigned char* out) {
  for (std::uint32_t x = 0; x < member.width; ++x, out += 4) {
    std::uint32_t value;
    if (member.depth == 16) {
      const unsigned char* p = row + 2 * x;
      value = member.pixelFormat == k565LittleEndian ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
      out[0] = static_cast<unsigned char>(((value >> 11) & 0x1F) * 255 / 31);
      out[1] = static_cast<unsigned char>(((value >> 5) & 0x3F) * 255 / 63);
      out[2] = static_cast<unsigned char>((value & 0x1F) * 255 / 31);
    } else {
      std::size_t bit = std::size_t{x} * static_cast<std::size_t>(member.depth);
      unsigned shift = 8 - static_cast<unsigned>(member.depth) - (bit & 7);
      value = (row[bit >> 3] >> shift) & ((1u << member.depth) - 1);
      // A value the colour table does not reach shows black.
      if (value < colours.palette.entries) {
        std::memcpy(out, colours.palette.rgb[value], 3);
      } else {
        std::memset(out, 0, 3);
      }
    }
    out[3] = colours.transparent && value == colours.transparentValue ? 0 : 0xFF;
  }
}

// Two rows: the one being decoded, and the one above it that scanline
// compression repeats from (zeros above the first).
struct RowBuffers {
  unsigned char rows[2][65536];
};

BitmapResult DecodeMember(const unsigned char* bytes, std::size_t size, const Member& member,
                          RowBuffers* buffers, Colours* colours, Image* image) {
  constexpr BitmapResult kDamaged = BitmapResult::kDamaged;
  if (member.width == 0 || member.height == 0) return kDamaged;
  if (std::uint64_t{member.width} * member.height > kMaxPicturePixels) return kDamaged;
  std::uint64_t rowBits = std::uint64_t{member.width} * static_cast<std::uint64_t>(member.depth);
  if (member.rowBytes < (rowBits + 7) / 8) return kDamaged;
  std::size_t at = member.offset + member.headerSize;
  RowStream stream;
  if (!ReadColours(bytes, size, member, &at, colours)) return kDamaged;
  if (!OpenRows(bytes, size, member, at, &stream)) return kDamaged;
  if (image != nullptr && !image->Allocate(member.width, member.height)) {
    return BitmapResult::kNoMemory;
  }
  std::memset(buffers->rows[1], 0, member.rowBytes);
  for (std::uint32_t y = 0; y < member.height; ++y) {
    unsigned char* row = buffers->rows[y & 1];
    const unsigned char* above = buffers->rows[(y + 1) & 1];
    if (!NextRow(&stream, row, above, member.rowBytes)) {
      if (image != nullptr) image->Release();
      return kDamaged;
    }
    if (image != nullptr) ConvertRow(member, *colours, row, image->Row(y));
  }
  return BitmapResult::kOk;
}

// Richest first: the highest density, then the greatest depth; file order
// among equals.
void RankMembers(const Member* members, std::size_t count, std::size_t* order) {
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  for (std::size_t i = 1; i < count; ++i) {
    for (std::size_t j = i; j > 0; --j) {
      const Member& a = members[order[j - 1]];
      const Member& b = members[order[j]];
      bool richer = b.density > a.density || (b.density == a.density && b.depth > a.depth);
      if (!richer) break;
      std::size_t t = order[j - 1];
      order[j - 1] = order[j];
      order[j] = t;
    }
  }
}

struct Work {
  Member members[kMaxMembers];
  std::size_t order[kMaxMembers];
  Colours colours;
  RowBuffers buffers;
};

BitmapResult Decode(const unsigned char* bytes, std::size_t size, Image* image) {
  std::unique_ptr<Work> work(new (std::nothrow) Work);
  if (!work) return BitmapResult::kNoMemory;
  std::size_t count = CollectMembers(bytes, size, work->members);
  RankMembers(work->members, count, work->order);
  for (std::size_t i = 0; i < count; ++i) {
    const Member& member = work->members[work->order[i]];
    BitmapResult result = DecodeMember(bytes, size, member, &work->buffers, &work->colours, image);
    // A picture that finds no memory is not damaged: no other member stands in.
    if (result != BitmapResult::kDamaged) return result;
  }
  return BitmapResult::kDamaged;
}

}  // namespace

BitmapResult DecodeBitmapFamily(const unsigned char* bytes, std::size_t size, Image* image) {
  return Decode(bytes, size, image);
}

bool BitmapFamilyDecodes(const unsigned char* bytes, std::size_t size) {
  return Decode(bytes, size, nullptr) == BitmapResult::kOk;
}

}  // namespace ormidal
