// What PackSetDefaultParams tells of the host: the interface version it
// speaks and the ini file it suggests for settings. The plug-in has no
// settings of its own; it keeps both, and works the same when the host
// never calls.
#pragma once

#include <cstdint>

#include "plugin/interface.hpp"

namespace ormidal {

struct HostParams {
  bool given;
  std::uint32_t interfaceVersionHigh;
  std::uint32_t interfaceVersionLow;
  char defaultIniName[sizeof PackDefaultParams::defaultIniName];  // always terminated
};

// Keeps the fields of `params` that its stated size covers; a null record
// or one too short for the version is ignored.
void KeepHostParams(const PackDefaultParams* params);
HostParams CurrentHostParams();

}  // namespace ormidal
