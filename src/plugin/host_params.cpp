#include "plugin/host_params.hpp"

#include <cstddef>
#include <cstring>
#include <mutex>

namespace ormidal {
namespace {

std::mutex& ParamsMutex() {
  static std::mutex mutex;
  return mutex;
}

HostParams& StoredParams() {
  static HostParams params{};
  return params;
}

}  // namespace

void KeepHostParams(const PackDefaultParams* params) {
  constexpr std::size_t kVersionEnd = offsetof(PackDefaultParams, defaultIniName);
  if (params == nullptr || params->size < static_cast<std::int32_t>(kVersionEnd)) return;
  HostParams kept{};
  kept.given = true;
  kept.interfaceVersionHigh = params->interfaceVersionHigh;
  kept.interfaceVersionLow = params->interfaceVersionLow;
  // The name is read no further than the record's stated size, and kept
  // only when it ends inside it: cut short it would name another file.
  std::size_t room = static_cast<std::size_t>(params->size) - kVersionEnd;
  if (room > sizeof kept.defaultIniName) room = sizeof kept.defaultIniName;
  const void* end = std::memchr(params->defaultIniName, '\0', room);
  if (end != nullptr) std::strcpy(kept.defaultIniName, params->defaultIniName);
  std::lock_guard<std::mutex> lock(ParamsMutex());
  StoredParams() = kept;
}

HostParams CurrentHostParams() {
  std::lock_guard<std::mutex> lock(ParamsMutex());
  return StoredParams();
}

}  // namespace ormidal
