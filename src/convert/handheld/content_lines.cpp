#include "convert/handheld/content_lines.hpp"

#include <cstring>

#include "convert/charset.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

const unsigned char kFold[] = {'\r', '\n', ' '};
const unsigned char kLineEnd[] = {'\r', '\n'};

// Writes one unit that must stay whole on one physical line.
int PutUnit(Conversion* conversion, ContentLine* line, const char* octets, std::size_t size) {
  if (line->octets + size > kContentLineLimit) {
    if (int result = WriteRaw(conversion, kFold, sizeof kFold); result != kResultOk) return result;
    line->octets = 1;
  }
  line->octets += size;
  return WriteRaw(conversion, reinterpret_cast<const unsigned char*>(octets), size);
}

// Writes a run of single-octet units, folding as often as it needs.
int PutRun(Conversion* conversion, ContentLine* line, const unsigned char* octets,
           std::size_t size) {
  while (size > 0) {
    if (line->octets >= kContentLineLimit) {
      if (int result = WriteRaw(conversion, kFold, sizeof kFold); result != kResultOk) {
        return result;
      }
      line->octets = 1;
    }
    std::size_t room = kContentLineLimit - line->octets;
    std::size_t piece = size < room ? size : room;
    if (int result = WriteRaw(conversion, octets, piece); result != kResultOk) return result;
    line->octets += piece;
    octets += piece;
    size -= piece;
  }
  return kResultOk;
}

bool IsPlain(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != ',' && byte != ';';
}

