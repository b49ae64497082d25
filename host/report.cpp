#include <cstdio>

#include "commands.hpp"
#include "database/result.hpp"

namespace ormidal::host {

std::string ResultText(int result) {
  switch (result) {
    case kResultNoMemory:
      return "not enough memory";
    case kResultBadData:
      return "damaged data";
    case kResultBadArchive:
      return "not a valid database";
    case kResultCannotOpen:
      return "cannot open";
    case kResultCannotCreate:
      return "cannot create";
    case kResultReadError:
      return "read error";
    case kResultWriteError:
      return "write error";
    case kResultTooManyFiles:
      return "text too long for the format";
    case kResultTargetExists:
      return "already exists";
    default:
      return "failed with code " + std::to_string(result);
  }
}

void Report(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "ormidal: %s: %s\n", subject.c_str(), reason.c_str());
}

}  // namespace ormidal::host
