// Paths and names as they cross the boundary: the 8-bit exports' strings
// (on Windows in the code page the system's file functions read them in,
// elsewhere UTF-8 or raw bytes) and the Unicode exports' UTF-16, turned into
// the library's UTF-8. A path that cannot be converted whole is refused,
// never cut or mangled into another file's name.
#pragma once

#include <string>

#include "platform/platform.hpp"

namespace ormidal {

using PathBuffer = char[platform::kPathBufferSize];

// A path from an 8-bit export, at most platform::kPathLimit characters.
bool PathFromHost(const char* path, PathBuffer out);

// A path from a Unicode export: at most platform::kUnicodePathUnits code
// units, without an unpaired surrogate.
bool PathFromWide(const char16_t* path, PathBuffer out);

// The host's list of names, each zero-terminated and the list ended by an
// empty one, converted name by name into a list of the same shape.
bool NameListFromHost(const char* list, std::string* out);
bool NameListFromWide(const char16_t* list, std::string* out);

// The database name a packed text is given, in the handheld's character set:
// the 8-bit export's name as it is on Windows; UTF-8 converted to
// Windows-1252 (a name that is not UTF-8 is taken as it is).
std::string StoredNameFromHost(const char* name);
std::string StoredNameFromUtf8(const char* name);

}  // namespace ormidal
