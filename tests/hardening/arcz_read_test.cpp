//===-- tests/hardening/arcz_read_test.cpp - What arcz l, t and x say -----===//
//
// arcz says "no errors" and exits 0 only when nothing is wrong. Damage, a
// mask that takes nothing, a volume that is missing, an archive that is a
// folder or cannot be read: each is said plainly and fails the status.
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "hostile_zip.h"
#include "support/as_nobody.h"
#include "support/scratch_dir.h"

namespace arc {
namespace {

using test::BuildHostile;
using test::HostileEntry;

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error
};

/// Runs arcz with `args` (and `env` assignments before it), no terminal on
/// standard input.
Outcome Arcz(const std::string& args, const std::string& env = {}) {
  Outcome o;
  const std::string command = env + std::string(ARC_BIN_DIR) + "/arcz " + args + " </dev/null 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return o;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) o.output.append(buf, n);
  const int status = pclose(p);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

std::string Save(const test::ScratchDir& dir, const std::string& name,
                 const std::vector<uint8_t>& bytes) {
  const std::string path = dir / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ArczReading, DamageFailsTheStatusOfListingAndTesting) {
  test::ScratchDir dir;
  const std::vector<uint8_t> sound = BuildHostile(
      {HostileEntry::Stored("a.txt", "first"), HostileEntry::Deflated("b.txt", "second")});
  // Directory and end record cut off: entries only from the local headers.
  const size_t directory = std::string(sound.begin(), sound.end()).find("PK\x01\x02");
  const std::vector<uint8_t> cut(sound.begin(), sound.begin() + static_cast<long>(directory));
  std::vector<uint8_t> badComment = sound;
  badComment[badComment.size() - 2] = 50;  // a comment of 50 bytes, none there
  HostileEntry longer = HostileEntry::Deflated("c.txt", "sound and more");
  longer.uncompressedSize = 5;
  longer.crc = test::Crc32Of("sound");
  const struct {
    std::string name;
    std::vector<uint8_t> bytes;
    bool listingSees;  // whether l can tell without decoding
    std::string says;
  } cases[] = {
      {"cut", cut, true, "warning 25259"},
      {"comment", badComment, true, "error 25122"},
      {"longer", BuildHostile({longer}), false, "error 25193"},
  };
  for (const auto& c : cases) {
    const std::string archive = Save(dir, c.name + ".zip", c.bytes);
    const Outcome tested = Arcz("t '" + archive + "'");
    EXPECT_EQ(tested.status, 1) << c.name << tested.output;
    EXPECT_TRUE(Has(tested.output, c.says)) << c.name << tested.output;
    EXPECT_FALSE(Has(tested.output, "no errors")) << c.name;
    if (c.listingSees) {
      EXPECT_EQ(Arcz("l '" + archive + "'").status, 1) << c.name;
    }
  }
}

TEST(ArczReading, WhatIsSaidInsteadOfNoErrors) {
  test::ScratchDir dir;
  const std::string good =
      Save(dir, "good.zip", BuildHostile({HostileEntry::Stored("a.txt", "A")}));
  HostileEntry bzip2 = HostileEntry::Stored("b.txt", "BZh9...");
  bzip2.method = 12;
  const std::string mixed =
      Save(dir, "mixed.zip", BuildHostile({HostileEntry::Stored("a.txt", "A"), bzip2}));
  const std::string out = dir.MakeDir("out");
  const struct {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"x '" + mixed + "' -d '" + out + "'", 1, "1 file extracted"},
      {"x '" + good + "' -d '" + out + "' '*.txt' nothing.bin", 1, "no entry matches nothing.bin"},
      {"x '" + dir.path() + "'", 1, "is a folder"},
      {"x '" + good + "' -d '" + out + "' '*.txt'", 0, "1 file extracted, no errors"},
  };
  for (const auto& c : cases) {
    const Outcome o = Arcz(c.args);
    EXPECT_EQ(o.status, c.status) << c.args << o.output;
    EXPECT_TRUE(Has(o.output, c.says)) << c.args << o.output;
  }

  // A split archive whose first volume is missing, with nobody at a terminal.
  const std::string split = std::string(ARC_TEST_DATA) + "/public/gen-infozip-split";
  std::filesystem::copy_file(split + ".zip", dir / "set.zip");
  std::filesystem::copy_file(split + ".z02", dir / "set.z02");
  const Outcome missing = Arcz("t '" + (dir / "set.zip") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.output, "missing volume " + (dir / "set.z01"))) << missing.output;
  EXPECT_FALSE(Has(missing.output, "User canceled")) << missing.output;

  // An archive its user may not read (unless that user is root).
  test::GiveToNobody(dir.path());
  ::chmod(good.c_str(), 0);
  const int status = test::RunAsNobody([&] {
    const Outcome o = Arcz("l '" + good + "'");
    return o.status == 1 && Has(o.output, "permission denied") ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST(ArczReading, ListingShowsThePreciseTimeOfAnExtraField) {
  test::ScratchDir dir;
  HostileEntry timed = HostileEntry::Stored("t.txt", "t");
  // Modification time 1700000000, 2023-11-14 22:13:20 UTC.
  timed.centralExtra = test::ExtraBlock(0x5455, std::string("\x01\x00\xF1\x53\x65", 5));
  const std::string archive = Save(dir, "t.zip", BuildHostile({timed}));
  const Outcome utc = Arcz("l '" + archive + "'", "TZ=UTC ");
  EXPECT_EQ(utc.status, 0);
  EXPECT_TRUE(Has(utc.output, "2023-11-14 22:13")) << utc.output;
}

}  // namespace
}  // namespace arc
