#include "wide_text.hpp"

#include <cstdint>

namespace ormidal::host {
namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string* out, char32_t value) {
  if (value < 0x80) {
    *out += static_cast<char>(value);
  } else if (value < 0x800) {
    *out += static_cast<char>(0xC0 | (value >> 6));
    *out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    *out += static_cast<char>(0xE0 | (value >> 12));
    *out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (value >> 18));
    *out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

// The value of the sequence at text[at] and its length in bytes, or a
// length of 0 when no valid sequence starts there. Overlong forms and
// values past U+10FFFF are not valid; surrogates are, as Utf8FromUtf16
// writes a lone one.
char32_t DecodeAt(std::string_view text, std::size_t at, std::size_t* length) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  *length = 0;
  if (lead < 0x80) {
    *length = 1;
    return lead;
  }
  std::size_t count = lead >= 0xC2 && lead <= 0xDF   ? 2
                      : lead >= 0xE0 && lead <= 0xEF ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                     : 0;
  if (count == 0 || at + count > text.size()) return 0;
  char32_t value = lead & (0x7F >> count);
  for (std::size_t k = 1; k < count; ++k) {
    if ((byte(at + k) >> 6) != 2) return 0;
    value = (value << 6) | (byte(at + k) & 0x3F);
  }
  char32_t least = count == 2 ? 0x80 : count == 3 ? 0x800 : 0x10000;
  if (value < least || value > 0x10FFFF) return 0;
  *length = count;
  return value;
}

}  // namespace

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      AppendUtf8(&out, unit);
    }
  }
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length;
    char32_t value = DecodeAt(text, i, &length);
    if (length == 0) {
      out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(text[i++]));
      continue;
    }
    i += length;
    if (value < 0x10000) {
      out += static_cast<char16_t>(value);
    } else {
      out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    }
  }
  return out;
}

#if defined(_WIN32)
std::wstring WideFromUtf8(std::string_view text) {
  std::u16string wide = Utf16FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8FromWide(std::wstring_view text) {
  return Utf8FromUtf16(std::u16string(text.begin(), text.end()));
}

std::filesystem::path NativePath(const std::string& path) {
  return std::filesystem::path(WideFromUtf8(path));
}

std::string PathText(const std::filesystem::path& path) { return Utf8FromWide(path.native()); }

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}
#else
std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

std::string PathText(const std::filesystem::path& path) { return path.native(); }

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}
#endif

}  // namespace ormidal::host
