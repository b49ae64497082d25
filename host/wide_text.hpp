// The command works in UTF-8 on every platform; Windows gives it its
// arguments and takes its paths in UTF-16. The conversions here lose
// nothing either way, so a file name Windows gave is the one it gets back.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace ormidal::host {

// UTF-16 to UTF-8. A surrogate without its partner, which Windows allows in
// file names, is written as the three bytes UTF-8 gives its value, so that
// Utf16FromUtf8 restores it.
std::string Utf8FromUtf16(std::u16string_view text);

// UTF-8 to UTF-16, undoing Utf8FromUtf16. A byte that begins no valid
// sequence becomes the lone surrogate U+DC00 + byte: never a character, so
// it cannot name another file, and the plug-in refuses a path holding it.
std::u16string Utf16FromUtf8(std::string_view text);

#if defined(_WIN32)
// The same, in the wchar_t strings of the Windows functions.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

// A path the command holds in UTF-8 (on POSIX: the bytes as given) as the
// file system's own, and back.
std::filesystem::path NativePath(const std::string& path);
std::string PathText(const std::filesystem::path& path);

// std::fopen for a path in UTF-8.
std::FILE* OpenFile(const std::string& path, const char* mode);

}  // namespace ormidal::host
