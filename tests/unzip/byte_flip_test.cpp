//===-- tests/unzip/byte_flip_test.cpp - Every byte of an archive damaged --===//
//
// A small archive (stored and deflated entries, a folder) is damaged one byte
// at a time and extracted each time. The run must never crash or hang, must
// write nothing outside its folder, and every file it claims to have written
// correctly (OnEnd with CRC_PASS) must hold the data of an entry of the
// original; any other outcome has to be reported.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "extract_fixture.h"
#include "zip_builder.h"

namespace arc {
namespace {

using test::TestEntry;
using test::ZipBuilder;

class ByteFlip : public test::ExtractFixture {};

TEST_F(ByteFlip, EveryDamagedByteIsHandled) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + " of the report\n";
  const std::vector<TestEntry> entries = {
      {.name = "docs/", .data = "", .externalAttributes = 0x10},
      {.name = "docs/report.txt", .data = text, .method = 8},
      {.name = "tiny.txt", .data = "x"},
      {.name = "bin/raw.dat", .data = std::string("\x00\x01\x02\xff", 4) + "raw bytes"},
  };
  ZipBuilder builder;
  for (const TestEntry& e : entries) builder.Add(e);
  const std::vector<uint8_t> original = builder.Build();
  std::set<std::string> contents;
  for (const TestEntry& e : entries) contents.insert(e.data);

  unzip.SetCreateStoredDirs(true);
  for (size_t at = 0; at < original.size(); ++at) {
    std::vector<uint8_t> damaged = original;
    damaged[at] ^= 0xFF;
    std::filesystem::remove_all(out);
    UseArchive(damaged);
    std::vector<std::pair<std::string, bool>> ends;
    unzip.OnEnd = [&](TObject*, const std::string& f, bool pass) { ends.emplace_back(f, pass); };
    errors.clear();
    unzip.Extract();

    // Only the archive and what lies below the output folder exist.
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.slashed())) {
      const std::string p = e.path().string();
      ASSERT_TRUE(p == dir / "a.zip" || p.rfind(out, 0) == 0 || p + "/" == out)
          << "byte " << at << " wrote " << p;
    }
    for (const auto& [file, pass] : ends) {
      if (!pass || !std::filesystem::is_regular_file(file)) continue;
      EXPECT_TRUE(contents.count(Read(file))) << "byte " << at << ": " << file << " passed";
    }
  }
}

}  // namespace
}  // namespace arc
