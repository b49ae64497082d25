// The Adler-32 check of a zlib stream, computed over the inflated text as it
// is produced. zlib's own loop is bytewise and cost a fifth of a whole
// compressed-text conversion; this one takes sixteen bytes a step.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormidal {

inline constexpr std::uint32_t kAdler32Start = 1;

// The check of the bytes summed into `adler` followed by `bytes[0, size)`.
std::uint32_t UpdateAdler32(std::uint32_t adler, const unsigned char* bytes, std::size_t size);

}  // namespace ormidal
