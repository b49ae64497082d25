// The load-time entry routine: on Windows the DLL entry point the loader
// calls, elsewhere a library constructor.
#include "plugin/interface.hpp"
#include "plugin/module.hpp"

#if defined(_WIN32)

extern "C" int ORMIDAL_CALL DllMain(void* moduleHandle, unsigned long, void*) {
  // Every notification rebuilds the same values; nothing here can throw.
  ormidal::InitializeModule(moduleHandle);
  return 1;
}

#else

namespace {

__attribute__((constructor)) void LoadOrmidal() { ormidal::InitializeModule(nullptr); }

}  // namespace

#endif
