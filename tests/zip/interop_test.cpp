//===-- tests/zip/interop_test.cpp - New archives checked by other tools --===//
//
// Archives written by TZip must pass `unzip -t`, `7z t` and Python's
// zipfile, and unzip must extract exactly the files they were made from.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <arc/codec/aes_extra.h>
#include <arc/support/error_codes.h>
#include "zip_test_util.h"

namespace arc {
namespace {

using test::ListCentral;
using test::PeerFailures;
using test::TempDir;
using test::Tree;
using test::UnzipTree;
using test::WriteText;

class WriterInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    // A bit of everything: text, incompressible bytes, an empty file, a small
    // file that deflates, one that does not, and a subfolder.
    WriteText(dir / "src/report.txt", test::Text(200000));
    WriteText(dir / "src/noise.bin", test::RandomBytes(70000, 7));
    WriteText(dir / "src/empty.dat", "");
    WriteText(dir / "src/tiny.txt", std::string(100, 'a'));
    WriteText(dir / "src/tiny_noise.bin", test::RandomBytes(100, 9));
    WriteText(dir / "src/sub/deeper/notes.txt", test::Text(5000, 3));
    WriteText(dir / "src/old.zip", test::Text(3000, 4));
  }

  void Configure(TZip& zip, const std::string& archive) {
    rec.Attach(zip);
    zip.SetArchiveFile(archive);
    zip.SetFileSpec({dir / "src/*"});
    zip.SetTempDir(dir.path());
  }

  TempDir dir;
  test::Recorder rec;
};

TEST_F(WriterInterop, EveryDeflateTypeGivesAnArchiveThePeersAccept) {
  const std::map<std::string, std::string> expected = Tree(dir / "src");
  for (TDeflateType type : {dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX}) {
    SCOPED_TRACE(static_cast<int>(type));
    const std::string archive = dir / ("level" + std::to_string(type) + ".zip");
    TZip zip;
    Configure(zip, archive);
    zip.SetDeflateType(type);
    EXPECT_EQ(zip.Compress(), 7);
    EXPECT_TRUE(rec.reports.empty());
    EXPECT_EQ(PeerFailures(archive), "");
    EXPECT_EQ(test::TreeDiff(UnzipTree(archive, dir / ("out" + std::to_string(type))), expected),
              "");

    const uint16_t level_bits = type == dtDeflateF ? 4 : type == dtDeflateX ? 2 : 0;
    for (const test::ListedEntry& e : ListCentral(archive)) {
      SCOPED_TRACE(e.name);
      // Incompressible data is stored, small or large.
      const bool stored = type == dtDeflateS || e.name == "empty.dat" || e.name == "old.zip" ||
                          e.name == "tiny_noise.bin" || e.name == "noise.bin";
      EXPECT_EQ(e.header.method, stored ? 0 : 8);
      EXPECT_EQ(e.header.flags, stored ? 0 : level_bits);
      if (e.name == "empty.dat") {
        EXPECT_EQ(e.header.crc32, 0u);
      }
    }
  }
}

TEST_F(WriterInterop, EncryptedEntriesOpenWithThePassword) {
  const std::string archive = dir / "secret.zip";
  TZip zip;
  Configure(zip, archive);
  zip.SetPassword("s3cr\xC3\xA9t");
  EXPECT_EQ(zip.Compress(), 7);
  EXPECT_EQ(PeerFailures(archive, "s3cr\xC3\xA9t"), "");
  EXPECT_EQ(test::TreeDiff(UnzipTree(archive, dir / "out", "s3cr\xC3\xA9t"), Tree(dir / "src")),
            "");
  EXPECT_NE(test::Run("unzip -t -P wrong " + test::Quote(archive)).status, 0);
  for (const test::ListedEntry& e : ListCentral(archive)) {
    SCOPED_TRACE(e.name);
    // An empty file is never enciphered.
    EXPECT_EQ(e.header.flags & 1, e.name == "empty.dat" ? 0 : 1);
    if (e.name == "tiny_noise.bin") {
      EXPECT_EQ(e.extent.compressedSize, 100u + 12u);
    }
  }
}

