//===-- tests/hardening/arcz_read_test.cpp - What arcz l, t and x say -----===//
//
// arcz says "no errors" and exits 0 only when nothing is wrong: entries read
// without a directory, a mask that takes nothing, an entry it cannot decode,
// a volume that is missing, a folder or an unreadable file are each said
// plainly and fail the status (3 when the archive cannot be read at all).
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/test_as_nobody.h"
#include "common/test_temp_dir.h"
#include "hostile_zip.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::HostileEntry;

/// Runs arcz with `args` (after `env` assignments), no terminal on its
/// input; its status and everything it printed.
std::pair<int, std::string> Arcz(const std::string& args, const std::string& env = {}) {
  const std::string command = env + ARC_BIN_DIR "/arcz " + args + " </dev/null 2>&1";
  std::string output;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return {-1, output};
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string Save(const test::TempDir& dir, const std::string& name,
                 const std::vector<uint8_t>& bytes) {
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return "'" + (dir / name) + "'";
}

TEST(ArczReading, WhatIsSaidInsteadOfNoErrors) {
  test::TempDir dir;
  std::vector<uint8_t> bytes = BuildHostile({HostileEntry::Stored("a.txt", "A")});
  const std::string good = Save(dir, "good.zip", bytes);
  bytes.resize(30 + 5 + 1);  // the directory and end record cut off
  const std::string cut = Save(dir, "cut.zip", bytes);
  HostileEntry ppmd = HostileEntry::Stored("b.txt", "PPMd");
  ppmd.method = 98;  // read by no decoder
  const std::string mixed =
      Save(dir, "mixed.zip", BuildHostile({HostileEntry::Stored("a.txt", "A"), ppmd}));
  HostileEntry timed = HostileEntry::Stored("t.txt", "t");
  // Modification time 1700000000, 2023-11-14 22:13:20 UTC.
  timed.centralExtra = test::ExtraBlock(0x5455, std::string("\x01\x00\xF1\x53\x65", 5));
  const std::string timedZip = Save(dir, "timed.zip", BuildHostile({timed}));
  // A folder of its own for each extraction: a file already there is not replaced.
  const auto out = [&dir](const std::string& name) { return " -d '" + dir.MakeDir(name) + "'"; };
  // A split archive whose first volume is missing.
  const std::string split = std::string(ARC_TEST_DATA) + "/public/gen-infozip-split";
  std::filesystem::copy_file(split + ".zip", dir / "set.zip");
  std::filesystem::copy_file(split + ".z02", dir / "set.z02");

  const struct {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"l " + cut, 1, "warning 25259"},
      {"t " + cut, 1, "warning 25259"},
      {"x " + mixed + out("mixed"), 1, "1 file extracted"},
      {"x " + good + out("masks") + " '*.txt' nothing.bin", 1, "no entry matches nothing.bin"},
      {"x '" + dir.slashed() + "'", 3, "is a folder"},
      {"t '" + (dir / "set.zip") + "'", 1, "missing volume " + (dir / "set.z01")},
      {"l " + timedZip, 0, "2023-11-14 22:13"},
      {"x " + good + out("good") + " '*.txt'", 0, "1 file extracted, no errors"},
  };
  for (const auto& c : cases) {
    const auto [status, output] = Arcz(c.args, "TZ=UTC ");
    EXPECT_EQ(status, c.status) << c.args << "\n" << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << c.args << "\n" << output;
    EXPECT_EQ(output.find("User canceled"), std::string::npos) << output;
  }

  // An archive its user may not read (root reads anything).
  test::GiveToNobody(dir.slashed());
  ::chmod((dir / "good.zip").c_str(), 0);
  EXPECT_EQ(test::RunAsNobody([&] {
              const auto [status, output] = Arcz("l " + good);
              return status == 3 && output.find("permission denied") != std::string::npos ? 0 : 1;
            }),
            0);
}

}  // namespace
}  // namespace arc
