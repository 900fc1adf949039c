//===-- tests/unzip/interop_test.cpp - Archives made by peer tools --------===//
//
// Each test makes an archive with an installed peer (zip, 7z, Python's
// zipfile, bsdtar) from one folder of files at run time, extracts it with
// TUnZip into another folder and compares every file byte for byte.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include <arc/support/error_codes.h>
#include "common/test_peers.h"
#include "extract_fixture.h"
#include "zip_builder.h"

namespace arc {
namespace {

class Interop : public test::ExtractFixture {
 protected:
  void SetUp() override {
    src = dir.MakeDir("src") + "/";
    std::mt19937 rng(5);
    std::string random(70000, '\0');
    for (char& c : random) c = static_cast<char>(rng());
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "record " + std::to_string(i * 7919 % 1000) + " ok\r\n";
    files = {{"text.txt", text},
             {"random.bin", random},
             {"empty.txt", ""},
             {"sub/deeper/note.md", "nested\n"},
             {"BACKUP", text.substr(0, 5000)}};
    for (const auto& [name, data] : files) dir.Write("src/" + name, data);
  }

  /// Runs `command` in the scratch folder; fails the test when it fails.
  void Sh(const std::string& command) {
    ASSERT_EQ(
        std::system(("cd '" + dir.slashed() + "' && (" + command + ") >/dev/null 2>&1").c_str()), 0)
        << command;
  }

  /// Extracts the archive and compares every source file.
  void ExpectAllExtracted(const std::string& archive) {
    UseFile(dir / archive);
    ASSERT_TRUE(IsValidArcType(unzip.ArcType())) << archive;
    unzip.Extract();
    for (const auto& e : errors)
      ADD_FAILURE() << archive << ": error " << e.code << " " << e.fileName;
    for (const auto& [name, data] : files) {
      EXPECT_TRUE(Exists(name)) << archive << ": " << name;
      EXPECT_EQ(Read(out + name), data) << archive << ": " << name;
    }
  }

  std::string src;
  std::vector<std::pair<std::string, std::string>> files;
};

TEST_F(Interop, ZipDeflateStoreAndComment) {
  if (!test::Have("zip")) GTEST_SKIP() << "zip missing";
  Sh("cd src && zip -q -r ../deflate.zip .");
  ExpectAllExtracted("deflate.zip");
  Sh("cd src && zip -q -0 -r ../store.zip .");
  ExpectAllExtracted("store.zip");
  Sh("cd src && echo 'a comment' | zip -q -z -r ../comment.zip .");
  ExpectAllExtracted("comment.zip");
}

TEST_F(Interop, ZipEncrypted) {
  if (!test::Have("zip")) GTEST_SKIP() << "zip missing";
  Sh("cd src && zip -q -P 'se cret' -r ../enc.zip .");
  unzip.SetPasswords({"se cret"});
  ExpectAllExtracted("enc.zip");
  // A wrong password given by the user is reported, and nothing is written.
  unzip.SetPasswords({});
  unzip.OnGetPassword = [](TObject*, const std::string&, std::string& p, bool& again) {
    p = "wrong";
    again = true;
  };
  std::filesystem::remove_all(out);
  errors.clear();
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].code, ec::InvalidPassword);
}

TEST_F(Interop, ZipSplitIntoVolumes) {
  if (!test::Have("zip")) GTEST_SKIP() << "zip missing";
  Sh("cd src && zip -q -s 64k -r ../split.zip .");
  ASSERT_TRUE(std::filesystem::exists(dir / "split.z01"));
  std::vector<std::pair<std::string, std::string>> asked;
  unzip.OnNextVolume = [&](TObject*, std::string& name, const std::string& id, bool exists,
                           bool& cancel) {
    asked.emplace_back(name, id);
    cancel = !exists;
  };
  ExpectAllExtracted("split.zip");
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0], std::make_pair(dir / "split.z01", std::string("1")));
}

