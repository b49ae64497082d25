#include "plugin/archive_handles.hpp"

#include <cstdint>
#include <mutex>
#include <new>

#include "database/result.hpp"
#include "plugin/host_records.hpp"

namespace ormidal {
namespace {

// A handle packs the slot's number plus one (never zero, so never null) in
// its low bits and the slot's generation above them. Closing a slot moves
// its generation on, so an old handle to a reused slot no longer matches.
constexpr unsigned kSlotBits = 11;
constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr std::uint32_t kGenerationMask = 0xFFFFFFFFu >> kSlotBits;
static_assert(kMaxOpenArchives < (1u << kSlotBits));

struct Slot {
  OpenedArchive* archive = nullptr;
  std::uint32_t generation = 0;
};

// Only the table of slots is shared; every open database belongs to its
// handle.
class HandleTable {
 public:
  ~HandleTable() {
    for (Slot& slot : slots_) delete slot.archive;
  }

  void* Add(OpenedArchive* archive) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (unsigned tried = 0; tried < kMaxOpenArchives; ++tried) {
      unsigned index = (next_ + tried) % kMaxOpenArchives;
      if (slots_[index].archive != nullptr) continue;
      slots_[index].archive = archive;
      // Slots are taken in turn, so a handle just closed is not given out
      // again at once.
      next_ = (index + 1) % kMaxOpenArchives;
      return Encode(index, slots_[index].generation);
    }
    return nullptr;
  }

  OpenedArchive* Find(void* handle) {
    unsigned index;
    if (!Decode(handle, &index)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    return Matches(handle, index) ? slots_[index].archive : nullptr;
  }

  OpenedArchive* Remove(void* handle) {
    unsigned index;
    if (!Decode(handle, &index)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Matches(handle, index)) return nullptr;
    OpenedArchive* archive = slots_[index].archive;
    slots_[index].archive = nullptr;
    slots_[index].generation = (slots_[index].generation + 1) & kGenerationMask;
    return archive;
  }

 private:
  static void* Encode(unsigned index, std::uint32_t generation) {
    std::uintptr_t value = (static_cast<std::uintptr_t>(generation) << kSlotBits) | (index + 1);
    return reinterpret_cast<void*>(value);
  }

  static bool Decode(void* handle, unsigned* index) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value > 0xFFFFFFFFu) return false;
    std::uint32_t slot = static_cast<std::uint32_t>(value) & kSlotMask;
    if (slot == 0 || slot > kMaxOpenArchives) return false;
    *index = slot - 1;
    return true;
  }

  bool Matches(void* handle, unsigned index) const {
    return slots_[index].archive != nullptr && Encode(index, slots_[index].generation) == handle;
  }

  std::mutex mutex_;
  Slot slots_[kMaxOpenArchives];
  unsigned next_ = 0;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

}  // namespace

void* OpenArchiveHandle(const char* path, int* result) {
  OpenedArchive* archive = new (std::nothrow) OpenedArchive();
  if (archive == nullptr) {
    *result = kResultNoMemory;
    return nullptr;
  }
  *result = OpenDatabase(path, &archive->state);
  if (*result != kResultOk) {
    delete archive;
    return nullptr;
  }
  archive->hostFileTime = HostFileTime(archive->state.entryTime);
  void* handle = Handles().Add(archive);
  if (handle == nullptr) {
    delete archive;
    *result = kResultNoMemory;
  }
  return handle;
}

OpenedArchive* FindArchive(void* handle) { return Handles().Find(handle); }

bool CloseArchiveHandle(void* handle) {
  OpenedArchive* archive = Handles().Remove(handle);
  delete archive;
  return archive != nullptr;
}

}  // namespace ormidal
