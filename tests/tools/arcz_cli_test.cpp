//===-- tests/tools/arcz_cli_test.cpp - arcz's command line without a terminal ===//
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/test_temp_dir.h"
#include "hardening/hostile_zip.h"

namespace arc {
namespace {

using test::HostileEntry;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

/// arcz `args` in `dir`, with no terminal on any of its streams.
Result Arcz(const test::TempDir& dir, const std::string& args) {
  const std::string command = "cd '" + dir.slashed() + "' && " ARC_BIN_DIR "/arcz " + args +
                              " </dev/null >.stdout 2>.stderr";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / ".stdout"),
          ReadFile(dir / ".stderr")};
}

void Save(const test::TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TEST(ArczCommandLine, HelpVersionUsageErrorsAndUnreadableArchives) {
  test::TempDir dir;
  dir.Write("text.zip", "no archive at all");
  const struct {
    std::string args;
    int status;
    std::string says;  // on standard output with 0, else the one line on standard error
  } rows[] = {
      {"--help", 0, "usage: arcz COMMAND ARCHIVE"},
      {"-h", 0, "arcz x ARCHIVE [-d DIR]"},
      {"--version", 0, "arcz 1."},
      {"x --help", 0, "-n           never replace"},
      {"d a.zip -h", 0, "usage: arcz d ARCHIVE"},
      {"", 2, "arcz: no command given (see 'arcz --help')\n"},
      {"help", 2, "arcz: unknown command 'help' (see 'arcz --help')\n"},
      {"x a.zip -z", 2, "arcz: unknown option -z (see 'arcz x --help')\n"},
      {"l a.zip -p pw", 2, "arcz: option -p does not go with 'l' (see 'arcz l --help')\n"},
      {"x a.zip -o -n", 2, "arcz: options -o and -n do not go together (see 'arcz x --help')\n"},
      {"x a.zip -d", 2, "arcz: option -d needs a value (see 'arcz x --help')\n"},
      {"t --help", 0, "-j N         use N threads"},
      {"t a.zip -j x", 2,
       "arcz: option -j needs a number of threads from 0 (one per core) to 256 (see 'arcz t "
       "--help')\n"},
      {"d a.zip -j 2 x", 2, "arcz: option -j does not go with 'd' (see 'arcz d --help')\n"},
      {"a a.zip -r", 2, "arcz: no file or folder to add (see 'arcz a --help')\n"},
      {"a --help", 0, "-j N         deflate on N threads"},
      {"a a.zip -j -1 text.zip", 2,
       "arcz: option -j needs a number of threads from 0 (one per core) to 256 (see 'arcz a "
       "--help')\n"},
      {"a j.zip -j 3 -q text.zip", 0, ""},
      {"d a.zip", 2, "arcz: no mask of entries to delete (see 'arcz d --help')\n"},
      {"x missing.zip", 3, "arcz: error 25192 (File not found): missing.zip\n"},
      {"l text.zip", 3, "arcz: text.zip: not a ZIP archive\n"},
      {"t .", 3, "arcz: .: is a folder\n"},
  };
  for (const auto& r : rows) {
    const Result got = Arcz(dir, r.args);
    EXPECT_EQ(got.status, r.status) << r.args;
    if (r.status == 0) {
      EXPECT_NE(got.out.find(r.says), std::string::npos) << r.args << "\n" << got.out;
      EXPECT_EQ(got.err, "") << r.args;
    } else {
      EXPECT_EQ(got.err, r.says) << r.args;
      EXPECT_EQ(got.out, "") << r.args;
    }
  }
}

TEST(ArczCommandLine, DetailedListShowsRatioAndEncryption) {
  test::TempDir dir;
  HostileEntry packed = HostileEntry::Stored("packed.txt", std::string(250, 'p'));
  packed.method = 8;
  packed.uncompressedSize = 1000;  // only listed, never decoded
  HostileEntry zipCrypto = HostileEntry::Stored("zipcrypto.txt", std::string(20, 'z'));
  zipCrypto.flags = 1;
  HostileEntry aes = HostileEntry::Stored("aes.txt", std::string(40, 'a'));
  aes.flags = 1;
  aes.method = 99;
  // AE-2, strength 3 (AES-256), really deflated.
  aes.centralExtra = test::ExtraBlock(0x9901, std::string("\x02\x00"
                                                          "AE"
                                                          "\x03\x08\x00",
                                                          7));
  aes.localExtra = aes.centralExtra;
  HostileEntry aesBare = aes;
  aesBare.name = "aes-bare.txt";
  aesBare.centralExtra = aesBare.localExtra = "";
  Save(dir, "listed.zip", test::BuildHostile({packed, zipCrypto, aes, aesBare}));
  const Result r = Arcz(dir, "l -v listed.zip");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::pair<std::string, std::vector<std::string>> rows[] = {
      {"packed.txt", {"DeflateN", "75%", "-"}},
      {"zipcrypto.txt", {"Stored", "ZipCrypto"}},
      {" aes.txt", {"DeflateN", "AES-256"}},
      {"aes-bare.txt", {"AES", "AES "}},
  };
  for (const auto& [name, columns] : rows) {
    const size_t at = r.out.find(name + "\n");
    ASSERT_NE(at, std::string::npos) << name << "\n" << r.out;
    const std::string line = r.out.substr(r.out.rfind('\n', at) + 1, at - r.out.rfind('\n', at));
    for (const std::string& c : columns) {
      EXPECT_NE(line.find(" " + c + " "), std::string::npos) << c << " in " << line;
    }
  }
  EXPECT_NE(r.out.find("4 entries"), std::string::npos) << r.out;
}

TEST(ArczCommandLine, FilesAlreadyThereAreReplacedOnlyWhenAsked) {
  const struct {
    std::string option;
    int status;
    std::string contents;
    std::string says;
  } rows[] = {
      {"", 1, "old", "out/a.txt: already there, not replaced (-o replaces, -n keeps)"},
      {"-n", 0, "old", "0 files extracted, 1 kept as they were, no errors"},
      {"-o", 0, "new", "1 file extracted, no errors"},
  };
  for (const auto& r : rows) {
    test::TempDir dir;
    Save(dir, "a.zip", test::BuildHostile({HostileEntry::Stored("a.txt", "new")}));
    dir.Write("out/a.txt", "old");
    const Result got = Arcz(dir, "x a.zip -d out " + r.option);
    EXPECT_EQ(got.status, r.status) << r.option;
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), r.contents) << r.option;
    EXPECT_NE((got.err + got.out).find(r.says), std::string::npos)
        << r.option << got.err << got.out;
  }
}

}  // namespace
}  // namespace arc
