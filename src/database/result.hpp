// Result codes every part of the library reports, and the operations the
// host asks of an entry. Their values are the host interface's own.
#pragma once

namespace ormidal {

enum Result : int {
  kResultOk = 0,
  kResultEndOfListing = 1,
  kResultNoMemory = 11,
  kResultBadData = 12,
  kResultBadArchive = 13,
  kResultCannotOpen = 15,
  kResultCannotCreate = 16,
  kResultReadError = 18,
  kResultWriteError = 19,
  // The host's callback asked to stop; what was written is gone.
  kResultAborted = 21,
  // The host's "too many files": more records than a database can hold, or
  // more sources than one document can take.
  kResultTooManyFiles = 23,
  kResultTargetExists = 24,
  // The host's "not supported" shares the value: what the library cannot do
  // with an entry, such as reading an encrypted book's text.
  kResultNotSupported = 24,
};

// What ProcessFile is asked to do with an entry.
enum Operation : int {
  kOperationSkip = 0,
  kOperationTest = 1,
  kOperationExtract = 2,
};

}  // namespace ormidal
