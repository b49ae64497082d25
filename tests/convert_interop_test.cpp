// Compressed documents written by a real writer, the Debian tool txt2pdbdoc,
// convert to the text that the same tool decodes, after the line-end filter.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "convert/converters.hpp"
#include "convert/text_filter.hpp"
#include "database/byte_order.hpp"
#include "plugin/interface.hpp"
#include "support/database_builder.hpp"

namespace ormidal {
namespace {

using testing::Bytes;
using testing::TempDir;

#if defined(_WIN32)

TEST(ConvertInterop, CompressedDocumentFromTxt2pdbdoc) {
  GTEST_SKIP() << "txt2pdbdoc is a Linux tool";
}

#else

bool HaveTxt2pdbdoc() { return std::system("command -v txt2pdbdoc >/dev/null 2>&1") == 0; }

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

Bytes SampleText() {
  std::mt19937 random(5);
  const char* words[] = {"the ",      "Palm ",    "caf\xE9 ", "\n", "\t",
                         "handheld ", "record. ", "\r\n",     "  "};
  Bytes text;
  while (text.size() < 90000) {
    for (const char* c = words[random() % 9]; *c; ++c)
      text.push_back(static_cast<unsigned char>(*c));
  }
  return text;
}

TEST(ConvertInterop, CompressedDocumentFromTxt2pdbdoc) {
  if (!HaveTxt2pdbdoc()) GTEST_SKIP() << "txt2pdbdoc is not on PATH";
  TempDir dir;
  std::string text = dir.File("in.txt");
  std::string database = dir.File("doc.pdb");
  std::string decoded = dir.File("decoded.txt");
  testing::WriteFileBytes(text, SampleText());
  ASSERT_TRUE(RunQuietly("txt2pdbdoc Sample '" + text + "' '" + database + "'"));
  ASSERT_TRUE(RunQuietly("txt2pdbdoc -d '" + database + "' '" + decoded + "'"));

  auto state = std::make_unique<ArchiveState>();
  ASSERT_EQ(OpenDatabase(database.c_str(), state.get()), kResultOk);
  ASSERT_GT(state->recordCount, 10);
  Bytes bytes = testing::ReadFileBytes(database);
  ASSERT_EQ(ReadBigEndian16(&bytes[state->recordOffsets[0]]), 2)
      << "expected a compressed document";

  platform::File source = platform::OpenForReading(database.c_str());
  platform::File destination;
  std::string converted = dir.File("ORMIDAL_doc.txt");
  ASSERT_EQ(platform::CreateForWriting(converted.c_str(), false, &destination),
            platform::CreateResult::kCreated);
  EXPECT_EQ(ConvertDatabase(*state, source, destination), kResultOk);
  platform::Close(&source);
  platform::Close(&destination);

  Bytes reference = testing::ReadFileBytes(decoded);
  Bytes expected(2 * reference.size());
  expected.resize(ExpandLineEnds(reference.data(), reference.size(), expected.data()));
  EXPECT_EQ(testing::ReadFileBytes(converted), expected);
}

#endif

}  // namespace
}  // namespace ormidal
