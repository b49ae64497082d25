// Writes the sample databases of the three kinds that packing a text does
// not make, and beside them, in expected/, what converting each one must
// give:
//   compressed-text.pdb  zTXT/GPlm, the bundled text as one zlib stream
//   photo.pdb            Foto/Foto, a small PNG picture split over records
//   dated-notes.pdb      DATA/MNBi, a keeper's log, one note per record
//
//   ormidal_make_samples SAMPLE_TEXT OUTPUT_FOLDER
//
// The build runs it (target ormidal_samples) into build/PRESET/samples.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "database_builder.hpp"

using namespace ormidal::samples;

namespace {

// Creation times are seconds since 1 January 1904, as a handheld counts them.
constexpr std::uint32_t kSecondsFrom1904To1970 = 2082844800u;
// 12 March 2004, 10:30:00 UTC.
constexpr std::uint32_t kCreationTime = 1079087400u + kSecondsFrom1904To1970;

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

void AppendBigEndian(Bytes* out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out->push_back(static_cast<unsigned char>(value >> shift));
}

// What a handheld stores of a desktop text: CR and the other control bytes
// but tab and LF dropped.
Bytes DeviceText(const Bytes& text) {
  Bytes out;
  for (unsigned char c : text) {
    if (c >= 0x20 || c == '\t' || c == '\n') out.push_back(c);
  }
  return out;
}

// What the converter makes of handheld text: LF as CR LF, tab kept, the
// other control bytes dropped.
Bytes DesktopText(const Bytes& text) {
  Bytes out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out.push_back('\r');
      out.push_back('\n');
    } else if (c >= 0x20 || c == '\t') {
      out.push_back(c);
    }
  }
  return out;
}

// Deflates `text` as one zlib stream with a full flush after every `piece`
// bytes of input, and returns the stream cut at those flushes: each part
// can be inflated from its own start, as a reader that jumps into the
// middle of a book needs.
std::vector<Bytes> DeflateInPieces(const Bytes& text, std::size_t piece) {
  z_stream stream{};
  if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK)
    throw std::runtime_error("zlib: deflateInit failed");
  std::vector<Bytes> parts;
  std::size_t done = 0;
  do {
    std::size_t size = std::min(piece, text.size() - done);
    bool last = done + size == text.size();
    Bytes part(deflateBound(&stream, static_cast<uLong>(size)) + 64);
    stream.next_in = const_cast<unsigned char*>(text.data() + done);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = part.data();
    stream.avail_out = static_cast<uInt>(part.size());
    int status = deflate(&stream, last ? Z_FINISH : Z_FULL_FLUSH);
    if (status != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0)
      throw std::runtime_error("zlib: deflate failed");
    part.resize(part.size() - stream.avail_out);
    parts.push_back(part);
    done += size;
  } while (done < text.size());
  deflateEnd(&stream);
  return parts;
}

// The zTXT header record: version 1.44, record count, text length, record
// size, no bookmarks or annotations, the random-access flag, and the CRC
// of the compressed data.
Bytes CompressedTextHeader(const std::vector<Bytes>& parts, std::size_t textLength,
                           std::uint16_t recordSize) {
  uLong crc = crc32(0, nullptr, 0);
  for (const Bytes& part : parts) crc = crc32(crc, part.data(), static_cast<uInt>(part.size()));
  Bytes out;
  AppendBigEndian(&out, 0x012C, 2);
  AppendBigEndian(&out, static_cast<std::uint32_t>(parts.size()), 2);
  AppendBigEndian(&out, static_cast<std::uint32_t>(textLength), 4);
  AppendBigEndian(&out, recordSize, 2);
  AppendBigEndian(&out, 0, 2);  // bookmarks
  AppendBigEndian(&out, 0, 2);  // bookmark record
  AppendBigEndian(&out, 0, 2);  // annotations
  AppendBigEndian(&out, 0, 2);  // annotation record
  out.push_back(0x01);          // random access: every record starts at a full flush
  out.push_back(0);
  AppendBigEndian(&out, static_cast<std::uint32_t>(crc), 4);
  AppendBigEndian(&out, 0, 4);
  return out;
}

void WriteCompressedText(const Bytes& sampleText, const std::filesystem::path& out) {
  constexpr std::uint16_t kRecordSize = 4096;
  Bytes text = DeviceText(sampleText);
  std::vector<Bytes> parts = DeflateInPieces(text, kRecordSize);
  DatabaseBuilder builder;
  builder.Name("The Keeper of the Tide Clock")
      .Kind("zTXT", "GPlm")
      .CreationTime(kCreationTime)
      .AddRecord(CompressedTextHeader(parts, text.size(), kRecordSize));
  for (const Bytes& part : parts) builder.AddRecord(part);
  builder.WriteTo((out / "compressed-text.pdb").string());
  WriteFileBytes((out / "expected" / "compressed-text.txt").string(), DesktopText(text));
}

// One PNG chunk: length, type, data and the CRC of type and data.
void AppendChunk(Bytes* png, const char* type, const Bytes& data) {
  AppendBigEndian(png, static_cast<std::uint32_t>(data.size()), 4);
  Bytes typed(type, type + 4);
  Append(&typed, data);
  Append(png, typed);
  AppendBigEndian(
      png, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))), 4);
}

