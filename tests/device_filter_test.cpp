#include "pack/device_filter.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <vector>

namespace ormidal {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes KeptByRule(const Bytes& bytes) {
  Bytes kept;
  for (unsigned char byte : bytes) {
    if (byte == 0x09 || byte == 0x0A || byte >= 0x20) kept.push_back(byte);
  }
  return kept;
}

Bytes EveryByteValue() {
  Bytes bytes;
  for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<unsigned char>(value));
  return bytes;
}

TEST(StripForDevice, KeepsTabLineFeedAndPrintableDropsOtherControlBytes) {
  Bytes bytes = EveryByteValue();
  Bytes out(bytes.size(), 0xEE);
  std::size_t kept = StripForDevice(bytes.data(), bytes.size(), out.data());
  ASSERT_EQ(kept, 2u + 224u);
  EXPECT_EQ(out[0], 0x09);
  EXPECT_EQ(out[1], 0x0A);
  for (std::size_t i = 2; i < kept; ++i) EXPECT_EQ(out[i], 0x20 + (i - 2)) << i;
  EXPECT_EQ(CountKeptForDevice(bytes.data(), bytes.size()), kept);
}

TEST(StripForDevice, CrLfBecomesLf) {
  Bytes bytes = {'a', '\r', '\n', '\r', '\r', '\n', 'b', '\r'};
  std::size_t kept = StripForDevice(bytes.data(), bytes.size(), bytes.data());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + kept), (Bytes{'a', '\n', '\n', 'b'}));
}

// The word-at-a-time scan must agree with the byte rule wherever the bytes to
// drop fall: at every alignment, at word ends and in the tail.
TEST(StripForDevice, AgreesWithTheByteRuleAtEveryLengthAndAlignment) {
  std::mt19937 random(12345);
  // Mostly ordinary text with some control bytes, and bytes just around the
  // edges of the kept ranges.
  const unsigned char alphabet[] = {'a',  'Z',  ' ',  0x7F, 0x80, 0xFF, 0x1F, 0x20, 0x08,
                                    0x09, 0x0A, 0x0B, 0x0D, 0x00, 0x89, 0x8A, 0xA0};
  for (std::size_t length = 0; length < 80; ++length) {
    for (std::size_t start = 0; start < 8; ++start) {
      Bytes buffer(start + length);
      for (auto& byte : buffer) byte = alphabet[random() % sizeof alphabet];
      Bytes source(buffer.begin() + static_cast<std::ptrdiff_t>(start), buffer.end());
      Bytes expected = KeptByRule(source);

      EXPECT_EQ(CountKeptForDevice(buffer.data() + start, length), expected.size());
      Bytes separate(length + 1, 0xEE);
      std::size_t kept = StripForDevice(buffer.data() + start, length, separate.data());
      ASSERT_EQ(kept, expected.size()) << length << " at " << start;
      EXPECT_EQ(Bytes(separate.begin(), separate.begin() + static_cast<std::ptrdiff_t>(kept)),
                expected);
      EXPECT_EQ(separate[length], 0xEE);  // nothing written past the room given

      kept = StripForDevice(buffer.data() + start, length, buffer.data() + start);
      EXPECT_EQ(Bytes(buffer.begin() + static_cast<std::ptrdiff_t>(start),
                      buffer.begin() + static_cast<std::ptrdiff_t>(start + kept)),
                expected)
          << "in place, " << length << " at " << start;
    }
  }
}

// Every way of placing bytes to drop in a 16-byte stretch, each stretch at
// its own offset: whole blocks, squeezed blocks and byte-by-byte ones alike.
TEST(StripForDevice, AgreesWithTheByteRuleForEveryDropPatternOf16Bytes) {
  Bytes text;
  for (unsigned pattern = 0; pattern < (1u << 16); ++pattern) {
    for (unsigned j = 0; j < 16; ++j) {
      bool drop = (pattern >> j) & 1u;
      text.push_back(drop ? static_cast<unsigned char>(j % 2 ? 0x0D : 0x1F)
                          : static_cast<unsigned char>(j % 3 ? 'a' + j : 0x09 + j % 2));
    }
    if (pattern % 7 == 0) text.push_back('\n');  // shifts the later stretches
  }
  Bytes expected = KeptByRule(text);
  EXPECT_EQ(CountKeptForDevice(text.data(), text.size()), expected.size());
  Bytes separate(text.size());
  std::size_t kept = StripForDevice(text.data(), text.size(), separate.data());
  separate.resize(kept);
  EXPECT_EQ(separate, expected);
  kept = StripForDevice(text.data(), text.size(), text.data());
  text.resize(kept);
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace ormidal
