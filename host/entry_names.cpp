#include "entry_names.hpp"

#include <cstdio>
#include <ctime>
#include <vector>

namespace ormidal::host {
namespace {

bool IsSlash(char c) { return c == '/' || c == '\\'; }

// One separator and then a name: an entry at the archive's root.
bool BeginsAtRoot(const std::string& name) {
  return name.size() >= 2 && IsSlash(name[0]) && !IsSlash(name[1]);
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (IsSlash(c)) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

bool StartsWithDriveLetter(const std::string& part) {
  return part.size() >= 2 && IsLetter(part[0]) && part[1] == ':';
}

char Normalised(char c) { return c == '\\' ? '/' : c; }

// The length in bytes of the UTF-8 sequence that starts at text[at]: 1 for
// a byte that begins none, which then counts as a character of its own.
// Overlong forms, surrogates and values past U+10FFFF begin none.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 1;
  if (length == 1 || at + length > text.size()) return 1;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(at + k) >> 6) != 2) return 1;
  }
  unsigned char second = byte(at + 1);
  bool shortest = (lead != 0xE0 || second >= 0xA0) && (lead != 0xF0 || second >= 0x90);
  bool inRange = (lead != 0xED || second < 0xA0) && (lead != 0xF4 || second < 0x90);
  return shortest && inRange ? length : 1;
}

// The character at text[at] as a number that orders like its code point,
// and its length; '\\' counts as '/'.
std::uint32_t CharacterAt(const std::string& text, std::size_t at, std::size_t* length) {
  *length = SequenceLength(text, at);
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (*length == 1) return static_cast<unsigned char>(Normalised(text[at]));
  std::uint32_t value = byte(at) & (0x7F >> *length);
  for (std::size_t k = 1; k < *length; ++k) value = (value << 6) | (byte(at + k) & 0x3F);
  return value;
}

// Matches one bracket set starting at pattern[p] == '[' against the
// character `c`; sets `next` to the position after the closing bracket. A
// set without one is a literal '['.
bool MatchSet(const std::string& pattern, std::size_t p, std::uint32_t c, std::size_t* next) {
  std::size_t i = p + 1;
  bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  bool matched = false;
  std::size_t first = i;
  while (i < pattern.size() && (pattern[i] != ']' || i == first)) {
    std::size_t length;
    std::uint32_t low = CharacterAt(pattern, i, &length);
    std::uint32_t high = low;
    i += length;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      high = CharacterAt(pattern, i + 1, &length);
      i += 1 + length;
    }
    if (c >= low && c <= high) matched = true;
  }
  if (i >= pattern.size()) {
    *next = p + 1;
    return c == '[';
  }
  *next = i + 1;
  return matched != negated;
}

// Iterative matching with one backtrack point for the last '*': linear in
// practice and never recursive, whatever the pattern. '?' and a set take a
// whole UTF-8 character of the name, and '*' gives back one at a time, so
// a name is only ever cut between characters.
bool MatchFrom(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    std::size_t next = p + 1;
    std::size_t taken = 1;
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
      continue;
    }
    bool step = false;
    if (p < pattern.size()) {
      if (pattern[p] == '?') {
        step = true;
        taken = SequenceLength(name, n);
      } else if (pattern[p] == '[') {
        step = MatchSet(pattern, p, CharacterAt(name, n, &taken), &next);
      } else {
        step = Normalised(pattern[p]) == name[n];
      }
    }
    if (step) {
      p = next;
      n += taken;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      starN += SequenceLength(name, starN);
      n = starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = SequenceLength(text, i);
    if (length == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return false;
    i += length;
  }
  return true;
}

void AppendEscape(std::string* out, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", value);
  *out += buffer;
}

struct ClockFields {
  int year, month, day, hour, minute, second;
};

ClockFields FromTm(const std::tm& t) {
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

#if defined(_WIN32)
ClockFields LocalFields(std::uint32_t dosTime) {
  return {static_cast<int>(dosTime >> 25) + 1980,   static_cast<int>((dosTime >> 21) & 0xF),
          static_cast<int>((dosTime >> 16) & 0x1F), static_cast<int>((dosTime >> 11) & 0x1F),
          static_cast<int>((dosTime >> 5) & 0x3F),  static_cast<int>((dosTime & 0x1F) * 2)};
}

// The local date-time placed on the time line by the machine's zone rules.
bool UtcFields(std::uint32_t dosTime, ClockFields* out) {
  ClockFields local = LocalFields(dosTime);
  std::tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;
  std::time_t seconds = std::mktime(&fields);
  if (seconds == static_cast<std::time_t>(-1)) return false;
  const std::tm* utc = std::gmtime(&seconds);
  if (utc == nullptr) return false;
  *out = FromTm(*utc);
  return true;
}
#else
ClockFields LocalFields(std::uint32_t unixTime) {
  std::time_t seconds = static_cast<std::int32_t>(unixTime);
  std::tm fields{};
  if (localtime_r(&seconds, &fields) == nullptr) return {1970, 1, 1, 0, 0, 0};
  return FromTm(fields);
}

bool UtcFields(std::uint32_t unixTime, ClockFields* out) {
  std::time_t seconds = static_cast<std::int32_t>(unixTime);
  std::tm fields{};
  if (gmtime_r(&seconds, &fields) == nullptr) return false;
  *out = FromTm(fields);
  return true;
}
#endif

}  // namespace

std::string DisplayName(const std::string& entryName) {
  std::string shown;
  AppendDisplayName(&shown, entryName);
  return shown;
}

std::string RootRelativeName(const std::string& entryName) {
  return BeginsAtRoot(entryName) ? entryName.substr(1) : entryName;
}

bool IsContainedName(const std::string& entryName) {
  std::string name = RootRelativeName(entryName);
  if (name.empty() || IsSlash(name[0])) return false;
  for (const std::string& part : Components(name)) {
    if (part == ".." || StartsWithDriveLetter(part)) return false;
  }
  return true;
}

bool MatchesPattern(const std::string& pattern, const std::string& displayName) {
  return MatchFrom(pattern, displayName);
}

std::string FileTitle(const std::string& name) {
  std::size_t cut = name.find_last_of("/\\");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string ListingTime(std::uint32_t fileTime) {
  ClockFields t = LocalFields(fileTime);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  return buffer;
}

std::string IsoTime(std::uint32_t fileTime) {
  ClockFields t;
  if (!UtcFields(fileTime, &t)) return "";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}

std::string JsonString(const std::string& text) {
  std::string out;
  AppendJsonString(&out, text);
  return out;
}

void AppendDecimal(std::string* out, std::uint64_t value, std::size_t width) {
  char digits[20];
  std::size_t count = 0;
  do {
    digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (width > count) out->append(width - count, ' ');
  out->append(digits + sizeof digits - count, count);
}

void AppendDisplayName(std::string* out, const std::string& entryName) {
  std::size_t at = out->size();
  out->append(entryName, BeginsAtRoot(entryName) ? 1 : 0);
  for (std::size_t i = at; i < out->size(); ++i) (*out)[i] = Normalised((*out)[i]);
}

void AppendJsonString(std::string* out, const std::string& text) {
  bool utf8 = IsUtf8(text);
  *out += '"';
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += c;
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
      AppendEscape(out, byte);
    } else {
      *out += c;
    }
  }
  *out += '"';
}

}  // namespace ormidal::host
