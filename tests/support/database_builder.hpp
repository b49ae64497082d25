// What the tests build databases with: the project's database builder
// (samples/database_builder.hpp, shared with the sample generator), and
// the file helpers that only tests need.
#pragma once

#include <string>

#include "samples/database_builder.hpp"

namespace ormidal::testing {

using samples::Bytes;
using samples::DatabaseBuilder;
using samples::DocumentHeader;
using samples::ToBytes;
using samples::WriteFileBytes;

Bytes ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// A fresh, empty folder removed again when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // path + the platform's separator + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace ormidal::testing
