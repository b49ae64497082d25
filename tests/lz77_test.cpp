#include "convert/lz77.hpp"

#include <gtest/gtest.h>

#include <random>

#include "convert/text_filter.hpp"
#include "support/lz77_encoder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::CopyCode;
using testing::EncodeLz77;
using testing::ToBytes;

struct Decoded {
  Lz77Result result;
  Bytes bytes;
};

Decoded Decode(const Bytes& in, std::size_t capacity) {
  Bytes out(capacity, 0);
  std::size_t produced = 99999;
  Lz77Result result = DecodeRecord(in.data(), in.size(), out.data(), capacity, &produced);
  out.resize(produced);
  return {result, out};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(Lz77, DecodesEveryKindOfCode) {
  // "ab", a run of 3 raw bytes, a space pair, then an overlapping copy.
  Bytes in = Concat({ToBytes("ab"), {0x03, 0x01, 0xE9, 0x80}, {0xC1}, CopyCode(2, 5)});
  Decoded decoded = Decode(in, 100);
  EXPECT_EQ(decoded.result, Lz77Result::kComplete);
  Bytes expected = Concat({ToBytes("ab"), {0x01, 0xE9, 0x80}, ToBytes(" A"), ToBytes(" A A ")});
  EXPECT_EQ(decoded.bytes, expected);
}

TEST(Lz77, OverlappingCopyRepeatsItsOwnOutput) {
  Bytes in = Concat({ToBytes("x"), CopyCode(1, 10), CopyCode(1, 3)});
  EXPECT_EQ(Decode(in, 100).bytes, Bytes(14, 'x'));
}

TEST(Lz77, DamageKeepsWhatCameBefore) {
  Bytes prefix = ToBytes("hello");
  struct Case {
    const char* what;
    Bytes tail;
  } cases[] = {
      {"distance 0", CopyCode(0, 4)},
      {"distance before the record", CopyCode(6, 3)},
      {"pair cut off", {0x80}},
      {"run cut off", {0x05, 'a', 'b'}},
  };
  for (const Case& c : cases) {
    Decoded decoded = Decode(Concat({prefix, c.tail}), 100);
    EXPECT_EQ(decoded.result, Lz77Result::kDamaged) << c.what;
    EXPECT_EQ(decoded.bytes, prefix) << c.what;
  }
  // A copy reaching exactly to the first byte is sound.
  Decoded edge = Decode(Concat({prefix, CopyCode(5, 3)}), 100);
  EXPECT_EQ(edge.result, Lz77Result::kComplete);
  EXPECT_EQ(edge.bytes, ToBytes("hellohel"));
}

TEST(Lz77, StopsBeforeACodeThatDoesNotFit) {
  Bytes in = Concat({ToBytes("abcd"), CopyCode(4, 4), ToBytes("z")});
  Decoded decoded = Decode(in, 7);
  EXPECT_EQ(decoded.result, Lz77Result::kOutputFull);
  EXPECT_EQ(decoded.bytes, ToBytes("abcd"));
  EXPECT_EQ(Decode(in, 9).bytes, ToBytes("abcdabcdz"));
}

TEST(Lz77, PiecesWaitForTheRestOfACode) {
  Bytes in = Concat({ToBytes("abc"), {0x04, 'w', 'x'}});
  Bytes out(64, 0);
  Lz77Progress progress = DecodeLz77({in.data(), in.size(), false, out.data(), 0, out.size()});
  EXPECT_EQ(progress.result, Lz77Result::kNeedInput);
  EXPECT_EQ(progress.consumed, 3u);
  EXPECT_EQ(progress.outEnd, 3u);
}

TEST(Lz77, RoundTripsLongTexts) {
  std::mt19937 random(7);
  const char* words[] = {"the ", "Palm ", "record ", "\n", "caf\xE9 ", "\t", "zz", "  "};
  Bytes text;
  for (std::size_t i = 0; i < 50000; ++i) {
    const char* word = words[random() % 8];
    while (*word) text.push_back(static_cast<unsigned char>(*word++));
  }
  for (int i = 0; i < 300; ++i) text.push_back(static_cast<unsigned char>(random()));
  Bytes coded = EncodeLz77(text);
  ASSERT_LT(coded.size(), text.size());
  Decoded decoded = Decode(coded, 8 * coded.size());
  EXPECT_EQ(decoded.result, Lz77Result::kComplete);
  EXPECT_EQ(decoded.bytes, text);
}

// Every code at every distance, decoded by the plain rule to check the
// decoder's word-wide stores against; the output buffer is exactly as large
// as the output, so the last codes land at its very end.
TEST(Lz77, AgreesWithTheByteRuleForEveryCodeNearTheBufferEnd) {
  std::mt19937 random(11);
  Bytes in;
  Bytes expected;
  while (expected.size() < 6000) {
    unsigned kind = random() % 4;
    if (kind == 0 || expected.size() < 3) {
      unsigned char literal = static_cast<unsigned char>('a' + random() % 26);
      in.push_back(literal);
      expected.push_back(literal);
    } else if (kind == 1) {
      unsigned char count = static_cast<unsigned char>(1 + random() % 8);
      in.push_back(count);
      for (unsigned k = 0; k < count; ++k) {
        unsigned char raw = static_cast<unsigned char>(0x80 + random() % 128);
        in.push_back(raw);
        expected.push_back(raw);
      }
    } else if (kind == 2) {
      unsigned char code = static_cast<unsigned char>(0xC0 + random() % 64);
      in.push_back(code);
      expected.push_back(' ');
      expected.push_back(static_cast<unsigned char>(code ^ 0x80));
    } else {
      std::size_t reach = std::min<std::size_t>(expected.size(), 40);
      std::size_t distance = 1 + random() % reach;
      std::size_t length = 3 + random() % 8;
      Bytes code = CopyCode(static_cast<unsigned>(distance), static_cast<unsigned>(length));
      in.insert(in.end(), code.begin(), code.end());
      for (std::size_t k = 0; k < length; ++k)
        expected.push_back(expected[expected.size() - distance]);
    }
  }
  for (std::size_t cut = in.size() - 40; cut <= in.size(); ++cut) {
    Bytes piece(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(cut));
    Decoded whole = Decode(piece, 8 * piece.size());
    Decoded exact = Decode(piece, whole.bytes.size());
    ASSERT_EQ(exact.bytes, whole.bytes) << cut;
    ASSERT_EQ(Bytes(expected.begin(), expected.begin() + whole.bytes.size()), whole.bytes) << cut;
  }
}

// The rule, byte by byte, to check the block-wise filter against.
Bytes ExpandOneByOne(const Bytes& in) {
  Bytes out;
  for (unsigned char byte : in) {
    if (byte == 0x0A) {
      out.push_back(0x0D);
      out.push_back(0x0A);
    } else if (byte == 0x09 || byte >= 0x20) {
      out.push_back(byte);
    }
  }
  return out;
}

Bytes Expand(const Bytes& in) {
  Bytes out(2 * in.size() + 1, 0xEE);
  out.resize(ExpandLineEnds(in.data(), in.size(), out.data()));
  return out;
}

TEST(ExpandLineEnds, DropsControlBytesAndExpandsLineFeeds) {
  Bytes in = {'a', 'b', 0x0D, 0x0A, 'c', 0x09, 0x00, 0xE9};
  EXPECT_EQ(Expand(in), (Bytes{'a', 'b', 0x0D, 0x0A, 'c', 0x09, 0xE9}));
  Bytes everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte.push_back(static_cast<unsigned char>(byte));
  Bytes expected = {0x09, 0x0D, 0x0A};
  for (int byte = 0x20; byte < 256; ++byte) expected.push_back(static_cast<unsigned char>(byte));
  EXPECT_EQ(Expand(everyByte), expected);
  EXPECT_EQ(Expand(Bytes(40, 0x0A)).size(), 80u);
  EXPECT_TRUE(Expand(Bytes(37, 0x0D)).empty());
}

TEST(ExpandLineEnds, AgreesWithTheByteRuleAtEveryLengthAndMix) {
  std::mt19937 random(11);
  for (std::size_t length = 0; length < 100; ++length) {
    for (int density : {2, 8, 64}) {
      Bytes in(length);
      for (unsigned char& byte : in) {
        byte = random() % density == 0 ? static_cast<unsigned char>(random() % 0x20)
                                       : static_cast<unsigned char>(0x20 + random() % 0xE0);
      }
      ASSERT_EQ(Expand(in), ExpandOneByOne(in)) << "length " << length << " density " << density;
    }
  }
}

// Blocks with a single byte to change are written by overlapping stores
// that run ahead of the output: the change may sit at any place in a block,
// the block anywhere before the end, and nothing may land past twice the
// input, the room the caller gives.
TEST(ExpandLineEnds, OneChangedByteAtEveryPlaceNearTheEnd) {
  for (unsigned char special : {0x0A, 0x0D, 0x00, 0x1F, 0x09}) {
    for (std::size_t length = 30; length <= 70; ++length) {
      for (std::size_t at = 0; at < length; ++at) {
        Bytes in(length);
        for (std::size_t k = 0; k < length; ++k) in[k] = static_cast<unsigned char>('a' + k % 26);
        in[at] = special;
        Bytes guarded(2 * length + 16, 0xEE);
        std::size_t produced = ExpandLineEnds(in.data(), in.size(), guarded.data());
        for (std::size_t k = 2 * length; k < guarded.size(); ++k)
          ASSERT_EQ(guarded[k], 0xEE) << "written past the room at " << k;
        ASSERT_EQ(Bytes(guarded.begin(), guarded.begin() + produced), ExpandOneByOne(in))
            << "byte " << int{special} << " at " << at << " of " << length;
      }
    }
  }
}

}  // namespace
}  // namespace ormidal
