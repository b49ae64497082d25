// What the host makes of the entry names the plug-in lists: where they may
// be written, which ones a pattern selects, and how they are shown.
#pragma once

#include <cstdint>
#include <string>

namespace ormidal::host {

// The plug-in separates folders with its platform's separator; the host
// shows and matches names with forward slashes on every platform. One
// leading separator stands for the archive's root (an entry in a folder
// whose name the language file left empty) and is dropped: such an entry is
// shown, matched and extracted at the top.
std::string DisplayName(const std::string& entryName);

// The name below the archive's root: without its one leading separator,
// when it has exactly one. Two or more are left, for IsContainedName to refuse.
std::string RootRelativeName(const std::string& entryName);

// True when `entryName` stays inside the folder it is extracted to: not
// empty, not absolute (beyond the one leading separator of the root), no
// drive letter, no ".." component. Both slash kinds count as separators.
bool IsContainedName(const std::string& entryName);

// Shell-style matching of a whole name: * any run of characters (slashes
// included), ? one character, [abc], [a-z], [!a] or [^a] one of a set.
// A backslash in the pattern is a folder separator, like a slash.
bool MatchesPattern(const std::string& pattern, const std::string& displayName);

// The last folder component of a name, after either kind of slash.
std::string FileTitle(const std::string& name);

// An entry's time as the plug-in gives it on this platform: on Windows a
// packed DOS date-time on the local clock, elsewhere a Unix time (signed
// 32-bit). ListingTime shows it on the local clock as "YYYY-MM-DD HH:MM";
// IsoTime gives it in UTC as ISO 8601 "YYYY-MM-DDTHH:MM:SSZ".
std::string ListingTime(std::uint32_t fileTime);
std::string IsoTime(std::uint32_t fileTime);

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