// Text with no escapes: each byte in UTF-8, control bytes and those in
// `dropped` left out.
int AppendUnescaped(Conversion* conversion, ContentLine* line, const unsigned char* bytes,
                    std::size_t size, char dropped) {
  for (std::size_t at = 0; at < size; ++at) {
    unsigned char byte = bytes[at];
    if (byte < 0x20 || byte == 0x7F || byte == static_cast<unsigned char>(dropped)) continue;
    char unit[4];
    std::size_t length = EncodeUtf8(CodePointOfWindows1252(byte), unit);
    if (int result = PutUnit(conversion, line, unit, length); result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace

AsciiText& AsciiText::Add(const char* more) {
  while (*more != 0 && length < kCapacity) text[length++] = *more++;
  text[length] = 0;
  return *this;
}

AsciiText& AsciiText::Add(char c) {
  if (length < kCapacity) text[length++] = c;
  text[length] = 0;
  return *this;
}

AsciiText& AsciiText::Decimal(long value, int width) {
  unsigned long magnitude =
      value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count < width && count < static_cast<int>(sizeof digits)) digits[count++] = '0';
  if (value < 0) Add('-');
  while (count > 0) Add(digits[--count]);
  return *this;
}

AsciiText& AsciiText::Hex(unsigned long value, int width) {
  for (int shift = 4 * (width - 1); shift >= 0; shift -= 4) {
    Add("0123456789abcdef"[(value >> shift) & 0xF]);
  }
  return *this;
}

int AppendAscii(Conversion* conversion, ContentLine* line, const char* text) {
  return PutRun(conversion, line, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

int AppendAscii(Conversion* conversion, ContentLine* line, const AsciiText& text) {
  return PutRun(conversion, line, reinterpret_cast<const unsigned char*>(text.text), text.length);
}

int AppendText(Conversion* conversion, ContentLine* line, const unsigned char* bytes,
               std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    std::size_t run = at;
    while (run < size && IsPlain(bytes[run])) ++run;
    if (run > at) {
      line->afterCarriageReturn = false;
      if (int result = PutRun(conversion, line, bytes + at, run - at); result != kResultOk) {
        return result;
      }
      at = run;
      continue;
    }
    unsigned char byte = bytes[at++];
    bool afterCarriageReturn = line->afterCarriageReturn;
    line->afterCarriageReturn = byte == '\r';
    char unit[4];
    std::size_t length = 0;
    if (byte == '\\' || byte == ',' || byte == ';') {
      unit[0] = '\\';
      unit[1] = static_cast<char>(byte);
      length = 2;
    } else if (byte == '\r' || (byte == '\n' && !afterCarriageReturn)) {
      unit[0] = '\\';
      unit[1] = 'n';
      length = 2;
    } else if (byte == '\t' || byte >= 0x80) {
      length = EncodeUtf8(CodePointOfWindows1252(byte), unit);
    }
    if (length == 0) continue;  // a control byte, or the LF of a CR LF
    if (int result = PutUnit(conversion, line, unit, length); result != kResultOk) return result;
  }
  return kResultOk;
}

int AppendStoredText(Conversion* conversion, ContentLine* line, const StoredString& text) {
  if (!text.present) return kResultOk;
  return ForEachPiece(conversion, text.start, text.size,
                      [&](const unsigned char* bytes, std::size_t size) {
                        return AppendText(conversion, line, bytes, size);
                      });
}

int AppendParameterValue(Conversion* conversion, ContentLine* line, const unsigned char* bytes,
                         std::size_t size) {
  int result = PutUnit(conversion, line, "\"", 1);
  if (result == kResultOk) result = AppendUnescaped(conversion, line, bytes, size, '"');
  if (result == kResultOk) result = PutUnit(conversion, line, "\"", 1);
  return result;
}

int AppendStoredParameter(Conversion* conversion, ContentLine* line, const StoredString& text) {
  int result = PutUnit(conversion, line, "\"", 1);
  if (result == kResultOk && text.present) {
    result = ForEachPiece(conversion, text.start, text.size,
                          [&](const unsigned char* bytes, std::size_t size) {
                            return AppendUnescaped(conversion, line, bytes, size, '"');
                          });
  }
  if (result == kResultOk) result = PutUnit(conversion, line, "\"", 1);
  return result;
}

int AppendStoredUnescaped(Conversion* conversion, ContentLine* line, const StoredString& text) {
  if (!text.present) return kResultOk;
  return ForEachPiece(conversion, text.start, text.size,
                      [&](const unsigned char* bytes, std::size_t size) {
                        return AppendUnescaped(conversion, line, bytes, size, 0);
                      });
}

int EndLine(Conversion* conversion, ContentLine* line) {
  *line = ContentLine();
  return WriteRaw(conversion, kLineEnd, sizeof kLineEnd);
}

int WriteTextProperty(Conversion* conversion, const char* name, const StoredString& value) {
  if (!value.present) return kResultOk;
  ContentLine line;
  int result = AppendAscii(conversion, &line, name);
  if (result == kResultOk) result = AppendAscii(conversion, &line, ":");
  if (result == kResultOk) result = AppendStoredText(conversion, &line, value);
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

int WriteStructuredName(Conversion* conversion, const StoredString& familyName,
                        const StoredString& givenName) {
  ContentLine line;
  int result = AppendAscii(conversion, &line, "N:");
  if (result == kResultOk) result = AppendStoredText(conversion, &line, familyName);
  if (result == kResultOk) result = AppendAscii(conversion, &line, ";");
  if (result == kResultOk) result = AppendStoredText(conversion, &line, givenName);
  if (result == kResultOk) result = AppendAscii(conversion, &line, ";;;");
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

int WriteFormattedName(Conversion* conversion, const StoredString& givenName,
                       const StoredString& familyName, const StoredString* const* fallbacks,
                       std::size_t fallbackCount) {
  ContentLine line;
  int result = AppendAscii(conversion, &line, "FN:");
  if (givenName.present || familyName.present) {
    if (result == kResultOk) result = AppendStoredText(conversion, &line, givenName);
    if (result == kResultOk && givenName.present && familyName.present) {
      result = AppendAscii(conversion, &line, " ");
    }
    if (result == kResultOk) result = AppendStoredText(conversion, &line, familyName);
  } else {
    const StoredString* shown = nullptr;
    for (std::size_t i = 0; i < fallbackCount && shown == nullptr; ++i) {
      if (fallbacks[i]->present) shown = fallbacks[i];
    }
    if (result == kResultOk) {
      result = shown ? AppendStoredText(conversion, &line, *shown)
                     : AppendAscii(conversion, &line, "Unnamed");
    }
  }
  if (result == kResultOk) result = EndLine(conversion, &line);
  return result;
}

int WriteAsciiLine(Conversion* conversion, const char* text) {
  ContentLine line;
  if (int result = AppendAscii(conversion, &line, text); result != kResultOk) return result;
  return EndLine(conversion, &line);
}

int WriteAsciiLine(Conversion* conversion, const AsciiText& text) {
  ContentLine line;
  if (int result = AppendAscii(conversion, &line, text); result != kResultOk) return result;
  return EndLine(conversion, &line);
}

}  // namespace ormidal
