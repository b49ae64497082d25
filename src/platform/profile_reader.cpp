#include "platform/profile_reader.hpp"

#include <cstring>

namespace ormidal::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void Trim(const char** text, std::size_t* length) {
  while (*length > 0 && IsBlank(**text)) {
    ++*text;
    --*length;
  }
  while (*length > 0 && IsBlank((*text)[*length - 1])) --*length;
}

bool EqualsIgnoringCase(const char* text, std::size_t length, const char* name) {
  if (std::strlen(name) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (Lower(text[i]) != Lower(name[i])) return false;
  }
  return true;
}

void StripMatchingQuotes(const char** text, std::size_t* length) {
  if (*length >= 2) {
    char first = (*text)[0];
    if ((first == '"' || first == '\'') && (*text)[*length - 1] == first) {
      ++*text;
      *length -= 2;
    }
  }
}

}  // namespace

bool ProfileLookup::FeedLine(const char* line, std::size_t length) {
  if (found_) return true;
  if (firstLine_) {
    firstLine_ = false;
    if (length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
      line += 3;
      length -= 3;
    }
  }
  Trim(&line, &length);
  if (length == 0 || line[0] == ';') return false;
  if (line[0] == '[') {
    const char* end = static_cast<const char*>(std::memchr(line, ']', length));
    if (end == nullptr) return false;
    const char* name = line + 1;
    std::size_t nameLength = static_cast<std::size_t>(end - name);
    Trim(&name, &nameLength);
    // Only the first section of the name counts, as on Windows.
    if (inSection_) sectionDone_ = true;
    inSection_ = !sectionDone_ && EqualsIgnoringCase(name, nameLength, section_);
    return sectionDone_;
  }
  if (!inSection_) return false;
  const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
  if (equals == nullptr) return false;
  const char* name = line;
  std::size_t nameLength = static_cast<std::size_t>(equals - line);
  Trim(&name, &nameLength);
  if (!EqualsIgnoringCase(name, nameLength, key_)) return false;
  const char* value = equals + 1;
  std::size_t valueLength = static_cast<std::size_t>(line + length - value);
  Trim(&value, &valueLength);
  StripMatchingQuotes(&value, &valueLength);
  value_ = value;
  valueLength_ = valueLength;
  found_ = true;
  return true;
}

std::size_t StoreProfileAnswer(const char* value, std::size_t length, char* buffer,
                               std::size_t size) {
  if (size == 0) return 0;
  std::size_t stored = length < size - 1 ? length : size - 1;
  std::memcpy(buffer, value, stored);
  buffer[stored] = '\0';
  return stored;
}

}  // namespace ormidal::platform
