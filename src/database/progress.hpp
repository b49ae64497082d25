// Told of every block an extraction or a pack writes, and asked after each
// whether to go on: the host shows the bytes and may cancel.
#pragma once

#include <cstddef>

namespace ormidal {

class WriteProgress {
 public:
  // `bytes` more bytes reached the output. False asks the work to stop; the
  // caller then removes what it wrote and answers kResultAborted.
  virtual bool Written(std::size_t bytes) = 0;

 protected:
  ~WriteProgress() = default;
};

// Work without a listener goes on.
inline bool ReportWritten(WriteProgress* progress, std::size_t bytes) {
  return progress == nullptr || progress->Written(bytes);
}

}  // namespace ormidal
