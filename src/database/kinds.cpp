#include "database/kinds.hpp"

#include <cstring>

namespace ormidal {

const KindRow* MatchKind(const char* typeCode, const char* creatorCode) {
  for (const KindRow& row : KindTable) {
    if (std::strcmp(creatorCode, row.creatorCode) == 0 &&
        std::strcmp(typeCode, row.typeCode) == 0) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace ormidal
