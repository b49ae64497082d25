// The load-time entry routine: on Windows the DLL entry point the loader
// calls, elsewhere a library constructor.
#include "plugin/interface.hpp"
#include "plugin/module.hpp"

#if defined(_WIN32)

namespace {
constexpr unsigned long kProcessAttach = 1;
}

extern "C" int ORMIDAL_CALL DllMain(void* moduleHandle, unsigned long reason, void*) {
  // The values are set once, at load. Thread notifications come while other
  // threads may be reading them, so they leave them alone. Nothing here can
  // throw.
  if (reason == kProcessAttach) ormidal::InitializeModule(moduleHandle);
  return 1;
}

#else

namespace {

__attribute__((constructor)) void LoadOrmidal() { ormidal::InitializeModule(nullptr); }

}  // namespace

#endif