TEST_F(Interop, ZipFromStandardInputHasDataDescriptors) {
  if (!test::Have("zip")) GTEST_SKIP() << "zip missing";
  Sh("cat src/text.txt | zip -q streamed.zip -");
  UseFile(dir / "streamed.zip");
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Read(out + "-"), files[0].second);
}

TEST_F(Interop, ModernMethodsAndAesOfPeersExtractByteExact) {
  // Each archive is made from src/ by a peer, then extracted by TUnZip and
  // by arcz; the password, where there is one, is "se cret".
  dir.Write("py.py",
            "import sys, zipfile, os\n"
            "m = {'bzip2': zipfile.ZIP_BZIP2, 'lzma': zipfile.ZIP_LZMA}[sys.argv[1]]\n"
            "with zipfile.ZipFile('x.zip', 'w', m) as z:\n"
            "  for root, _, fs in os.walk('src'):\n"
            "    for f in fs:\n"
            "      p = os.path.join(root, f)\n"
            "      z.write(p, os.path.relpath(p, 'src'))\n");
  const std::string pw = "'se cret'";
  const std::string tar = "cd src && bsdtar --format zip --passphrase " + pw + " -cf ../x.zip ";
  const struct {
    const char* tool;
    std::string command;
    bool encrypted;
  } rows[] = {
      {"zip", "cd src && zip -q -r -Z bzip2 ../x.zip .", false},
      {"zip", "cd src && zip -q -r -Z bzip2 -P " + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mm=BZip2 ../x.zip .", false},
      {"7z", "cd src && 7z a -tzip -mm=LZMA ../x.zip .", false},
      {"7z", "cd src && 7z a -tzip -mm=XZ ../x.zip .", false},
      {"7z", "cd src && 7z a -tzip -mm=XZ -mem=ZipCrypto -p" + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mem=AES128 -p" + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mem=AES256 -mx=0 -p" + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mem=AES256 -mm=BZip2 -p" + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mem=AES256 -mm=LZMA -p" + pw + " ../x.zip .", true},
      {"7z", "cd src && 7z a -tzip -mem=AES256 -mm=XZ -p" + pw + " ../x.zip .", true},
      {"python3", "python3 py.py bzip2", false},
      {"python3", "python3 py.py lzma", false},
      {"bsdtar", tar + "--options zip:encryption=aes256 .", true},
      {"bsdtar", tar + "--options zip:encryption=aes128,zip:compression=store .", true},
  };
  const std::string arcz = std::string(ARC_BIN_DIR) + "/arcz";
  for (const auto& r : rows) {
    SCOPED_TRACE(r.command);
    if (!test::Have(r.tool)) continue;
    std::filesystem::remove(dir / "x.zip");
    std::filesystem::remove_all(out);
    Sh(r.command);
    unzip.SetPasswords(r.encrypted ? std::vector<std::string>{"se cret"}
                                   : std::vector<std::string>{});
    errors.clear();
    ExpectAllExtracted("x.zip");
    std::filesystem::remove_all(out);
    Sh("'" + arcz + "' x x.zip -q -d out" + (r.encrypted ? " -p " + pw : std::string()));
    for (const auto& [name, data] : files) EXPECT_EQ(Read(out + name), data) << "arcz: " << name;
  }
}

TEST_F(Interop, ZstandardEntryOfTheZstdTool) {
  // No peer writes method 93 into a ZIP archive: the entry is put together
  // here around what the zstd tool makes.
  if (!test::Have("zstd")) GTEST_SKIP() << "zstd missing";
  Sh("zstd -q -19 -c src/text.txt > text.zst");
  const std::string text = files[0].second;
  UseArchive(test::ZipBuilder()
                 .Add({.name = "text.txt",
                       .data = {},
                       .method = 93,
                       .packed = test::PrePacked{Read(dir / "text.zst"), test::Crc32Of(text),
                                                 static_cast<uint32_t>(text.size())}})
                 .Build());
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(Read(out + "text.txt"), text);
}

TEST_F(Interop, FlippedByteInAesDataFailsTheAuthenticationCheck) {
  if (!test::Have("7z")) GTEST_SKIP() << "7z missing";
  // AE-2 (7-Zip writes no CRC): the code alone catches the damage.
  Sh("cd src && 7z a -tzip -mem=AES256 -mx=0 -pse ../aes.zip BACKUP");
  std::string bytes = Read(dir / "aes.zip");
  const auto u16 = [&](size_t at) {
    return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8;
  };
  // After the local header, its name and extra field, the salt and verifier.
  bytes.at(30 + u16(26) + u16(28) + 16 + 2 + 100) ^= 0x01;
  dir.Write("aes.zip", bytes);
  UseFile(dir / "aes.zip");
  unzip.SetPasswords({"se"});
  unzip.Extract();
  EXPECT_EQ(Codes(), std::vector<int32_t>{ec::AuthenticationFailed});
  std::vector<bool> passes;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) { passes.push_back(pass); };
  errors.clear();
  unzip.Extract();
  EXPECT_EQ(passes, std::vector<bool>{false});
  EXPECT_TRUE(errors.empty());  // OnEnd takes the place of the report
}

