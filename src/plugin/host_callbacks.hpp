// The host's process-data callbacks: set per open database, or with the
// handle -1 for packing on the calling thread, and told of the bytes every
// extraction or pack writes. The host answers 0 to cancel.
#pragma once

#include <atomic>
#include <cstddef>

#include "database/progress.hpp"
#include "plugin/interface.hpp"

namespace ormidal {

using ProcessDataProc = int(ORMIDAL_CALL*)(char* fileName, int size);
using ProcessDataProcW = int(ORMIDAL_CALL*)(char16_t* fileName, int size);

// One database's callbacks. A host may set them from one thread while
// another uses the database, so each is read and written whole.
struct HostCallbacks {
  std::atomic<ProcessDataProc> processData{nullptr};
  std::atomic<ProcessDataProcW> processDataW{nullptr};
};

// The callbacks the calling thread set with the handle -1, for PackFiles:
// hosts pack from background threads, each with its own progress window.
struct PackCallbacks {
  ProcessDataProc processData;
  ProcessDataProcW processDataW;
};
PackCallbacks& ThreadPackCallbacks();

// True for the handle a host passes to set the callbacks of packing.
bool IsPackingHandle(void* handle);

// The file being written, as the host named it: in the 8-bit form, the
// UTF-16 form, or both (either may be null), and always in UTF-8.
struct HostFileName {
  const char* ansi;
  const char16_t* wide;
  const char* utf8;
};

// Passes written bytes to the host, in batches of at most 1 MiB, and the
// rest when Finish is called. The Unicode callback is preferred; a host
// that set neither is never called.
class HostProgress final : public WriteProgress {
 public:
  HostProgress(ProcessDataProc processData, ProcessDataProcW processDataW, HostFileName name);

  bool Written(std::size_t bytes) override;
  // Reports what is still pending, zero bytes included: the host learns
  // that the file is done. False when the host cancelled, now or before.
  bool Finish();

 private:
  bool Report();
  char16_t* WideName();

  ProcessDataProc processData_;
  ProcessDataProcW processDataW_;
  HostFileName name_;
  std::size_t pending_ = 0;
  bool cancelled_ = false;
  bool wideMade_ = false;
  char16_t wideName_[kWideNameUnits];
};

}  // namespace ormidal
