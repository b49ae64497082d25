// UTF-8 and UTF-16, as paths and names cross the host interface: the
// Unicode exports take UTF-16 on every platform, the library works in UTF-8
// inside. Nothing here guesses: a sequence that is not well formed is
// reported, never turned into another name.
#pragma once

#include <cstddef>

namespace ormidal {

// Decodes the well-formed UTF-8 sequence at text[*at] (not overlong, no
// surrogate, at most U+10FFFF), stores its code point and moves *at past
// it. False, with *at unchanged, for anything else.
bool DecodeUtf8(const char* text, std::size_t length, std::size_t* at, char32_t* codePoint);

// True when all `length` bytes are well-formed UTF-8.
bool IsUtf8(const char* text, std::size_t length);

// The number of bytes of the first at most `characters` characters of the
// well-formed UTF-8 `text`.
std::size_t Utf8PrefixOfCharacters(const char* text, std::size_t length, std::size_t characters);

// The longest prefix of the UTF-8 `text`, at most `limit` bytes, that ends
// on a character boundary.
std::size_t Utf8PrefixOfBytes(const char* text, std::size_t length, std::size_t limit);

// Converts the zero-terminated UTF-16 `text` to zero-terminated UTF-8 in
// `out`. False when the text holds an unpaired surrogate, or when it has
// more than `unitLimit` code units or does not fit `size` bytes: a path
// that cannot be taken whole is refused, never cut to name another file.
bool Utf16ToUtf8(const char16_t* text, std::size_t unitLimit, char* out, std::size_t size);

// Converts `length` bytes of well-formed UTF-8 to zero-terminated UTF-16 in
// `out` (at most size - 1 code units; a character that would not fit
// whole ends the text there). A sequence that is not well formed becomes
// U+FFFD. Returns the number of code units written.
std::size_t Utf8ToUtf16(const char* text, std::size_t length, char16_t* out, std::size_t size);

// Converts well-formed UTF-8 to the handheld's character set, Windows-1252,
// into `out` (at most size - 1 bytes and a terminator); a character the set
// lacks becomes '_'. Returns the number of bytes written.
std::size_t Utf8ToWindows1252(const char* text, std::size_t length, char* out, std::size_t size);

}  // namespace ormidal
