#include "plugin/host_callbacks.hpp"

#include <cstdint>
#include <cstring>

#include "convert/unicode.hpp"
#include "platform/platform.hpp"

namespace ormidal {
namespace {

// Every block written is at most 256 KiB, so reporting once half a MiB has
// gathered keeps each report below 1 MiB.
constexpr std::size_t kReportThreshold = 512 * 1024;

}  // namespace

PackCallbacks& ThreadPackCallbacks() {
  thread_local PackCallbacks callbacks{nullptr, nullptr};
  return callbacks;
}

bool IsPackingHandle(void* handle) { return reinterpret_cast<std::intptr_t>(handle) == -1; }

HostProgress::HostProgress(ProcessDataProc processData, ProcessDataProcW processDataW,
                           HostFileName name)
    : processData_(processData), processDataW_(processDataW), name_(name) {
  wideName_[0] = 0;
}

bool HostProgress::Written(std::size_t bytes) {
  if (cancelled_) return false;
  pending_ += bytes;
  return pending_ < kReportThreshold || Report();
}

bool HostProgress::Finish() { return !cancelled_ && Report(); }

bool HostProgress::Report() {
  int size = static_cast<int>(pending_);
  pending_ = 0;
  int answer = 1;
  if (processDataW_ != nullptr) {
    answer = processDataW_(WideName(), size);
  } else if (processData_ != nullptr) {
    // The 8-bit name the host gave; else the UTF-8 one, which is the 8-bit
    // form everywhere but Windows.
    const char* name = name_.ansi != nullptr ? name_.ansi : name_.utf8;
    char copy[platform::kPathBufferSize];
    std::size_t length = std::strlen(name);
    if (length >= sizeof copy) length = sizeof copy - 1;
    std::memcpy(copy, name, length);
    copy[length] = '\0';
    answer = processData_(copy, size);
  }
  cancelled_ = answer == 0;
  return !cancelled_;
}

// The host may write to the name it is given, so it gets a copy.
char16_t* HostProgress::WideName() {
  if (!wideMade_) {
    std::size_t length = 0;
    if (name_.wide != nullptr) {
      while (length < kWideNameUnits - 1 && name_.wide[length] != 0) ++length;
      std::memcpy(wideName_, name_.wide, length * sizeof(char16_t));
      wideName_[length] = 0;
    } else {
      Utf8ToUtf16(name_.utf8, std::strlen(name_.utf8), wideName_, kWideNameUnits);
    }
    wideMade_ = true;
  }
  return wideName_;
}

}  // namespace ormidal
