// Writes the fuzz targets' seed corpora from the fixture builder: every kind
// of database, good and broken, and texts for the packer.
//   ormidal_make_seeds OUTPUT_FOLDER
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/database_builder.hpp"

using namespace ormidal::testing;

namespace {

Bytes Deflate(const std::string& text) {
  Bytes out(compressBound(static_cast<uLong>(text.size())) + 16);
  uLongf size = static_cast<uLongf>(out.size());
  compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uLong>(text.size()), 9);
  out.resize(size);
  return out;
}

void Put(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(folder);
  WriteFileBytes((folder / name).string(), bytes);
}

void ArchiveSeeds(const std::filesystem::path& folder) {
  std::string text = "Hello,\r\nPalm world.\tTabbed\n" + std::string(300, 'x') + "\n";
  Put(folder, "document",
      DatabaseBuilder()
          .Name("book")
          .AddRecord(DocumentHeader(1, static_cast<std::uint32_t>(text.size()), 1))
          .AddRecord(text)
          .AddRecord("bookmark")
          .Build());
  // Compressed document: literals, a literal run, space pairs and a back copy.
  Bytes lz = {'a', 'b', 'c', 'd', 0x03, 0x01, 0x02, 0x03, 0xE8, 0x80, 0x21, 'Z'};
  Put(folder, "document-lz77",
      DatabaseBuilder().Name("lz").AddRecord(DocumentHeader(2, 14, 1)).AddRecord(lz).Build());
  Put(folder, "photo",
      DatabaseBuilder()
          .Name("pic")
          .Kind("Foto", "Foto")
          .AddRecord(Bytes(8, 0))
          .AddRecord(Bytes(20, 0xFF))
          .AddRecord(Bytes(3, 1))
          .Build());
  Bytes note = {0x20, 0x24, 0, 0, 'H', 'i', 0};
  Put(folder, "notes",
      DatabaseBuilder()
          .Name("memo")
          .Kind("DATA", "MNBi")
          .AddRecord(note)
          .AddRecord(Bytes{1})
          .Build());
  Put(folder, "ztxt",
      DatabaseBuilder()
          .Name("z")
          .Kind("zTXT", "GPlm")
          .AddRecord(Bytes(20, 0))
          .AddRecord(Deflate(text + text + text))
          .Build());
  Put(folder, "unknown",
      DatabaseBuilder().Name("a/b:c").Kind("BOOK", "MOBI").AddRecord("x").Build());
  Put(folder, "cut-list", DatabaseBuilder().StatedRecordCount(9).AddRecord("a").Build());
  Put(folder, "wrapped",
      DatabaseBuilder().AddRecord("aaaa").AddRecord("bb").StatedOffsets({200, 90}).Build());
  Put(folder, "beyond-end",
      DatabaseBuilder().AddRecord("r0").AddRecord("r1").StatedOffsets({88, 0x7FFFFFFF}).Build());
}

void PackSeeds(const std::filesystem::path& folder) {
  Put(folder, "empty", Bytes{});
  Put(folder, "crlf", ToBytes("line one\r\nline two\r\n\ttab\x7f\xe9\x01\x1f\n"));
  Put(folder, "block", Bytes(4096, 'a'));
}

void Lz77Seeds(const std::filesystem::path& folder) {
  Put(folder, "mixed", Bytes{'a', 'b', 'c', 0x02, 0xFF, 0x00, 0xC1, 0x80, 0x19, 0x80, 0x0A});
  Put(folder, "too-far", Bytes{'a', 0x87, 0xFF});
  Put(folder, "cut-run", Bytes{'a', 0x08, 'b'});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path out = argv[1];
  ArchiveSeeds(out / "archive");
  PackSeeds(out / "pack");
  // The text filters see what the packer sees.
  PackSeeds(out / "filters");
  Lz77Seeds(out / "lz77");
  return 0;
}