// A 96 x 96 picture of the tide clock: a pale face with a dark rim, a tick
// at high and at low water, and the red hand on the way down.
Bytes TideClockPng() {
  constexpr int kSide = 96;
  const double centre = (kSide - 1) / 2.0;
  const double handAngle = 2.4;  // radians clockwise from high water
  Bytes rows;
  for (int y = 0; y < kSide; ++y) {
    rows.push_back(0);  // no filter
    for (int x = 0; x < kSide; ++x) {
      double dx = x - centre, dy = y - centre;
      double radius = std::sqrt(dx * dx + dy * dy);
      // Distance from the hand, a segment from the centre outwards.
      double hx = std::sin(handAngle), hy = -std::cos(handAngle);
      double along = dx * hx + dy * hy;
      double across = std::fabs(dx * hy - dy * hx);
      unsigned char r = 70, g = 110, b = 140;  // the sea around the clock
      if (radius < 44) r = 238, g = 232, b = 214;
      if (radius >= 40 && radius < 44) r = 40, g = 44, b = 52;
      bool tick = std::fabs(dx) < 2 && radius > 32 && radius < 40;
      if (tick) r = 40, g = 44, b = 52;
      if (along > 0 && along < 34 && across < 2.5) r = 170, g = 52, b = 40;
      if (radius < 4) r = 40, g = 44, b = 52;
      rows.push_back(r);
      rows.push_back(g);
      rows.push_back(b);
    }
  }
  Bytes compressed(compressBound(static_cast<uLong>(rows.size())));
  uLongf size = static_cast<uLongf>(compressed.size());
  if (compress2(compressed.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 9) != Z_OK)
    throw std::runtime_error("zlib: compress2 failed");
  compressed.resize(size);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  AppendBigEndian(&header, kSide, 4);
  AppendBigEndian(&header, kSide, 4);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  AppendChunk(&png, "IHDR", header);
  AppendChunk(&png, "IDAT", compressed);
  AppendChunk(&png, "IEND", {});
  return png;
}

void WritePhoto(const std::filesystem::path& out) {
  constexpr std::size_t kPiece = 512;
  Bytes png = TideClockPng();
  DatabaseBuilder builder;
  builder.Name("Tide clock face").Kind("Foto", "Foto").CreationTime(kCreationTime);
  // Each record: an 8-byte prefix (here the record's number and its
  // payload's length), which the converter skips, and a piece of the picture.
  for (std::size_t at = 0, index = 0; at < png.size(); at += kPiece, ++index) {
    std::size_t size = std::min(kPiece, png.size() - at);
    Bytes record;
    AppendBigEndian(&record, static_cast<std::uint32_t>(index), 4);
    AppendBigEndian(&record, static_cast<std::uint32_t>(size), 4);
    record.insert(record.end(), png.begin() + at, png.begin() + at + size);
    builder.AddRecord(record);
  }
  builder.WriteTo((out / "photo.pdb").string());
  WriteFileBytes((out / "expected" / "photo.png").string(), png);
}

struct Note {
  int year, month, day;
  const char* text;
};

const Note kNotes[] = {
    {2003, 11, 2, "Wind NW 6, high water 06:12. The heron came back."},
    {2003, 11, 19, "Wind W 4, high water 05:40. Bread from the Tullochs, still warm."},
    {2003, 12, 7, "Storm, telegraph down. High water 07:03, and far too soon."},
    {2003, 12, 8, "Wait for the second tide. The first one lies."},
    {2003, 12, 24, "Calm, high water 06:55. Pulled the weight up: new moon."},
    {2004, 1, 4, "Wind N 3, high water 08:21. The first tide lies, the second forgives."},
};

void WriteDatedNotes(const std::filesystem::path& out) {
  DatabaseBuilder builder;
  builder.Name("Keeper's log").Kind("DATA", "MNBi").CreationTime(kCreationTime);
  std::string expected;
  for (const Note& note : kNotes) {
    // The packed date: year less 1904 in bits 15 to 9, month in 8 to 5,
    // day in 4 to 0; then two bytes of the note's own, its text and a
    // terminating zero.
    std::uint32_t packed =
        (static_cast<std::uint32_t>(note.year - 1904) << 9) | (note.month << 5) | note.day;
    Bytes record;
    AppendBigEndian(&record, packed, 2);
    record.insert(record.end(), {0, 0});
    std::string text = note.text;
    record.insert(record.end(), text.begin(), text.end());
    record.push_back(0);
    builder.AddRecord(record);
    char date[32];
    std::snprintf(date, sizeof date, "%2d.%2d.%d   ", note.day, note.month, note.year);
    expected += date + text + "\r\n";
  }
  builder.WriteTo((out / "dated-notes.pdb").string());
  WriteFileBytes((out / "expected" / "dated-notes.txt").string(), ToBytes(expected));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SAMPLE_TEXT OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  try {
    std::filesystem::path out = argv[2];
    std::filesystem::create_directories(out / "expected");
    WriteCompressedText(ReadWholeFile(argv[1]), out);
    WritePhoto(out);
    WriteDatedNotes(out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
