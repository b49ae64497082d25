// Packing a desktop text file into a new document database.
#pragma once

namespace ormidal {

// Creates `packedFile` from the file `sourcePath` + the first name of
// `addList`. Returns kResultOk or the host's error code.
int PackTextFile(const char* packedFile, const char* sourcePath, const char* addList);

}  // namespace ormidal
