//===-- tests/hardening/arcz_test.cpp - arcz on hostile archives ----------===//
//
// The command line tool must say so when an archive lies: every hostile
// archive makes `arcz t` and `arcz x` exit with a status other than 0, and
// `arcz x` writes nothing outside the folder it was given.
//
//===----------------------------------------------------------------------===//
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/test_temp_dir.h"
#include "hostile_zip.h"

namespace arc {
namespace {

namespace fs = std::filesystem;

using test::BuildHostile;
using test::HostileEntry;

int Status(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ArczOnHostileArchives, EveryLieGivesAFailingStatus) {
  test::TempDir dir;
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";

  HostileEntry shared = HostileEntry::Stored("shared.txt", "data");
  shared.writeLocal = false;
  shared.localOffset = 0;
  HostileEntry longer = HostileEntry::Deflated("longer.txt", "short");
  longer.uncompressedSize = 1 << 20;
  HostileEntry secret = HostileEntry::Stored("secret.txt", "1234");
  secret.flags = 1;
  const std::vector<std::pair<std::string, std::vector<HostileEntry>>> archives = {
      {"traversal", {HostileEntry::Stored("../../escape.txt", "out")}},
      {"absolute", {HostileEntry::Stored(dir / "absolute/escape.txt", "out")}},
      {"empty-name", {HostileEntry::Stored("..", "nothing")}},
      {"shared", {HostileEntry::Stored("a.txt", "data"), shared}},
      {"longer", {longer}},
      {"secret", {secret}},
  };
  for (const auto& [name, entries] : archives) {
    const std::vector<uint8_t> bytes = BuildHostile(entries);
    const std::string archive = dir / (name + ".zip");
    std::ofstream(archive, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::string work = dir.MakeDir(name + "/a/b") + "/";
    EXPECT_EQ(Status(arcz + " t '" + archive + "'"), 1) << name;
    EXPECT_EQ(Status("cd '" + work + "' && " + arcz + " x '" + archive + "' -d out"), 1) << name;
    // Nothing but the output folder appeared beside it.
    size_t beside = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir / (name + "/"))) {
      if (e.is_regular_file() && e.path().string().find("/out/") == std::string::npos) ++beside;
    }
    EXPECT_EQ(beside, 0u) << name;
  }
}

TEST(ArczOnHostileArchives, NamesCannotSendCommandsToTheTerminal) {
  test::TempDir dir;
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";
  // ESC [ 2 J clears the screen; C2 9B is the one-byte CSI in UTF-8; a bell.
  // The first name is marked UTF-8, so that its C1 byte pair reaches the
  // terminal code unchanged instead of being read as two CP437 characters.
  HostileEntry utf8 = HostileEntry::Stored(
      "a\x1b[2Jb\xc2\x9b"
      "31m\a.txt",
      "x");
  utf8.flags = 0x0800;
  const std::vector<uint8_t> bytes =
      BuildHostile({utf8, HostileEntry::Stored("../c\x1b]0;t\a", "")});
  const std::string archive = dir / "names.zip";
  std::ofstream(archive, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  for (const std::string command : {" l ", " t "}) {
    FILE* p = popen((arcz + command + "'" + archive + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string output;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    pclose(p);
    const std::string shown = command == " l " ? "a?[2Jb?31m?.txt" : "../c?]0;t?";
    EXPECT_NE(output.find(shown), std::string::npos) << command << output;
    for (char c : output)
      EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << command;
    EXPECT_EQ(output.find("\xc2\x9b"), std::string::npos);
  }
}

}  // namespace
}  // namespace arc
