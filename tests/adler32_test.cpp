// The check of compressed text, against zlib's own: any difference would
// make every compressed database read as damaged, or let damage through.
#include "convert/adler32.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace ormidal {
namespace {

// zlib answers its own starting value for no bytes at a null pointer.
std::uint32_t ZlibAdler(std::uint32_t start, const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return start;
  return static_cast<std::uint32_t>(adler32(start, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<unsigned char> RandomBytes(std::size_t size, std::mt19937* random) {
  std::vector<unsigned char> bytes(size);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>((*random)() & 0xFF);
  return bytes;
}

TEST(Adler32, AgreesWithZlibAtEveryLengthAroundItsSteps) {
  std::mt19937 random(5);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (std::size_t n : {5535u, 5551u, 5552u, 5553u, 5568u, 11104u, 11105u, 100000u})
    lengths.push_back(n);
  for (std::size_t length : lengths) {
    std::vector<unsigned char> bytes = RandomBytes(length, &random);
    for (std::uint32_t start : {kAdler32Start, (65520u << 16) | 65520u, (4660u << 16) | 22136u}) {
      ASSERT_EQ(UpdateAdler32(start, bytes.data(), bytes.size()), ZlibAdler(start, bytes))
          << "length " << length << " start " << start;
    }
  }
}

// All bytes 0xFF make the largest sums: any lane that overflows shows here.
TEST(Adler32, LargestSumsDoNotOverflow) {
  std::vector<unsigned char> bytes(1 << 20, 0xFF);
  std::uint32_t nearlyFull = (65520u << 16) | 65520u;
  EXPECT_EQ(UpdateAdler32(nearlyFull, bytes.data(), bytes.size()), ZlibAdler(nearlyFull, bytes));
  EXPECT_EQ(UpdateAdler32(kAdler32Start, bytes.data(), bytes.size()),
            ZlibAdler(kAdler32Start, bytes));
}

// Inflated text arrives in pieces of any size; the check of the pieces in
// turn is the check of the whole.
TEST(Adler32, PiecesChainToTheCheckOfTheWhole) {
  std::mt19937 random(9);
  std::vector<unsigned char> bytes = RandomBytes(70000, &random);
  std::uint32_t check = kAdler32Start;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t piece = std::min<std::size_t>(random() % 9000, bytes.size() - at);
    check = UpdateAdler32(check, bytes.data() + at, piece);
    at += piece;
  }
  EXPECT_EQ(check, ZlibAdler(kAdler32Start, bytes));
}

}  // namespace
}  // namespace ormidal
