// The device text filter: what a handheld's reader can show of a desktop
// text. Tab, line feed and every byte from 0x20 up are kept; every other
// control byte, carriage return among them, is dropped, so CR LF becomes LF.
#pragma once

#include <cstddef>

namespace ormidal {

// Copies the kept bytes of `bytes[0, size)` to `out` and returns their count.
// `out` must have room for `size` bytes: those past the count are scratch.
// `out` may be `bytes` itself (filtering in place); otherwise the two ranges
// must not overlap.
std::size_t StripForDevice(const unsigned char* bytes, std::size_t size, unsigned char* out);

// The count StripForDevice would return, without writing anything.
std::size_t CountKeptForDevice(const unsigned char* bytes, std::size_t size);

}  // namespace ormidal