TEST_F(WriterInterop, AesEntriesOpenWithThePasswordInThePeers) {
  // A file of a few bytes is AE-2: no CRC that would give its content away.
  WriteText(dir / "src/pin.txt", "4711");
  const std::string pw = "s3cr\xC3\xA9t";
  const struct {
    TEncryptionMethod method;
    AesStrength strength;
  } rows[] = {{emAes128, AesStrength::Aes128},
              {emAes192, AesStrength::Aes192},
              {emAes256, AesStrength::Aes256}};
  std::string salt;  // of report.txt, one archive to the next
  for (const auto& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.method));
    const std::string archive = dir / ("aes" + std::to_string(r.method) + ".zip");
    TZip zip;
    Configure(zip, archive);
    zip.SetPassword(pw);
    zip.SetEncryptionMethod(r.method);
    EXPECT_EQ(zip.Compress(), 8);
    EXPECT_TRUE(rec.reports.empty());
    EXPECT_EQ(PeerFailures(archive, pw), "");
    EXPECT_NE(test::Run("7z t -pwrong " + test::Quote(archive)).status, 0);
    for (const test::ListedEntry& e : ListCentral(archive)) {
      SCOPED_TRACE(e.name);
      if (e.name == "empty.dat") {  // never enciphered
        EXPECT_EQ(e.header.method, 0);
        continue;
      }
      AesExtra block;
      ASSERT_EQ(FindAesExtra(e.extra, block), AesExtraStatus::Found);
      EXPECT_EQ(block.strength, r.strength);
      EXPECT_EQ(e.header.method, kMethodAes);
      EXPECT_EQ(e.header.versionNeeded, 51);
      EXPECT_EQ(e.header.flags & 1, 1);
      EXPECT_EQ(block.vendorVersion, e.name == "pin.txt" ? kAesVendorAe2 : kAesVendorAe1);
      EXPECT_EQ(e.header.crc32 == 0, e.name == "pin.txt");
      // Deflating enlarges it: stored, salt, verifier and code counted.
      if (e.name == "tiny_noise.bin") {
        EXPECT_EQ(block.method, kMethodStored);
        EXPECT_EQ(e.extent.compressedSize, 100u + AesOverhead(r.strength));
      }
      if (e.name == "report.txt") {  // a salt of its own in every archive
        const size_t at = e.extent.localHeaderOffset + 30 + e.name.size() + kAesExtraLen;
        EXPECT_NE(test::ReadText(archive).substr(at, 8), salt);
        salt = test::ReadText(archive).substr(at, 8);
      }
    }
  }
}

TEST_F(WriterInterop, EmptyDirectoriesBecomeEntries) {
  std::filesystem::create_directories(dir / "src/empty_dir");
  std::filesystem::create_directories(dir / "src/sub/also_empty");
  // Hidden files and subfolders do not make a folder non-empty: "sub" and
  // "only_hidden" get entries of their own too.
  WriteText(dir / "src/only_hidden/.keep", "x");
  const std::string archive = dir / "dirs.zip";
  TZip zip;
  Configure(zip, archive);
  zip.SetStoreEmptySubDirs(true);
  EXPECT_EQ(zip.Compress(), 12);
  EXPECT_EQ(PeerFailures(archive), "");
  const std::map<std::string, std::string> expected = Tree(dir / "src");
  EXPECT_EQ(test::TreeDiff(UnzipTree(archive, dir / "out"), expected), "");
  int directories = 0;
  for (const test::ListedEntry& e : ListCentral(archive)) {
    if (e.name.back() != '/') continue;
    ++directories;
    EXPECT_EQ(e.header.externalAttributes & 0x10, 0x10u) << e.name;
    EXPECT_EQ(e.header.method, 0) << e.name;
  }
  EXPECT_EQ(directories, 4);
}

