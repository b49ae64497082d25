// Photo databases: every record is an 8-byte prefix and a piece of the
// picture; the pieces in record order are the picture file.

#include <cstring>

#include "convert/conversion.hpp"
#include "convert/pictures/pictures.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

constexpr std::uint32_t kPhotoPrefixSize = 8;

// The record without its prefix; a record too short to hold the prefix
// holds no picture.
ByteRange PayloadOf(ByteRange record) {
  if (record.size <= kPhotoPrefixSize) return {record.start, 0, record.clipped};
  return {record.start + kPhotoPrefixSize, record.size - kPhotoPrefixSize, record.clipped};
}

struct Signature {
  const char* bytes;
  std::size_t size;
  const char* extension;
};

constexpr Signature kSignatures[] = {
    {"\xFF\xD8\xFF", 3, ".jpg"},
    {"\x89PNG\r\n\x1A\n", 8, ".png"},
    {"GIF87a", 6, ".gif"},
    {"GIF89a", 6, ".gif"},
};

}  // namespace

const char* PictureExtensionOf(const unsigned char* head, std::size_t size) {
  for (const Signature& signature : kSignatures) {
    if (size >= signature.size && std::memcmp(head, signature.bytes, signature.size) == 0) {
      return signature.extension;
    }
  }
  return "";
}

int ReadPhotoHead(Conversion* conversion, unsigned char* head, std::size_t size, std::size_t* got) {
  const ArchiveState& state = *conversion->state;
  *got = 0;
  for (std::uint32_t index = 0; index < state.recordCount && *got < size; ++index) {
    ByteRange payload = PayloadOf(RecordRange(state, index));
    std::size_t want = size - *got < payload.size ? size - *got : payload.size;
    if (int result = ReadAt(conversion, payload.start, head + *got, want); result != kResultOk) {
      return result;
    }
    *got += want;
  }
  return kResultOk;
}

int ConvertPhoto(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  for (std::uint32_t index = 0; index < state.recordCount; ++index) {
    int result = CopyRange(conversion, PayloadOf(RecordRange(state, index)), Filtering::kRaw);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace ormidal
