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
// recognises its files by their content (64), may be searched inside (128),
// opened as an archive only on the user's request (256).
inline constexpr int kPackerCaps = 1 + 4 + 64 + 128 + 256;

// What the host tells the plug-in of itself once it is loaded.
struct PackDefaultParams {
  std::int32_t size;  // of the record as the host knows it
  std::uint32_t interfaceVersionLow;
  std::uint32_t interfaceVersionHigh;
  char defaultIniName[260];
};
static_assert(sizeof(PackDefaultParams) == 272);

// A bit of PackFiles' flags of this plug-in's own, above those a host sets:
// the ormidal command asks with it for a compressed document. Without it
// the setting Compress of ormidal.ini beside the library decides.
inline constexpr int kPackFlagCompress = 0x10000;

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

// The Unicode records. Text is UTF-16 on every platform, Linux included.
struct OpenArchiveRequestW {
  const char16_t* archiveName;
  std::int32_t openMode;
  std::int32_t openResult;
  // The host's record goes on; those fields are neither read nor written.
};

inline constexpr std::size_t kWideNameUnits = 1024;

// The host's Unicode entry record, packed. The plug-in writes its first
// 4140 bytes; what follows differs between hosts and platforms and is
// never touched.
#pragma pack(push, 1)
struct EntryHeaderExW {
  char16_t archiveName[kWideNameUnits];
  char16_t fileName[kWideNameUnits];
  std::int32_t flags;
  std::uint32_t packedSizeLow;
  std::uint32_t packedSizeHigh;
  std::uint32_t unpackedSizeLow;
  std::uint32_t unpackedSizeHigh;
  std::int32_t hostOs;
  std::int32_t fileCrc;
  std::uint32_t fileTime;
  std::int32_t unpackVersion;
  std::int32_t method;
  std::int32_t fileAttributes;
};
#pragma pack(pop)

static_assert(sizeof(EntryHeaderExW) == 4140, "the plug-in writes 4140 bytes of the record");
static_assert(offsetof(EntryHeaderExW, fileName) == 2048);
static_assert(offsetof(EntryHeaderExW, flags) == 4096);
static_assert(offsetof(EntryHeaderExW, packedSizeLow) == 4100);
static_assert(offsetof(EntryHeaderExW, packedSizeHigh) == 4104);
static_assert(offsetof(EntryHeaderExW, unpackedSizeLow) == 4108);
static_assert(offsetof(EntryHeaderExW, unpackedSizeHigh) == 4112);
static_assert(offsetof(EntryHeaderExW, hostOs) == 4116);
static_assert(offsetof(EntryHeaderExW, fileCrc) == 4120);
static_assert(offsetof(EntryHeaderExW, fileTime) == 4124);
static_assert(offsetof(EntryHeaderExW, unpackVersion) == 4128);
static_assert(offsetof(EntryHeaderExW, method) == 4132);
static_assert(offsetof(EntryHeaderExW, fileAttributes) == 4136);
static_assert(offsetof(OpenArchiveRequestW, openResult) == sizeof(void*) + 4);

// GetBackgroundFlags: extraction (1) and packing (2) may run in background
// threads.
inline constexpr int kBackgroundFlags = 1 | 2;

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
