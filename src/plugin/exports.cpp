// The eight functions the host calls. Each one guards the host from anything
// that could escape the library; the work is done in the subsystems.
#include <cstring>

#include "convert/converters.hpp"
#include "database/archive_state.hpp"
#include "pack/packer.hpp"
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

void* Handle() { return Archive().archivePath; }

}  // namespace

ORMIDAL_EXPORT int ORMIDAL_CALL GetPackerCaps() { return kPackerCaps; }

ORMIDAL_EXPORT void* ORMIDAL_CALL OpenArchive(OpenArchiveRequest* request) {
  try {
    int result = OpenDatabase(request != nullptr ? request->archiveName : nullptr, &Archive());
    if (request != nullptr) request->openResult = result;
    return result == kResultOk ? Handle() : nullptr;
  } catch (...) {
    ClearArchiveState(&Archive());
    Archive().listPosition = 0;
    if (request != nullptr) request->openResult = kResultBadArchive;
    return nullptr;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ReadHeader(void*, EntryHeader* header) {
  try {
    if (header == nullptr) return kResultEndOfListing;
    return ReadNextEntry(&Archive(), Module().languageFilePath, header);
  } catch (...) {
    return kResultEndOfListing;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL ProcessFile(void*, int operation, char*, char* destName) {
  try {
    return ExtractEntry(Archive(), operation, destName);
  } catch (...) {
    return kResultWriteError;
  }
}

ORMIDAL_EXPORT int ORMIDAL_CALL CloseArchive(void*) {
  ClearArchiveState(&Archive());
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
