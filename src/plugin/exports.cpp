// The functions the host calls: the eight of the interface, their Unicode
// variants and the background declaration. Each one guards the host from
// anything that could escape the library; the work is done in the
// subsystems, on UTF-8 paths.
#include <cstring>
#include <string>

#include "convert/unicode.hpp"
#include "database/archive_state.hpp"
#include "database/recognition.hpp"
#include "pack/packer.hpp"
#include "plugin/archive_handles.hpp"
#include "plugin/host_callbacks.hpp"
#include "plugin/host_params.hpp"
#include "plugin/host_records.hpp"
#include "plugin/host_text.hpp"
#include "plugin/interface.hpp"
#include "plugin/module.hpp"
#include "view/extraction.hpp"
#include "view/listing.hpp"

#if defined(_WIN32)
// The export table comes from the module-definition file.
#define ORMIDAL_EXPORT extern "C"
#else
#define ORMIDAL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using namespace ormidal;

namespace {

void* Open(bool converted, const char* path, std::int32_t* openResult) {
  int result = kResultCannotOpen;
  void* handle = nullptr;
  try {
    if (converted) handle = OpenArchiveHandle(path, &result);
  } catch (...) {
    handle = nullptr;
    result = kResultBadArchive;
  }
  if (openResult != nullptr) *openResult = result;
  return handle;
}

// The next entry of the database `handle` names, its name in `form`.
int NextEntry(void* handle, NameForm form, ListedEntry* entry, std::uint32_t* fileTime) {
  OpenedArchive* archive = FindArchive(handle);
  if (archive == nullptr) return kResultEndOfListing;
  *fileTime = archive->hostFileTime;
  return ReadNextEntry(&archive->state, Module().languageFilePath, form, entry);
}

// A written entry is reported to the host to its last byte, and then
// carries the time the listing gave it, as an archive's files do. A host
// that cancels, even at the last report, is left nothing.
int FinishWritten(int result, HostProgress* progress, const char* destination,
                  std::uint32_t entryTime) {
  if (result != kResultOk && result != kResultBadData) return result;
  if (!progress->Finish()) {
    platform::RemoveRegularFile(destination);
    return kResultAborted;
  }
  // A time that cannot be set leaves the entry as it is: its bytes are
  // what was asked for.
  platform::SetModificationTime(destination, entryTime);
  return result;
}

// `destination` is null when the host's path could not be converted.
int Process(void* handle, int operation, const char* destination, HostFileName name) {
  OpenedArchive* archive = FindArchive(handle);
  if (archive == nullptr) return kResultBadArchive;
  if (operation == kOperationSkip || operation == kOperationTest) return kResultOk;
  if (destination == nullptr) return kResultCannotCreate;
  name.utf8 = destination;
  HostProgress progress(archive->callbacks.processData.load(),
                        archive->callbacks.processDataW.load(), name);
  int result = ExtractEntry(archive->state, operation, destination, &progress);
  return FinishWritten(result, &progress, destination, archive->hostFileTime);
}

// The source as the host names it to the user: its folder and first name.
template <typename Char>
std::basic_string<Char> SourceName(const Char* folder, const Char* names) {
  std::basic_string<Char> joined;
  if (folder != nullptr) joined = folder;
  if (names != nullptr) joined += names;
  return joined;
}

// Sources that cannot be converted still leave the list and the target to
// be checked first, as for any source that cannot be opened.
// The setting is read at each packing, so that a change to it needs no restart.
int Pack(bool targetConverted, const char* target, bool sourcesConverted, const char* folder,
         const std::string& names, const std::string& storedName, HostFileName source, int flags) {
  if (!targetConverted) return kResultCannotCreate;
  if (!sourcesConverted) return PackTextFile(target, nullptr, names.c_str());
  std::string sourcePath = std::string(folder) + names.c_str();
  source.utf8 = sourcePath.c_str();
  const PackCallbacks& callbacks = ThreadPackCallbacks();
  HostProgress progress(callbacks.processData, callbacks.processDataW, source);
  PackOptions options;
  options.compress = (flags & kPackFlagCompress) != 0 || CompressSetting(Module().settingsFilePath);
  options.progress = &progress;
  int result = PackTextFile(target, folder, names.c_str(), storedName.c_str(), options);
  if (result != kResultOk) return result;
  if (progress.Finish()) return kResultOk;
  platform::RemoveRegularFile(target);
  return kResultAborted;
}

template <typename Proc>
void SetProc(void* handle, void* proc, std::atomic<Proc> HostCallbacks::*slot,
             Proc PackCallbacks::*packSlot) {
  if (IsPackingHandle(handle)) {
    ThreadPackCallbacks().*packSlot = reinterpret_cast<Proc>(proc);
    return;
  }
  OpenedArchive* archive = FindArchive(handle);
  if (archive != nullptr) (archive->callbacks.*slot).store(reinterpret_cast<Proc>(proc));
}

bool NamesSeveralFiles(const char16_t* list) {
  if (list == nullptr || list[0] == 0) return false;
  while (*list != 0) ++list;
  return list[1] != 0;
}

}  // namespace

ORMIDAL_EXPORT int ORMIDAL_CALL GetPackerCaps() { return kPackerCaps; }

ORMIDAL_EXPORT int ORMIDAL_CALL GetBackgroundFlags() { return kBackgroundFlags; }

