// An application's description: what a resource database says of itself,
// as a UTF-8 text with CR LF line ends. Its name (tAIN 1000) and version
// (tver 1000, else tver 1), the database's name, type and creator codes and
// times, then one line per resource: type, ID and size.

#include <cstdio>
#include <cstring>

#include "convert/charset.hpp"
#include "convert/pictures/pictures.hpp"
#include "database/result.hpp"

namespace ormidal {
namespace {

// A name or version string longer than this is cut: the handheld shows a
// few dozen characters of either.
constexpr std::size_t kMaxStringResource = 256;

int WriteText(Conversion* conversion, const char* text) {
  return WriteRaw(conversion, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

// Handheld text (Windows-1252) as UTF-8; control bytes are left out, so a
// stored line end cannot start a line of its own.
int WriteHandheldText(Conversion* conversion, const unsigned char* text, std::size_t size) {
  for (std::size_t i = 0; i < size && text[i] != 0; ++i) {
    if (text[i] < 0x20 || text[i] == 0x7F) continue;
    char bytes[4];
    std::size_t count = EncodeUtf8(CodePointOfWindows1252(text[i]), bytes);
    if (int result = WriteRaw(conversion, reinterpret_cast<unsigned char*>(bytes), count);
        result != kResultOk) {
      return result;
    }
  }
  return kResultOk;
}

// A four-character code, each byte that is no printable character shown as
// a full stop.
int WriteCode(Conversion* conversion, const char* code) {
  unsigned char shown[kCodeSize];
  for (std::size_t i = 0; i < kCodeSize; ++i) {
    unsigned char c = static_cast<unsigned char>(code[i]);
    shown[i] = c < 0x20 || c == 0x7F ? '.' : c;
  }
  return WriteHandheldText(conversion, shown, kCodeSize);
}

int FindResource(const ArchiveState& state, const char* type, std::uint16_t id) {
  for (std::uint32_t i = 0; i < state.recordCount; ++i) {
    if (state.resourceKeys[i].id == id &&
        std::memcmp(state.resourceKeys[i].type, type, kCodeSize) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// "Label: " and the string resource's text up to its terminator, or
// nothing after the label when there is no such resource.
int WriteStringResource(Conversion* conversion, const char* label, int index) {
  if (int result = WriteText(conversion, label); result != kResultOk) return result;
  if (index >= 0) {
    ByteRange range = RecordRange(*conversion->state, static_cast<std::uint32_t>(index));
    if (range.clipped) conversion->damaged = true;
    unsigned char text[kMaxStringResource];
    std::size_t size = range.size < sizeof text ? range.size : sizeof text;
    if (int result = ReadAt(conversion, range.start, text, size); result != kResultOk) {
      return result;
    }
    if (int result = WriteHandheldText(conversion, text, size); result != kResultOk) {
      return result;
    }
  }
  return WriteText(conversion, "\r\n");
}

int WriteTime(Conversion* conversion, const char* label, std::uint32_t seconds) {
  char line[96];
  if (seconds == 0) {
    std::snprintf(line, sizeof line, "%s: none\r\n", label);
  } else {
    CalendarTime t = DatabaseTimeToCalendar(seconds);
    std::snprintf(line, sizeof line, "%s: %04d-%02d-%02d %02d:%02d:%02d\r\n", label, t.year,
                  t.month, t.day, t.hour, t.minute, t.second);
  }
  return WriteText(conversion, line);
}

int WriteResourceLine(Conversion* conversion, std::uint32_t index) {
  const ArchiveState& state = *conversion->state;
  if (int result = WriteCode(conversion, state.resourceKeys[index].type); result != kResultOk) {
    return result;
  }
  ByteRange range = RecordRange(state, index);
  char line[96];
  std::snprintf(line, sizeof line, " %5u (%04x): %lu bytes%s\r\n", state.resourceKeys[index].id,
                state.resourceKeys[index].id, static_cast<unsigned long>(range.size),
                range.clipped ? ", cut short by the end of the file" : "");
  return WriteText(conversion, line);
}

int WriteCodeLine(Conversion* conversion, const char* label, const char* code) {
  if (int result = WriteText(conversion, label); result != kResultOk) return result;
  if (int result = WriteCode(conversion, code); result != kResultOk) return result;
  return WriteText(conversion, "\r\n");
}

int WriteHeaderLines(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  int version = FindResource(state, "tver", 1000);
  if (version < 0) version = FindResource(state, "tver", 1);
  int result = WriteStringResource(conversion, "Name: ", FindResource(state, "tAIN", 1000));
  if (result == kResultOk) result = WriteStringResource(conversion, "Version: ", version);
  if (result == kResultOk) result = WriteText(conversion, "Database: ");
  if (result == kResultOk) {
    result =
        WriteHandheldText(conversion, reinterpret_cast<const unsigned char*>(state.databaseName),
                          std::strlen(state.databaseName));
  }
  if (result == kResultOk) result = WriteText(conversion, "\r\n");
  if (result == kResultOk) result = WriteCodeLine(conversion, "Type: ", state.typeCode);
  if (result == kResultOk) result = WriteCodeLine(conversion, "Creator: ", state.creatorCode);
  if (result == kResultOk) result = WriteTime(conversion, "Created", state.creationSeconds);
  if (result == kResultOk) result = WriteTime(conversion, "Modified", state.modificationSeconds);
  if (result == kResultOk) result = WriteTime(conversion, "Backed up", state.backupSeconds);
  return result;
}

}  // namespace

int ConvertApplication(Conversion* conversion) {
  const ArchiveState& state = *conversion->state;
  if (int result = WriteHeaderLines(conversion); result != kResultOk) return result;
  char count[64];
  std::snprintf(count, sizeof count, "Resources: %u\r\n", static_cast<unsigned>(state.recordCount));
  if (int result = WriteText(conversion, count); result != kResultOk) return result;
  for (std::uint32_t i = 0; i < state.recordCount; ++i) {
    if (int result = WriteResourceLine(conversion, i); result != kResultOk) return result;
  }
  return kResultOk;
}

}  // namespace ormidal
