// Palm bitmaps and Image Viewer pictures: what the peers' writers make
// converts to the pixels the peers' readers see (tests/interop), and
// pictures damaged in any field are refused without a read outside them.

#include "convert/pictures/pictures.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "convert/pictures/image_viewer.hpp"
#include "convert/pictures/palm_bitmap.hpp"
#include "database/result.hpp"
#include "support/database_builder.hpp"

#if !defined(_WIN32)
#include <dirent.h>
#endif

namespace ormidal {
namespace {

using testing::Bytes;
using testing::TempDir;

// Runs `write` with a conversion whose destination is `path`.
template <typename Write>
int WritePicture(const std::string& path, const ArchiveState* state, const char* source,
                 Write write) {
  auto conversion = std::make_unique<Conversion>();
  conversion->state = state;
  if (source != nullptr) conversion->source = platform::OpenForReading(source);
  if (platform::CreateForWriting(path.c_str(), false, &conversion->destination) !=
      platform::CreateResult::kCreated) {
    return kResultCannotCreate;
  }
  int result = write(conversion.get());
  int flushed = Flush(conversion.get());
  platform::Close(&conversion->destination);
  platform::Close(&conversion->source);
  return result != kResultOk ? result : flushed;
}

#if !defined(_WIN32)

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(name.substr(0, name.size() - suffix.size()));
    }
  }
  closedir(dir);
  return names;
}

TEST(PictureInterop, PeerBitmapsAndPicturesDecodeToThePeersPixels) {
  if (!RunQuietly("command -v pnmtopalm palmtopnm pgmtoimgv imgvtopnm") ||
      !RunQuietly("/usr/bin/python3 -c 'import PIL'")) {
    GTEST_SKIP() << "netpbm, imgvtopgm or python3-pil missing";
  }
  const std::string scripts = ORMIDAL_INTEROP_SCRIPTS;
  TempDir dir;
  ASSERT_TRUE(RunQuietly("bash '" + scripts + "/write_bitmaps.sh' '" + dir.Path() + "'"));
  std::vector<std::string> bitmaps = FilesEndingIn(dir.Path(), ".palm");
  EXPECT_GE(bitmaps.size(), 40u);
  for (const std::string& name : bitmaps) {
    SCOPED_TRACE(name);
    Bytes bytes = testing::ReadFileBytes(dir.File(name + ".palm"));
    EXPECT_EQ(
        WritePicture(dir.File(name + ".png"), nullptr, nullptr,
                     [&](Conversion* c) { return WriteBitmapPng(c, bytes.data(), bytes.size()); }),
        kResultOk);
  }
  std::vector<std::string> pictures = FilesEndingIn(dir.Path(), ".pdb");
  EXPECT_EQ(pictures.size(), 6u);
  for (const std::string& name : pictures) {
    SCOPED_TRACE(name);
    std::string path = dir.File(name + ".pdb");
    auto state = std::make_unique<ArchiveState>();
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
    EXPECT_EQ(WritePicture(dir.File(name + ".png"), state.get(), path.c_str(),
                           [](Conversion* c) { return ConvertImageViewer(c); }),
              kResultOk);
  }
  std::string report = dir.File("report.txt");
  int status = std::system(("/usr/bin/python3 '" + scripts + "/check_pictures.py' '" + dir.Path() +
                            "' >'" + report + "' 2>&1")
                               .c_str());
  Bytes text = testing::ReadFileBytes(report);
  EXPECT_EQ(status, 0) << std::string(text.begin(), text.end());
}

#endif

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A version 2 header: width, height, row bytes, flags, depth,
// transparent index and compression.
Bytes Header2(int w, int h, int rowBytes, int flags, int depth, int transparent = 0,
              int compression = 0xFF) {
  return {static_cast<unsigned char>(w >> 8),
          static_cast<unsigned char>(w),
          static_cast<unsigned char>(h >> 8),
          static_cast<unsigned char>(h),
          static_cast<unsigned char>(rowBytes >> 8),
          static_cast<unsigned char>(rowBytes),
          static_cast<unsigned char>(flags >> 8),
          static_cast<unsigned char>(flags),
          static_cast<unsigned char>(depth),
          2,
          0,
          0,
          static_cast<unsigned char>(transparent),
          static_cast<unsigned char>(compression),
          0,
          0};
}

struct Decoded {
  BitmapResult result;
  std::vector<std::uint32_t> pixels;  // RRGGBBAA
};

