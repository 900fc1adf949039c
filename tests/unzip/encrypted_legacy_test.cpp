//===-- tests/unzip/encrypted_legacy_test.cpp - Enciphered shrunk, reduced, imploded entries -===//
//
// No tool still writes an encrypted entry of methods 1 to 6, so these take the
// compressed bytes of real shrunk, reduced and imploded entries from
// data/public and encipher them here. The compressed bytes run to tens of
// kilobytes, so the decoders read them in several blocks and the key stream
// has to carry on from one block to the next.
//
//===----------------------------------------------------------------------===//
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <arc/codec/trad_cipher.h>
#include <arc/support/error_codes.h>
#include "extract_fixture.h"
#include "unzip/zip_records.h"
#include "zip_builder.h"

namespace arc {
namespace {

using test::PrePacked;
using test::TestEntry;
using test::ZipBuilder;

// The same text compressed three ways; size and CRC-32 as MANIFEST.md lists them.
constexpr uint32_t kReportSize = 194035;
constexpr uint32_t kReportCrc = 0xC241EFAC;

struct LegacySource {
  const char* archive;  // in data/public; `report.txt` is its first entry
  uint16_t method;
  const char* outputName;
};

const LegacySource kSources[] = {
    {"gen-hwzip-shrink.zip", kMethodShrunk, "shrunk.txt"},
    {"gen-hwzip-reduce.zip", kMethodReduced4, "reduced.txt"},
    {"gen-hwzip-implode.zip", kMethodImploded, "imploded.txt"},
};

constexpr char kPassword[] = "Le9@cy pass";

/// The first entry of `source` as an encrypted entry for ZipBuilder: its
/// compressed bytes, method and flags (the implode window and tree bits) as
/// the local header gives them.
TestEntry EncryptedEntryFrom(const LegacySource& source, const std::string& password) {
  std::ifstream in(std::string(ARC_TEST_DATA "/public/") + source.archive, std::ios::binary);
  const std::vector<uint8_t> zip{std::istreambuf_iterator<char>(in), {}};
  MemorySource bytes(zip);
  const auto record = ReadLocalRecord(bytes, 0);
  TestEntry e;
  if (!record || record->header.method != source.method ||
      record->headerLength + record->extent.compressedSize > zip.size()) {
    ADD_FAILURE() << source.archive << ": first local header not as expected";
    return e;
  }
  EXPECT_EQ(std::string(record->storedName.begin(), record->storedName.end()), "report.txt");
  EXPECT_EQ(record->header.crc32, kReportCrc);
  EXPECT_EQ(record->extent.uncompressedSize, kReportSize);
  const auto data = zip.begin() + static_cast<std::ptrdiff_t>(record->headerLength);
  e.name = source.outputName;
  e.method = record->header.method;
  e.flags = record->header.flags;
  e.packed = PrePacked{{data, data + static_cast<std::ptrdiff_t>(record->extent.compressedSize)},
                       record->header.crc32,
                       record->header.uncompressedSize};
  e.password = password;
  return e;
}

uint32_t CrcOf(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

class EncryptedLegacy : public test::ExtractFixture {
 protected:
  /// Every further password the reader asks for is answered with `answer`.
  void AnswerEveryQuestionWith(const std::string& answer) {
    unzip.SetPasswords({});
    unzip.OnGetPassword = [answer](TObject*, const std::string&, std::string& p, bool& again) {
      p = answer;
      again = true;
    };
  }

  /// Extracts an archive holding `entry` alone from a fresh output folder.
  int32_t ExtractOnly(const TestEntry& entry) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    errors.clear();
    UseArchive(ZipBuilder().Add(entry).Build());
    return unzip.Extract();
  }
};

TEST_F(EncryptedLegacy, RightPasswordExtractsAndTestsShrunkReducedAndImplodedEntriesByteExact) {
  ZipBuilder zip;
  for (const LegacySource& s : kSources) zip.Add(EncryptedEntryFrom(s, kPassword));
  UseArchive(zip.Build());
  unzip.SetPasswords({kPassword});

  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(errors.empty()) << errors.front().code;
  for (const LegacySource& s : kSources) {
    SCOPED_TRACE(s.outputName);
    const std::string content = Read(out + s.outputName);
    EXPECT_EQ(content.size(), kReportSize);
    EXPECT_EQ(CrcOf(content), kReportCrc);
  }

  errors.clear();
  EXPECT_EQ(unzip.Test(), 3);
  EXPECT_TRUE(errors.empty()) << errors.front().code;
}

TEST_F(EncryptedLegacy, WrongPasswordWritesNothingAndIsReportedAsForADeflatedEntry) {
  AnswerEveryQuestionWith("not it");
  TestEntry deflated{"deflated.txt", std::string(5000, 'q'), kMethodDeflated};
  deflated.password = kPassword;
  EXPECT_EQ(ExtractOnly(deflated), 0);
  const std::vector<int32_t> deflatedCodes = Codes();
  ASSERT_FALSE(deflatedCodes.empty());
  EXPECT_EQ(deflatedCodes.front(), ec::InvalidPassword);

  for (const LegacySource& s : kSources) {
    SCOPED_TRACE(s.outputName);
    EXPECT_EQ(ExtractOnly(EncryptedEntryFrom(s, kPassword)), 0);
    EXPECT_EQ(Codes(), deflatedCodes);
    EXPECT_FALSE(Exists(s.outputName));
  }

  // A wrong password that happens to pass the one-byte check hands the
  // decoders garbage: the run must end, and the entry fails its CRC check
  // after whatever the decoder itself reported (damaged output is kept, as
  // for any entry that fails its check).
  for (const LegacySource& s : kSources) {
    SCOPED_TRACE(s.outputName);
    const TestEntry entry = EncryptedEntryFrom(s, kPassword);
    ASSERT_TRUE(entry.packed);
    const std::string stored =
        test::EncipherTraditional(entry.packed->bytes, kPassword, kReportCrc);
    std::array<uint8_t, kEncryptionHeaderLen> header{};
    std::copy_n(stored.begin(), header.size(), header.begin());
    std::string impostor;
    for (int i = 0; impostor.empty() && i < 100000; ++i) {
      TradCipher probe;
      const std::string candidate = "guess" + std::to_string(i);
      if (probe.VerifyPassword(candidate, header, PasswordCheckByte(entry.flags, kReportCrc, 0)))
        impostor = candidate;
    }
    ASSERT_FALSE(impostor.empty());
    AnswerEveryQuestionWith(impostor);
    ExtractOnly(entry);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().code, ec::CrcFailed);
    if (Exists(s.outputName)) {
      EXPECT_NE(CrcOf(Read(out + s.outputName)), kReportCrc);
    }
  }
}

}  // namespace
}  // namespace arc