ORMIDAL_EXPORT void* ORMIDAL_CALL OpenArchive(OpenArchiveRequest* request) {
  PathBuffer path;
  bool converted = request != nullptr && PathFromHost(request->archiveName, path);
  return Open(converted, path, request != nullptr ? &request->openResult : nullptr);
}

ORMIDAL_EXPORT void* ORMIDAL_CALL OpenArchiveW(OpenArchiveRequestW* request) {
  PathBuffer path;
  bool converted = request != nullptr && PathFromWide(request->archiveName, path);
  return Open(converted, path, request != nullptr ? &request->openResult : nullptr);
}

ORMIDAL_EXPORT int ORMIDAL_CALL ReadHeader(void* handle, EntryHeader* header) {
  try {
    if (header == nullptr) return kResultEndOfListing;
    ListedEntry entry;
    std::uint32_t fileTime = 0;
    int result = NextEntry(handle, kHostNames, &entry, &fileTime);
    if (result == kResultOk) FillEntryHeader(entry, fileTime, header);
    return result;
  } catch (...) {
    return kResultEndOfListing;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ReadHeaderExW(void* handle, EntryHeaderExW* header) {
  try {
    if (header == nullptr) return kResultEndOfListing;
    ListedEntry entry;
    std::uint32_t fileTime = 0;
    int result = NextEntry(handle, kUnicodeNames, &entry, &fileTime);
    if (result == kResultOk) FillEntryHeaderExW(entry, fileTime, header);
    return result;
  } catch (...) {
    return kResultEndOfListing;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ProcessFile(void* handle, int operation, char*, char* destName) {
  try {
    PathBuffer destination;
    bool converted = PathFromHost(destName, destination);
    return Process(handle, operation, converted ? destination : nullptr,
                   HostFileName{destName, nullptr, nullptr});
  } catch (...) {
    return kResultWriteError;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ProcessFileW(void* handle, int operation, char16_t*,
                                             char16_t* destName) {
  try {
    PathBuffer destination;
    bool converted = PathFromWide(destName, destination);
    return Process(handle, operation, converted ? destination : nullptr,
                   HostFileName{nullptr, destName, nullptr});
  } catch (...) {
    return kResultWriteError;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL CloseArchive(void* handle) {
  try {
    CloseArchiveHandle(handle);
  } catch (...) {
  }
  return kResultOk;
}

ORMIDAL_EXPORT int ORMIDAL_CALL PackFiles(char* packedFile, char*, char* sourcePath, char* addList,
                                          int flags) {
  try {
    if (NamesSeveralFiles(addList)) return kResultTooManyFiles;
    PathBuffer target, folder;
    std::string names;
    bool targetConverted = PathFromHost(packedFile, target);
    bool sourcesConverted = PathFromHost(sourcePath != nullptr ? sourcePath : "", folder) &&
                            NameListFromHost(addList != nullptr ? addList : "", &names);
    std::string storedName = StoredNameFromHost(addList != nullptr ? addList : "");
    std::string source = SourceName(sourcePath, addList);
    return Pack(targetConverted, target, sourcesConverted, folder, names, storedName,
                HostFileName{source.c_str(), nullptr, nullptr}, flags);
  } catch (...) {
    return kResultWriteError;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL PackFilesW(char16_t* packedFile, char16_t*, char16_t* sourcePath,
                                           char16_t* addList, int flags) {
  try {
    if (NamesSeveralFiles(addList)) return kResultTooManyFiles;
    static const char16_t kEmpty[2] = {0, 0};
    PathBuffer target, folder;
    std::string names;
    bool targetConverted = PathFromWide(packedFile, target);
    bool sourcesConverted = PathFromWide(sourcePath != nullptr ? sourcePath : kEmpty, folder) &&
                            NameListFromWide(addList != nullptr ? addList : kEmpty, &names);
    std::string storedName = sourcesConverted ? StoredNameFromUtf8(names.c_str()) : "";
    std::u16string source = SourceName(sourcePath, addList);
    return Pack(targetConverted, target, sourcesConverted, folder, names, storedName,
                HostFileName{nullptr, source.c_str(), nullptr}, flags);
  } catch (...) {
    return kResultWriteError;
  }
}

// A database is one file: the plug-in never asks for another volume.
ORMIDAL_EXPORT void ORMIDAL_CALL SetChangeVolProc(void*, void*) {}
ORMIDAL_EXPORT void ORMIDAL_CALL SetChangeVolProcW(void*, void*) {}

ORMIDAL_EXPORT void ORMIDAL_CALL SetProcessDataProc(void* handle, void* proc) {
  try {
    SetProc(handle, proc, &HostCallbacks::processData, &PackCallbacks::processData);
  } catch (...) {
  }
}

ORMIDAL_EXPORT void ORMIDAL_CALL SetProcessDataProcW(void* handle, void* proc) {
  try {
    SetProc(handle, proc, &HostCallbacks::processDataW, &PackCallbacks::processDataW);
  } catch (...) {
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL CanYouHandleThisFile(char* fileName) {
  try {
    PathBuffer path;
    return PathFromHost(fileName, path) && FileLooksLikeDatabase(path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL CanYouHandleThisFileW(char16_t* fileName) {
  try {
    PathBuffer path;
    return PathFromWide(fileName, path) && FileLooksLikeDatabase(path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ORMIDAL_EXPORT void ORMIDAL_CALL PackSetDefaultParams(PackDefaultParams* params) {
  try {
    KeepHostParams(params);
  } catch (...) {
  }
}
