#include "convert/unicode.hpp"

#include "convert/charset.hpp"

namespace ormidal {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

}  // namespace

bool DecodeUtf8(const char* text, std::size_t length, std::size_t* at, char32_t* codePoint) {
  std::size_t i = *at;
  if (i >= length) return false;
  unsigned char lead = static_cast<unsigned char>(text[i]);
  std::size_t count;
  char32_t value;
  char32_t smallest;
  if (lead < 0x80) {
    *codePoint = lead;
    *at = i + 1;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    count = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    count = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    count = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return false;
  }
  if (length - i < count) return false;
  for (std::size_t k = 1; k < count; ++k) {
    unsigned char byte = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(byte)) return false;
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return false;
  *codePoint = value;
  *at = i + count;
  return true;
}

bool IsUtf8(const char* text, std::size_t length) {
  std::size_t at = 0;
  char32_t codePoint;
  while (at < length) {
    if (!DecodeUtf8(text, length, &at, &codePoint)) return false;
  }
  return true;
}

std::size_t Utf8PrefixOfCharacters(const char* text, std::size_t length, std::size_t characters) {
  std::size_t at = 0;
  char32_t codePoint;
  for (std::size_t count = 0; count < characters && at < length; ++count) {
    if (!DecodeUtf8(text, length, &at, &codePoint)) break;
  }
  return at;
}

std::size_t Utf8PrefixOfBytes(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return cut;
}

bool Utf16ToUtf8(const char16_t* text, std::size_t unitLimit, char* out, std::size_t size) {
  if (size == 0) return false;
  std::size_t written = 0;
  for (std::size_t i = 0; text[i] != 0; ++i) {
    if (i >= unitLimit) return false;
    char32_t codePoint = text[i];
    if (IsHighSurrogate(text[i])) {
      if (!IsLowSurrogate(text[i + 1])) return false;
      codePoint = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) +
                  (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
      if (i >= unitLimit) return false;
    } else if (IsLowSurrogate(text[i])) {
      return false;
    }
    char bytes[4];
    std::size_t count = EncodeUtf8(codePoint, bytes);
    if (size - written <= count) return false;
    for (std::size_t k = 0; k < count; ++k) out[written++] = bytes[k];
  }
  out[written] = '\0';
  return true;
}

std::size_t Utf8ToUtf16(const char* text, std::size_t length, char16_t* out, std::size_t size) {
  if (size == 0) return 0;
  std::size_t written = 0;
  std::size_t at = 0;
  while (at < length) {
    char32_t codePoint;
    if (!DecodeUtf8(text, length, &at, &codePoint)) {
      codePoint = kReplacement;
      ++at;
    }
    std::size_t units = codePoint >= 0x10000 ? 2 : 1;
    if (size - 1 - written < units) break;
    if (units == 2) {
      codePoint -= 0x10000;
      out[written++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
      out[written++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
      out[written++] = static_cast<char16_t>(codePoint);
    }
  }
  out[written] = 0;
  return written;
}

std::size_t Utf8ToWindows1252(const char* text, std::size_t length, char* out, std::size_t size) {
  if (size == 0) return 0;
  std::size_t written = 0;
  std::size_t at = 0;
  while (at < length && written + 1 < size) {
    char32_t codePoint;
    if (!DecodeUtf8(text, length, &at, &codePoint)) {
      codePoint = kReplacement;
      ++at;
    }
    unsigned char byte = '_';
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
      byte = static_cast<unsigned char>(codePoint);
    } else {
      for (unsigned candidate = 0x80; candidate < 0xA0; ++candidate) {
        if (codePoint != kReplacement &&
            CodePointOfWindows1252(static_cast<unsigned char>(candidate)) == codePoint) {
          byte = static_cast<unsigned char>(candidate);
        }
      }
    }
    out[written++] = static_cast<char>(byte);
  }
  out[written] = '\0';
  return written;
}

}  // namespace ormidal
