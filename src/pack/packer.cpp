#include "pack/packer.hpp"

#include "plugin/interface.hpp"

namespace ormidal {

int PackTextFile(const char*, const char*, const char*) { return kResultOk; }

}  // namespace ormidal
