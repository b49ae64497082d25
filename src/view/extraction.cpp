#include "view/extraction.hpp"

namespace ormidal {

int ExtractEntry(const ArchiveState&, int, const char*) { return kResultOk; }

}  // namespace ormidal