Decoded DecodeBitmap(const Bytes& bytes) {
  // An exact copy, so that a read past the end shows under the sanitizers.
  std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  Image image;
  Decoded decoded{DecodeBitmapFamily(copy.get(), bytes.size(), &image), {}};
  EXPECT_EQ(decoded.result == BitmapResult::kOk, BitmapFamilyDecodes(copy.get(), bytes.size()));
  for (std::uint32_t y = 0; y < image.Height(); ++y) {
    for (std::uint32_t x = 0; x < image.Width(); ++x) {
      const unsigned char* p = image.Row(y) + 4 * x;
      decoded.pixels.push_back((std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
    }
  }
  return decoded;
}

// Cases no peer writes, with the pixels they must give.
TEST(PalmBitmap, DecodesWhatNoPeerWrites) {
  const Bytes kLittleEndian565 = {3,  0, 1, 0, 6,    0,    0,    0x04, 16,   0x83,
                                  24, 2, 0, 0, 72,   0,    0,    0,    0,    0,
                                  0,  0, 0, 0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00};
  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<std::uint32_t> pixels;
  } cases[] = {
      {"a little-endian header with 565LE pixels",
       kLittleEndian565,
       {0xFF0000FF, 0x00FF00FF, 0x0000FFFF}},
      {"PackBits 0x80 does nothing",
       Concat({Header2(4, 1, 4, 0x8000, 8, 0, 2), {0, 9, 0x80, 0xFD, 0xFF}}),
       {0x000000FF, 0x000000FF, 0x000000FF, 0x000000FF}},
      {"a family that begins with the dummy header",
       Concat({{0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 1, 0, 0, 0, 0, 0, 0},
               Header2(2, 1, 2, 0, 2),
               {0x60, 0}}),
       {0xAAAAAAFF, 0x555555FF}},
      {"values past a short colour table show black",
       Concat({Header2(2, 1, 2, 0x4000, 4), {0, 1, 0, 1, 2, 3}, {0x01, 0}}),
       {0x010203FF, 0x000000FF}},
      {"a 16-bit transparent colour stored as 00 RR GG BB",
       {0, 2,   0, 1,    0, 4, 0x24, 0x00, 16, 3, 24,   1,    0,    0,
        0, 144, 0, 0xFF, 0, 0, 0,    0,    0,  0, 0xF8, 0x00, 0x00, 0x00},
       {0xFF000000, 0x000000FF}},
      {"the scanline row above the first is zeros",
       Concat({Header2(2, 2, 2, 0x8000, 8, 0, 0), {0, 7, 0x40, 5, 0x80, 0xFF}}),
       {0xFFFFFFFF, 0xFF00FFFF, 0x000000FF, 0xFF00FFFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Decoded decoded = DecodeBitmap(c.bytes);
    EXPECT_EQ(decoded.result, BitmapResult::kOk);
    EXPECT_EQ(decoded.pixels, c.pixels);
  }
}

TEST(PalmBitmap, RefusesDamagedFieldsAndCutBitmaps) {
  const Bytes kGood = Concat({Header2(3, 2, 4, 0x8000, 8, 0, 1), {0, 10, 3, 7, 1, 0, 4, 9}});
  ASSERT_EQ(DecodeBitmap(kGood).result, BitmapResult::kOk);
  struct Damage {
    const char* what;
    std::size_t offset;
    unsigned char value;
  } damages[] = {
      {"width 0", 1, 0},
      {"height 0", 3, 0},
      {"rows too short", 5, 2},
      {"depth 3", 8, 3},
      {"version 4", 9, 4},
      {"bits held elsewhere", 6, 0x90},
      {"unknown compression", 13, 7},
      {"a run of 0", 18, 0},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    Bytes bytes = kGood;
    bytes[d.offset] = d.value;
    EXPECT_EQ(DecodeBitmap(bytes).result, BitmapResult::kDamaged);
  }
  // 4097 x 4097 pixels is over the limit, however the data claims to hold it.
  EXPECT_EQ(
      DecodeBitmap(Concat({Header2(4097, 4097, 4098, 0x8000, 8, 0, 1), Bytes(64, 0xFF)})).result,
      BitmapResult::kDamaged);
  for (std::size_t size = 0; size < kGood.size(); ++size) {
    SCOPED_TRACE(size);
    EXPECT_EQ(DecodeBitmap(Bytes(kGood.begin(), kGood.begin() + size)).result,
              BitmapResult::kDamaged);
  }
}

TEST(PalmBitmap, AFamilyMemberThatDoesNotDecodeGivesWayToTheNext) {
  // A 2-bit member, then a 4-bit one whose rows are cut short.
  Bytes low = Header2(2, 1, 2, 0, 2);
  low[11] = 5;  // the next member 20 bytes on
  Bytes family = Concat({low, {0x60, 0, 0, 0}, Header2(2, 1, 2, 0, 4), {0x12}});
  Decoded decoded = DecodeBitmap(family);
  EXPECT_EQ(decoded.result, BitmapResult::kOk);
  EXPECT_EQ(decoded.pixels, (std::vector<std::uint32_t>{0xAAAAAAFF, 0x555555FF}));
}

Bytes ViewerRecord(int version, int type, int width, int height, const Bytes& data) {
  Bytes record(58, 0);
  record[32] = static_cast<unsigned char>(version);
  record[33] = static_cast<unsigned char>(type);
  record[54] = static_cast<unsigned char>(width >> 8);
  record[55] = static_cast<unsigned char>(width);
  record[56] = static_cast<unsigned char>(height >> 8);
  record[57] = static_cast<unsigned char>(height);
  return Concat({record, data});
}

TEST(ImageViewer, DecodesRunsAndRefusesDamage) {
  struct Case {
    const char* what;
    Bytes record;
    BitmapResult result;
    std::vector<unsigned char> greys;
  } cases[] = {
      {"a run across rows and a literal",
       ViewerRecord(1, 0, 8, 2, {0x81, 0x1B, 0x01, 0xFF, 0xE4}),
       BitmapResult::kOk,
       {0xFF, 0xAA, 0x55, 0x00, 0xFF, 0xAA, 0x55, 0x00, 0, 0, 0, 0, 0, 0x55, 0xAA, 0xFF}},
      {"the run length wins over a version saying plain",
       ViewerRecord(0, 0xFF, 32, 1, {0x83, 0x0F}),
       BitmapResult::kOk,
       {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,
        0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
      {"runs that end too soon", ViewerRecord(1, 0, 16, 16, {0x81, 0}), BitmapResult::kDamaged, {}},
      {"a literal past the record",
       ViewerRecord(1, 2, 16, 1, {0x07, 1, 2}),
       BitmapResult::kDamaged,
       {}},
      {"no width", ViewerRecord(0, 0, 0, 16, Bytes(64, 0)), BitmapResult::kDamaged, {}},
      {"a header cut short", Bytes(57, 0), BitmapResult::kDamaged, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<unsigned char[]> copy(new unsigned char[c.record.size()]);
    std::copy(c.record.begin(), c.record.end(), copy.get());
    Image image;
    EXPECT_EQ(DecodeImageViewerPicture(copy.get(), c.record.size(), &image), c.result);
    std::vector<unsigned char> greys;
    for (std::uint32_t y = 0; y < image.Height(); ++y) {
      for (std::uint32_t x = 0; x < image.Width(); ++x) greys.push_back(image.Row(y)[4 * x]);
    }
    EXPECT_EQ(greys, c.greys);
  }
}

// A photo's format is read from its picture's first bytes, which may lie
// over several records' payloads.
TEST(Photo, FormatComesFromTheSignatureAcrossRecords) {
  struct Case {
    const char* what;
    std::vector<Bytes> payloads;
    const char* extension;
  } cases[] = {
      {"PNG split after three bytes", {{0x89, 'P', 'N'}, {'G', '\r', '\n', 0x1A, '\n', 0}}, ".png"},
      {"JPEG", {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}}, ".jpg"},
      {"GIF", {{'G', 'I', 'F', '8', '9', 'a', 1}}, ".gif"},
      {"a PNG signature cut short", {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A}}, ""},
      {"no records", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    testing::DatabaseBuilder builder;
    builder.Kind("Foto", "Foto");
    for (const Bytes& payload : c.payloads) builder.AddRecord(Concat({Bytes(8, 7), payload}));
    std::string path = builder.WriteTo(dir.File("photo.pdb"));
    auto state = std::make_unique<ArchiveState>();
    ASSERT_EQ(OpenDatabase(path.c_str(), state.get()), kResultOk);
    auto conversion = std::make_unique<Conversion>();
    conversion->state = state.get();
    conversion->source = platform::OpenForReading(path.c_str());
    unsigned char head[8];
    std::size_t got = 0;
    EXPECT_EQ(ReadPhotoHead(conversion.get(), head, sizeof head, &got), kResultOk);
    EXPECT_STREQ(PictureExtensionOf(head, got), c.extension);
    platform::Close(&conversion->source);
  }
}

}  // namespace
}  // namespace ormidal