TEST_F(WriterInterop, NamesOutsideCodePage437AreStoredAsUtf8) {
  std::filesystem::remove_all(dir / "src");
  const std::string persian =
      "\xDA\xAF\xD8\xB2\xD8\xA7\xD8\xB1\xD8\xB4.txt";  // a report, in Persian
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC/file.txt";
  const std::string latin = "caf\xC3\xA9.txt";  // representable in code page 437
  WriteText(dir / ("src/" + persian), "one");
  WriteText(dir / ("src/" + japanese), "two");
  WriteText(dir / ("src/" + latin), "three");
  const std::string archive = dir / "names.zip";
  TZip zip;
  Configure(zip, archive);
  EXPECT_EQ(zip.Compress(), 3);
  EXPECT_EQ(PeerFailures(archive), "");
  for (const test::ListedEntry& e : ListCentral(archive)) {
    if (e.name == latin) ADD_FAILURE() << "stored as UTF-8 though code page 437 holds it";
    const bool utf8 = e.name == persian || e.name == japanese;
    EXPECT_EQ((e.header.flags & 0x800) != 0, utf8) << e.name;
    if (!utf8) {
      EXPECT_EQ(e.name, "caf\x82.txt");
    }
  }
  // Python reads names without the flag in code page 437.
  const test::ToolResult listing = test::Run("python3 -m zipfile -l " + test::Quote(archive));
  EXPECT_NE(listing.output.find(persian), std::string::npos) << listing.output;
  EXPECT_NE(listing.output.find(latin), std::string::npos) << listing.output;
  const std::map<std::string, std::string> out = UnzipTree(archive, dir / "out");
  EXPECT_EQ(out.count(persian), 1u);
  EXPECT_EQ(out.count(japanese), 1u);
}

TEST_F(WriterInterop, SelfExtractingArchiveKeepsItsProgram) {
  // A program stub followed by an archive whose offsets count from the
  // archive's own start, as a stub is simply put in front of one.
  const std::string plain = dir / "plain.zip";
  {
    TZip zip;
    Configure(zip, plain);
    zip.SetFileSpec({dir / "src/report.txt"});
    ASSERT_EQ(zip.Compress(), 1);
  }
  std::string stub = "MZ" + test::RandomBytes(4094, 11);
  const std::string sfx = dir / "setup.exe";
  WriteText(sfx, stub + test::ReadText(plain));

  TZip zip;
  Configure(zip, sfx);
  zip.SetFileSpec({dir / "src/sub/deeper/notes.txt"});
  EXPECT_EQ(zip.Compress(), 1);
  EXPECT_TRUE(rec.reports.empty());
  const std::string result = test::ReadText(sfx);
  EXPECT_EQ(result.substr(0, stub.size()), stub);
  EXPECT_EQ(PeerFailures(sfx), "");
  const std::map<std::string, std::string> out = UnzipTree(sfx, dir / "out");
  EXPECT_EQ(out.at("report.txt"), test::ReadText(dir / "src/report.txt"));
  EXPECT_EQ(out.at("notes.txt"), test::ReadText(dir / "src/sub/deeper/notes.txt"));
}

TEST_F(WriterInterop, ArchiveBuiltInMemoryIsTheSame) {
  const std::string archive = dir / "memory.zip";
  TZip zip;
  Configure(zip, archive);
  zip.SetCompressionMethod(cmInMemory);
  std::vector<std::string> events;
  zip.OnTmpFileMoveBegin = [&](TObject*, const std::string& a, const std::string&) {
    events.push_back("begin " + a);
  };
  zip.OnTmpFileMoveEnd = [&](TObject*) { events.push_back("end"); };
  int progress_calls = 0;
  zip.OnTmpFileProgress = [&](TObject*, uint8_t, uint8_t) { ++progress_calls; };
  EXPECT_EQ(zip.Compress(), 7);
  EXPECT_EQ(events, (std::vector<std::string>{"begin " + archive, "end"}));
  EXPECT_GT(progress_calls, 0);
  EXPECT_EQ(PeerFailures(archive), "");
  EXPECT_EQ(test::TreeDiff(UnzipTree(archive, dir / "out"), Tree(dir / "src")), "");
}

}  // namespace
}  // namespace arc
