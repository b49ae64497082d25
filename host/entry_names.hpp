// What the host makes of the entry names the plug-in lists: where they may
// be written, which ones a pattern selects, and how they are shown.
#pragma once

#include <cstdint>
#include <string>

namespace ormidal::host {

// The plug-in separates folders with backslashes; the host shows and matches
// names with forward slashes on every platform.
std::string DisplayName(const std::string& entryName);

// True when `entryName` stays inside the folder it is extracted to: not
// empty, not absolute, no drive letter, no ".." component. Both slash kinds
// count as separators.
bool IsContainedName(const std::string& entryName);

// Shell-style matching of a whole name: * any run of characters (slashes
// included), ? one character, [abc], [a-z], [!a] or [^a] one of a set.
// A backslash in the pattern is a folder separator, like a slash.
bool MatchesPattern(const std::string& pattern, const std::string& displayName);

// The last folder component of a name, after either kind of slash.
std::string FileTitle(const std::string& name);

// "YYYY-MM-DD HH:MM" and ISO 8601 "YYYY-MM-DDTHH:MM:SS" of a packed DOS
// date-time.
std::string ListingTime(std::uint32_t dosTime);
std::string IsoTime(std::uint32_t dosTime);

// A JSON string literal, quotes included. Names that are not valid UTF-8
// are taken as Latin-1, so the output is always valid JSON.
std::string JsonString(const std::string& text);

// The appending forms below build a long listing in one buffer without a
// string per field: a listing can have 65537 lines.

// `value` in decimal, right-aligned in `width` columns as printf's "%*llu"
// does: never cut short when it is wider.
void AppendDecimal(std::string* out, std::uint64_t value, std::size_t width = 0);

// DisplayName(entryName), appended.
void AppendDisplayName(std::string* out, const std::string& entryName);

// JsonString(text), appended.
void AppendJsonString(std::string* out, const std::string& text);

}  // namespace ormidal::host
