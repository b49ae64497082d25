// The host's packer-plug-in interface: the records it exchanges with the
// plug-in, the result codes, and the calling convention of the exports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "database/result.hpp"

#if defined(_WIN32) && defined(__i386__)
#define ORMIDAL_CALL __attribute__((stdcall))
#else
#define ORMIDAL_CALL
#endif

namespace ormidal {

// Capability mask: creates new archives (1), holds several entries (4),
// opened as an archive only on the user's request (256).
inline constexpr int kPackerCaps = 1 + 4 + 256;

struct OpenArchiveRequest {
  const char* archiveName;
  std::int32_t openMode;
  std::int32_t openResult;
  // The host's record goes on; those fields are neither read nor written.
};

struct EntryHeader {
  char archiveName[260];
  char fileName[260];
  std::int32_t flags;
  std::uint32_t packedSize;
  std::uint32_t unpackedSize;
  std::int32_t hostOs;
  std::int32_t fileCrc;
  std::uint32_t fileTime;
  std::int32_t unpackVersion;
  std::int32_t method;
  std::int32_t fileAttributes;
  char remainingHostFields[16];
};

static_assert(sizeof(EntryHeader) == 572, "EntryHeader is a 572-byte host record");
static_assert(offsetof(EntryHeader, fileName) == 260);
static_assert(offsetof(EntryHeader, packedSize) == 524);
static_assert(offsetof(EntryHeader, unpackedSize) == 528);
static_assert(offsetof(EntryHeader, fileTime) == 540);
static_assert(offsetof(EntryHeader, fileAttributes) == 552);
static_assert(offsetof(OpenArchiveRequest, archiveName) == 0);
static_assert(offsetof(OpenArchiveRequest, openMode) == sizeof(void*));
static_assert(offsetof(OpenArchiveRequest, openResult) == sizeof(void*) + 4);

}  // namespace ormidal
