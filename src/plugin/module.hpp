// The module-wide values: set when the library is loaded and only read
// afterwards, so every thread may read them.
#pragma once

#include <cstddef>

#include "platform/platform.hpp"

namespace ormidal {

struct ModuleValues {
  void* moduleHandle;
  char languageFilePath[platform::kPathBufferSize];
};

ModuleValues& Module();

// Builds "<folder of the library>lang<sep><language><sep>ormidal.ini". The
// folder is the library path cut after its last separator, or after its
// first character when it has none. A result beyond the path limit is not
// cut to another file's name: the path is left empty and the defaults apply.
bool BuildLanguageFilePath(const char* libraryPath, const char* language, char* out,
                           std::size_t size);

// The entry routine's work: store the handle and rebuild the language path.
void InitializeModule(void* moduleHandle);

}  // namespace ormidal
