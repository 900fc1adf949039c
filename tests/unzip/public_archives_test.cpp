//===-- tests/unzip/public_archives_test.cpp - Archives made by other tools -===//
//
// One test per archive of tests/data/public, driven by its MANIFEST.md: every
// file entry of a method the reader decodes must come out with the listed
// size and CRC-32 (the password given there in Passwords); an entry of any
// other method must be reported as unsupported.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <regex>
#include <set>

#include <arc/support/error_codes.h>
#include "extract_fixture.h"

namespace arc {
namespace {

const std::string kPublic = std::string(ARC_TEST_DATA) + "/public/";

struct ListedEntry {
  std::string name;
  int method = 0;
  bool directory = false;
  uint64_t size = 0;
  uint32_t crc = 0;
};

struct ListedArchive {
  std::string file;  // the file to open (the .zip of a split set)
  std::string password;
  std::vector<ListedEntry> entries;
};

void PrintTo(const ListedArchive& a, std::ostream* os) { *os << a.file; }

std::vector<ListedArchive> ReadManifest() {
  std::ifstream in(kPublic + "MANIFEST.md");
  std::vector<ListedArchive> out;
  const std::regex section(R"(^### public/(\S+?)(\.\{[a-z0-9,]+\})?$)");
  const std::regex password(R"(^- password: `(.*)`$)");
  const std::regex row(
      R"(^\| \d+ \| `(.*)` \| [^|]*\((\d+)\)[^|]*\|[^|]*\|[^|]*\| *\d+ \| *(\d+) \| ([0-9a-f]{8}) \| (.*) \|$)");
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, section)) {
      out.push_back({m[1].str() + (m[2].matched ? ".zip" : ""), "", {}});
    } else if (!out.empty() && std::regex_match(line, m, password)) {
      out.back().password = m[1];
    } else if (!out.empty() && std::regex_match(line, m, row)) {
      ListedEntry e;
      e.name = m[1];
      e.method = std::stoi(m[2]);
      e.size = std::stoull(m[3]);
      e.crc = static_cast<uint32_t>(std::stoul(m[4], nullptr, 16));
      e.directory = m[5] == "dir";
      out.back().entries.push_back(e);
    }
  }
  return out;
}

/// Methods the reader decodes; every other one must be reported unsupported.
const std::set<int> kDecodedMethods = {0, 1, 2, 3, 4, 5, 6, 8, 9, 12, 14, 93, 95, 99};

bool Decoded(int method) { return kDecodedMethods.count(method) != 0; }

uint32_t CrcOfFile(const std::string& path, uint64_t& size) {
  std::ifstream in(path, std::ios::binary);
  std::string data{std::istreambuf_iterator<char>(in), {}};
  size = data.size();
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

class PublicArchive : public test::ExtractFixture,
                      public ::testing::WithParamInterface<ListedArchive> {};

TEST_P(PublicArchive, ExtractsAsListed) {
  const ListedArchive& a = GetParam();
  ASSERT_TRUE(std::filesystem::exists(kPublic + a.file)) << a.file;
  UseFile(kPublic + a.file);
  if (!a.password.empty()) unzip.SetPasswords({a.password});
  unzip.OnNextVolume = [](TObject*, std::string&, const std::string&, bool, bool&) {};
  std::vector<std::pair<std::string, bool>> ends;
  unzip.OnEnd = [&](TObject*, const std::string& f, bool pass) { ends.emplace_back(f, pass); };
  unzip.Extract();

  ASSERT_EQ(ends.size(), a.entries.size());
  std::set<std::string> unsupported;
  // An archive without a directory is said to be read from its local headers.
  const bool walked = unzip.OpenState().headerState == htLocal && !a.entries.empty();
  for (const auto& e : errors) {
    if (e.code == ec::UnsupportedCompressionMethod)
      unsupported.insert(e.fileName);
    else if (!walked || e.code != ec::HeaderNotFound)
      ADD_FAILURE() << a.file << ": error " << e.code << " " << e.fileName;
  }
  const std::vector<int32_t> codes = Codes();
  EXPECT_EQ(walked, std::count(codes.begin(), codes.end(), ec::HeaderNotFound) == 1) << a.file;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const ListedEntry& e = a.entries[i];
    if (e.directory) continue;
    const std::string& output = ends[i].first;
    if (!Decoded(e.method)) {
      EXPECT_TRUE(unsupported.count(output)) << a.file << ": " << e.name;
      continue;
    }
    uint64_t size = 0;
    const uint32_t crc = CrcOfFile(output, size);
    // An AE-2 entry lists CRC 0: its authentication code stands for it.
    if (e.method != 99 || e.crc != 0) {
      EXPECT_EQ(crc, e.crc) << a.file << ": " << e.name;
    }
    EXPECT_EQ(size, e.size) << a.file << ": " << e.name;
    EXPECT_TRUE(ends[i].second) << a.file << ": " << e.name;
  }
}

std::string TestName(const ::testing::TestParamInfo<ListedArchive>& info) {
  std::string name = info.param.file;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Manifest, PublicArchive, ::testing::ValuesIn(ReadManifest()), TestName);

}  // namespace
}  // namespace arc
