// The desktop text filter: handheld text turned into text a desktop editor
// shows as written.
#pragma once

#include <cstddef>

namespace ormidal {

// Copies `size` bytes from `in` to `out`, turning LF (0x0A) into CR LF,
// keeping tab (0x09) and every byte from 0x20 up, and dropping every other
// byte below 0x20 (CR among them). `out` must hold 2 * size bytes. Returns
// the number of bytes written.
std::size_t ExpandLineEnds(const unsigned char* in, std::size_t size, unsigned char* out);

}  // namespace ormidal
