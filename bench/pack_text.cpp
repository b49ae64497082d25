// Packs one text file, for timing the packer and measuring its memory:
// ormidal_pack_text TARGET FOLDER/ NAME  (the source is FOLDER/NAME).
#include <cstdio>
#include <string>

#include "pack/packer.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s target folder/ name\n", argv[0]);
    return 2;
  }
  std::string names = argv[3];
  names.push_back('\0');  // the list ends with an empty name
  int result = ormidal::PackTextFile(argv[1], argv[2], names.c_str());
  if (result != 0) std::fprintf(stderr, "packing failed with %d\n", result);
  return result == 0 ? 0 : 1;
}
