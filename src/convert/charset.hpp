// Handheld text in Unicode. Western handhelds store text in Windows-1252;
// the desktop formats that carry it (vCard, iCalendar) are UTF-8.
#pragma once

#include <cstddef>

namespace ormidal {

// The code point of one byte of Windows-1252 text. The five bytes the
// character set leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) give
// U+FFFD, the replacement character.
char32_t CodePointOfWindows1252(unsigned char byte);

// Writes the UTF-8 form of `codePoint` to `out` and returns its length, 1 to
// 4. A value that is no Unicode scalar value (a surrogate, or above
// U+10FFFF) is written as U+FFFD.
std::size_t EncodeUtf8(char32_t codePoint, char out[4]);

}  // namespace ormidal
