// A reader for ini files that answers as the Windows profile-string reader
// does for the files people write: names matched case-insensitively, blanks
// trimmed, matching quotes removed, ';' comments, LF or CR LF, a UTF-8
// byte-order mark ignored; only the first section of the name is read, and
// its first matching key wins.
#pragma once

#include <cstddef>

namespace ormidal::platform {

class ProfileLookup {
 public:
  ProfileLookup(const char* section, const char* key) : section_(section), key_(key) {}

  // Feeds one line without its line end. Returns true once the answer is
  // known (the key found, or the section over).
  bool FeedLine(const char* line, std::size_t length);

  bool Found() const { return found_; }
  // The value found, without blanks and quotes around it; valid while found.
  const char* Value() const { return value_; }
  std::size_t ValueLength() const { return valueLength_; }

 private:
  const char* section_;
  const char* key_;
  bool inSection_ = false;
  bool sectionDone_ = false;
  bool firstLine_ = true;
  bool found_ = false;
  const char* value_ = nullptr;
  std::size_t valueLength_ = 0;
};

// Copies the answer of a lookup (or `fallback`) into `buffer` as the
// profile-string reader does: at most size - 1 characters and a terminator.
std::size_t StoreProfileAnswer(const char* value, std::size_t length, char* buffer,
                               std::size_t size);

}  // namespace ormidal::platform
