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

// Matches one bracket set starting at pattern[p] == '['; sets `next` to the
// position after the closing bracket. A set without one is a literal '['.
bool MatchSet(const std::string& pattern, std::size_t p, char c, std::size_t* next) {
  std::size_t i = p + 1;
  bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  bool matched = false;
  std::size_t first = i;
  while (i < pattern.size() && (pattern[i] != ']' || i == first)) {
    char low = Normalised(pattern[i]);
    char high = low;
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      high = Normalised(pattern[i + 2]);
      i += 2;
    }
    if (c >= low && c <= high) matched = true;
    ++i;
  }
  if (i >= pattern.size()) {
    *next = p + 1;
    return c == '[';
  }
  *next = i + 1;
  return matched != negated;
}

// Iterative matching with one backtrack point for the last '*': linear in
// practice and never recursive, whatever the pattern.
bool MatchFrom(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    std::size_t next = p + 1;
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
      continue;
    }
    bool step = false;
    if (p < pattern.size()) {
      if (pattern[p] == '?') {
        step = true;
      } else if (pattern[p] == '[') {
        step = MatchSet(pattern, p, name[n], &next);
      } else {
        step = Normalised(pattern[p]) == name[n];
      }
    }
    if (step) {
      p = next;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    }
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
