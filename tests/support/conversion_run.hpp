// Runs the converter on a database file as extraction does: the database
// opened, a destination created, the converted rendering written. A
// database that does not open, or a destination that cannot be made, gives
// its result code and no bytes.
#pragma once

#include <string>

#include "support/database_builder.hpp"

namespace ormidal::testing {

struct Converted {
  int result = -1;
  Bytes bytes;
};

Converted ConvertFile(const std::string& path);

}  // namespace ormidal::testing
