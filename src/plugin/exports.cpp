// The functions the host calls. Each one guards the host from anything that
// could escape the library; the work is done in the subsystems.
#include <cstring>

#include "database/archive_state.hpp"
#include "pack/packer.hpp"
#include "plugin/archive_handles.hpp"
#include "plugin/host_records.hpp"
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

ORMIDAL_EXPORT int ORMIDAL_CALL GetPackerCaps() { return kPackerCaps; }

ORMIDAL_EXPORT void* ORMIDAL_CALL OpenArchive(OpenArchiveRequest* request) {
  int result = kResultBadArchive;
  void* handle = nullptr;
  try {
    handle = OpenArchiveHandle(request != nullptr ? request->archiveName : nullptr, &result);
  } catch (...) {
    handle = nullptr;
    result = kResultBadArchive;
  }
  if (request != nullptr) request->openResult = result;
  return handle;
}

ORMIDAL_EXPORT int ORMIDAL_CALL ReadHeader(void* handle, EntryHeader* header) {
  try {
    OpenedArchive* archive = FindArchive(handle);
    if (archive == nullptr || header == nullptr) return kResultEndOfListing;
    ListedEntry entry;
    int result = ReadNextEntry(&archive->state, Module().languageFilePath, &entry);
    if (result == kResultOk) FillEntryHeader(entry, archive->hostFileTime, header);
    return result;
  } catch (...) {
    return kResultEndOfListing;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ProcessFile(void* handle, int operation, char*, char* destName) {
  try {
    OpenedArchive* archive = FindArchive(handle);
    if (archive == nullptr) return kResultBadArchive;
    return ExtractEntry(archive->state, operation, destName);
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
                                          int) {
  try {
    return PackTextFile(packedFile, sourcePath, addList);
  } catch (...) {
    return kResultWriteError;
  }
}

// The plug-in never reports progress and never asks for another volume.
ORMIDAL_EXPORT void ORMIDAL_CALL SetChangeVolProc(void*, void*) {}
ORMIDAL_EXPORT void ORMIDAL_CALL SetProcessDataProc(void*, void*) {}
