// The extensions the later applications append to a record: each a
// four-byte name, a 16-bit size and that many bytes of content, one after
// another to the end of the record. Each application names its own; those
// of other applications are passed over.
#pragma once

#include <cstdint>
#include <cstring>

#include "convert/conversion.hpp"
#include "database/byte_order.hpp"
#include "database/result.hpp"

namespace ormidal {

inline constexpr std::uint32_t kExtensionHeaderSize = 6;

struct Extension {
  char name[4];
  std::uint32_t start;  // of the content
  std::uint32_t size;
  bool Is(const char* other) const { return std::memcmp(name, other, 4) == 0; }
};

// Calls `each(extension)` for every extension from `offset` to `end`. Fewer
// bytes than a header at the end are left there by an edit and are no
// damage; an extension whose size runs past the end is, and ends the walk.
template <typename Each>
int ForEachExtension(Conversion* conversion, std::uint32_t offset, std::uint32_t end, Each&& each) {
  while (offset <= end && end - offset >= kExtensionHeaderSize) {
    unsigned char header[kExtensionHeaderSize];
    if (int result = ReadAt(conversion, offset, header, sizeof header); result != kResultOk) {
      return result;
    }
    Extension extension;
    std::memcpy(extension.name, header, 4);
    extension.start = offset + kExtensionHeaderSize;
    extension.size = ReadBigEndian16(header + 4);
    if (extension.size > end - extension.start) {
      conversion->damaged = true;
      return kResultOk;
    }
    if (int result = each(extension); result != kResultOk) return result;
    offset = extension.start + extension.size;
  }
  return kResultOk;
}

}  // namespace ormidal