TEST_F(Interop, SevenZipDeflate64AndZipCrypto) {
  if (!test::Have("7z")) GTEST_SKIP() << "7z missing";
  Sh("cd src && 7z a -tzip -mm=Deflate64 ../d64.zip .");
  ExpectAllExtracted("d64.zip");
  Sh("cd src && 7z a -tzip -mem=ZipCrypto -pabc ../zc.zip .");
  unzip.SetPasswords({"abc"});
  std::filesystem::remove_all(out);
  ExpectAllExtracted("zc.zip");
}

TEST_F(Interop, PythonDeflateZip64AndUtf8Names) {
  if (!test::Have("python3")) GTEST_SKIP() << "python3 missing";
  files.emplace_back("тест/ünïcode.txt", "utf-8 name\n");
  dir.Write("src/тест/ünïcode.txt", "utf-8 name\n");
  const std::string script =
      "import zipfile, os\n"
      "for name, z64 in (('py.zip', False), ('py64.zip', True)):\n"
      "  with zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    for root, _, fs in os.walk('src'):\n"
      "      for f in fs:\n"
      "        p = os.path.join(root, f)\n"
      "        with open(p, 'rb') as i, z.open(os.path.relpath(p, 'src'), 'w', force_zip64=z64) as "
      "o:\n"
      "          o.write(i.read())\n";
  dir.Write("make.py", script);
  Sh("python3 make.py");
  ExpectAllExtracted("py.zip");
  std::filesystem::remove_all(out);
  ExpectAllExtracted("py64.zip");
}

TEST_F(Interop, BsdtarZipFormat) {
  if (!test::Have("bsdtar")) GTEST_SKIP() << "bsdtar missing";
  Sh("cd src && bsdtar --format zip -cf ../tar.zip .");
  ExpectAllExtracted("tar.zip");
}

TEST_F(Interop, PrefixAndLongComment) {
  if (!test::Have("zip")) GTEST_SKIP() << "zip missing";
  Sh("cd src && zip -q -r ../plain.zip .");
  // 100 bytes in front, offsets not adjusted.
  Sh("head -c 100 /dev/zero | tr '\\0' '#' > prefixed.zip && cat plain.zip >> prefixed.zip");
  ExpectAllExtracted("prefixed.zip");
  // A comment of 64 KiB less one byte, the longest there is (zip -z cuts
  // comments short; Python writes it whole): the end record is still found,
  // and the archive read through its directory.
  if (!test::Have("python3")) GTEST_SKIP() << "python3 missing";
  Sh("cp plain.zip long.zip && python3 -c \"import zipfile; z = zipfile.ZipFile('long.zip', 'a'); "
     "z.comment = b'c' * 65535; z.close()\"");
  std::filesystem::remove_all(out);
  ExpectAllExtracted("long.zip");
  EXPECT_TRUE(unzip.OpenState().headerState & htCentral);
}

}  // namespace
}  // namespace arc
