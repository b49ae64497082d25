#include "plugin/module.hpp"

#include <cstdio>
#include <cstring>

namespace ormidal {

ModuleValues& Module() {
  static ModuleValues values;
  return values;
}

bool BuildLanguageFilePath(const char* libraryPath, const char* language, char* out,
                           std::size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  std::size_t length = std::strlen(libraryPath);
  if (length == 0) return false;
  const char* lastSeparator = std::strrchr(libraryPath, platform::kSeparator);
  std::size_t folderLength =
      lastSeparator != nullptr ? static_cast<std::size_t>(lastSeparator - libraryPath) + 1 : 1;
  const char sep[2] = {platform::kSeparator, '\0'};
  int written = std::snprintf(out, size, "%.*slang%s%s%sormidal.ini",
                              static_cast<int>(folderLength), libraryPath, sep, language, sep);
  if (written < 0 || static_cast<std::size_t>(written) > platform::kLongPathLimit ||
      static_cast<std::size_t>(written) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool BuildSettingsFilePath(const char* libraryPath, char* out, std::size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  std::size_t length = std::strlen(libraryPath);
  if (length == 0) return false;
  const char* lastSeparator = std::strrchr(libraryPath, platform::kSeparator);
  std::size_t folderLength =
      lastSeparator != nullptr ? static_cast<std::size_t>(lastSeparator - libraryPath) + 1 : 1;
  int written =
      std::snprintf(out, size, "%.*sormidal.ini", static_cast<int>(folderLength), libraryPath);
  if (written < 0 || static_cast<std::size_t>(written) > platform::kLongPathLimit ||
      static_cast<std::size_t>(written) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool CompressSetting(const char* settingsFilePath) {
  if (settingsFilePath == nullptr || settingsFilePath[0] == '\0') return false;
  char value[16];
  platform::ReadProfileString("ORMIDAL", "Compress", "0", platform::ProfileText::kUtf8, value,
                              sizeof value, settingsFilePath);
  for (const char* digit = value; *digit >= '0' && *digit <= '9'; ++digit) {
    if (*digit != '0') return true;
  }
  return false;
}

void InitializeModule(void* moduleHandle) {
  ModuleValues& module = Module();
  module.moduleHandle = moduleHandle;
  char language[3];
  platform::UserLanguage(language);
  char libraryPath[platform::kPathBufferSize];
  if (!platform::OwnLibraryPath(moduleHandle, libraryPath, sizeof libraryPath)) {
    module.languageFilePath[0] = '\0';
    module.settingsFilePath[0] = '\0';
    return;
  }
  BuildSettingsFilePath(libraryPath, module.settingsFilePath, sizeof module.settingsFilePath);
  BuildLanguageFilePath(libraryPath, language, module.languageFilePath,
                        sizeof module.languageFilePath);
}

}  // namespace ormidal
