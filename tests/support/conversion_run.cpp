#include "support/conversion_run.hpp"

#include <memory>

#include "convert/converters.hpp"
#include "database/archive_state.hpp"
#include "database/result.hpp"
#include "platform/platform.hpp"

namespace ormidal::testing {

Converted ConvertFile(const std::string& path) {
  TempDir dir;
  Converted converted;
  auto state = std::make_unique<ArchiveState>();
  converted.result = OpenDatabase(path.c_str(), state.get());
  if (converted.result != kResultOk) return converted;
  platform::File source = platform::OpenForReading(path.c_str());
  platform::File destination;
  std::string out = dir.File("ORMIDAL_out");
  if (platform::CreateForWriting(out.c_str(), false, &destination) !=
      platform::CreateResult::kCreated) {
    platform::Close(&source);
    converted.result = kResultCannotCreate;
    return converted;
  }
  converted.result = ConvertDatabase(*state, source, destination);
  platform::Close(&source);
  platform::Close(&destination);
  converted.bytes = ReadFileBytes(out);
  return converted;
}

}  // namespace ormidal::testing
