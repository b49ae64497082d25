// A small encoder for the handheld document format's LZ77 code, so tests
// can make compressed records from any text.
#pragma once

#include "support/database_builder.hpp"

namespace ormidal::testing {

// Codes `text` with literals, literal runs, space pairs and copies (found
// through a hash of the next three bytes, reaching at most 2047 back).
Bytes EncodeLz77(const Bytes& text);

// The 2-byte copy code for a distance and a length of 3 to 10.
Bytes CopyCode(unsigned distance, unsigned length);

}  // namespace ormidal::testing
