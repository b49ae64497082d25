// Runs both text filters over the input, at every start alignment up to 16,
// into buffers of exactly the documented size (so a store past them shows as
// an overrun), and checks them against the byte-at-a-time rule.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert/text_filter.hpp"
#include "pack/device_filter.hpp"

namespace {

bool Kept(unsigned char byte) { return byte == '\t' || byte == '\n' || byte >= 0x20; }

std::vector<unsigned char> ExpandByRule(const uint8_t* in, size_t size) {
  std::vector<unsigned char> out;
  for (size_t i = 0; i < size; ++i) {
    if (in[i] == '\n') out.push_back('\r');
    if (Kept(in[i])) out.push_back(in[i]);
  }
  return out;
}

std::vector<unsigned char> StripByRule(const uint8_t* in, size_t size) {
  std::vector<unsigned char> out;
  for (size_t i = 0; i < size; ++i) {
    if (Kept(in[i])) out.push_back(in[i]);
  }
  return out;
}

// memcmp, but sound for empty ranges, whose pointers may be null.
bool Same(const unsigned char* a, const unsigned char* b, size_t size) {
  return size == 0 || std::memcmp(a, b, size) == 0;
}

void Check(const uint8_t* data, size_t size) {
  std::vector<unsigned char> in(data, data + size);
  std::vector<unsigned char> expanded(2 * size);
  size_t written = ormidal::ExpandLineEnds(in.data(), size, expanded.data());
  std::vector<unsigned char> expected = ExpandByRule(data, size);
  if (written != expected.size() || !Same(expanded.data(), expected.data(), written)) std::abort();

  std::vector<unsigned char> stripped(size);
  size_t kept = ormidal::StripForDevice(in.data(), size, stripped.data());
  expected = StripByRule(data, size);
  if (kept != expected.size() || !Same(stripped.data(), expected.data(), kept)) std::abort();
  if (ormidal::CountKeptForDevice(in.data(), size) != kept) std::abort();
  if (!Same(in.data(), data, size)) std::abort();  // the input is left alone

  size_t inPlace = ormidal::StripForDevice(in.data(), size, in.data());
  if (inPlace != kept || !Same(in.data(), expected.data(), kept)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t start = 0; start < 16 && start <= size; ++start) Check(data + start, size - start);
  return 0;
}
