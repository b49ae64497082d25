// Converts one database as the converted entry does, for timing a whole
// conversion against a copy and measuring its memory:
// ormidal_convert_file DATABASE DESTINATION
#include <cstdio>
#include <memory>

#include "convert/converters.hpp"
#include "plugin/interface.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s database destination\n", argv[0]);
    return 2;
  }
  auto state = std::make_unique<ormidal::ArchiveState>();
  int result = ormidal::OpenDatabase(argv[1], state.get());
  if (result != ormidal::kResultOk) {
    std::fprintf(stderr, "opening failed with %d\n", result);
    return 1;
  }
  ormidal::platform::File source = ormidal::platform::OpenForReading(argv[1]);
  ormidal::platform::File destination;
  if (ormidal::platform::CreateForWriting(argv[2], false, &destination) !=
      ormidal::platform::CreateResult::kCreated) {
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 1;
  }
  result = ormidal::ConvertDatabase(*state, source, destination);
  ormidal::platform::Close(&source);
  ormidal::platform::Close(&destination);
  if (result != ormidal::kResultOk) std::fprintf(stderr, "conversion gave %d\n", result);
  return result == ormidal::kResultOk ? 0 : 1;
}
