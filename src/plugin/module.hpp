// The module-wide values: set when the library is loaded and only read
// afterwards, so every thread may read them.
#pragma once

#include <cstddef>

#include "platform/platform.hpp"

namespace ormidal {

struct ModuleValues {
  void* moduleHandle;
  char languageFilePath[platform::kPathBufferSize];
  char settingsFilePath[platform::kPathBufferSize];  // ormidal.ini beside the library
};

ModuleValues& Module();

// Builds "<folder of the library>lang<sep><language><sep>ormidal.ini". The
// folder is the library path cut after its last separator, or after its
// first character when it has none. A result beyond the path limit is not
// cut to another file's name: the path is left empty and the defaults apply.
bool BuildLanguageFilePath(const char* libraryPath, const char* language, char* out,
                           std::size_t size);

// Builds "<folder of the library>ormidal.ini", the folder taken as for the
// language file; an empty path when it would pass the path limit.
bool BuildSettingsFilePath(const char* libraryPath, char* out, std::size_t size);

// True when the settings file asks for compressed documents: the key
// Compress of section ORMIDAL holds a number other than 0, read as the
// profile reader reads whole numbers (its leading digits).
bool CompressSetting(const char* settingsFilePath);

// The entry routine's work: store the handle and rebuild the language path.
void InitializeModule(void* moduleHandle);

}  // namespace ormidal
