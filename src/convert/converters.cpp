#include "convert/converters.hpp"

#include "plugin/interface.hpp"

namespace ormidal {

int ConvertDatabase(const ArchiveState&, platform::File, platform::File) { return kResultOk; }

}  // namespace ormidal
