#include "unzip/trad_cipher.h"

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "codec/crc.h"
#include "peer_files.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

constexpr std::array<uint8_t, kEncryptionRandomLen> kFixedRandom{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

uint32_t Crc32Of(std::span<const uint8_t> data) {
  uint32_t r = kCrc32Init;
  Crc32Update(data.data(), static_cast<int32_t>(data.size()), r);
  return r ^ 0xFFFFFFFFu;
}

TEST(TradCipher, EncipherThenDecipherRestoresTheData) {
  std::vector<uint8_t> plain = Bytes("The quick brown fox jumps over the lazy dog, twice over.");
  std::vector<uint8_t> data = plain;
  TradCipher writer;
  ASSERT_TRUE(writer.FeedPassword("pw"));
  writer.Encipher(data);
  EXPECT_NE(data, plain);

  // Deciphering in pieces continues the same key stream.
  TradCipher reader;
  ASSERT_TRUE(reader.FeedPassword("pw"));
  reader.Decipher(std::span(data).first(7));
  reader.Decipher(std::span(data).subspan(7));
  EXPECT_EQ(data, plain);
}

TEST(TradCipher, PasswordFeedsOnlyItsLengthModulo256) {
  TradCipher a;
  TradCipher b;
  // 256 bytes feed nothing: the state stays at the initial keys.
  ASSERT_TRUE(a.FeedPassword(std::string(256, 'x')));
  EXPECT_EQ(a.Keys(), kTradInitialKeys);
  EXPECT_EQ(a.SavedKeys(), kTradInitialKeys);
  // 300 bytes feed their first 44.
  ASSERT_TRUE(a.FeedPassword(std::string(44, 'x') + std::string(256, 'y')));
  ASSERT_TRUE(b.FeedPassword(std::string(44, 'x')));
  EXPECT_EQ(a.Keys(), b.Keys());
  EXPECT_NE(a.Keys(), kTradInitialKeys);
}

TEST(TradCipher, EmptyPasswordIsNeverFedAndNeverVerifies) {
  TradCipher c;
  ASSERT_TRUE(c.FeedPassword("abc"));
  TradKeys fed = c.Keys();
  EXPECT_FALSE(c.FeedPassword(""));
  EXPECT_EQ(c.Keys(), fed);

  std::array<uint8_t, kEncryptionHeaderLen> header{};
  EXPECT_FALSE(c.MakeEncryptionHeader("", 0x12345678, kFixedRandom, header));
  EXPECT_FALSE(c.VerifyPassword("", header, 0, 0x12345678, 0));
}

TEST(TradCipher, VerificationUsesCrcHighByteOrTimeHighByteWithFlagBit3) {
  const uint32_t crc = 0xA1B2C3D4;
  const uint32_t dosDateTime = 0x58A37C21;  // time 0x7C21: high byte 0x7C
  TradCipher c;
  std::array<uint8_t, kEncryptionHeaderLen> header;
  ASSERT_TRUE(c.MakeEncryptionHeader("secret", crc, kFixedRandom, header));
  EXPECT_TRUE(c.VerifyPassword("secret", header, 0, crc, dosDateTime));
  EXPECT_FALSE(c.VerifyPassword("secret", header, 0, crc ^ 0x01000000, dosDateTime));

  // The same header checked against the time: only a header whose last plain
  // byte is the time's high byte passes. Build one by hand.
  TradCipher w;
  ASSERT_TRUE(w.FeedPassword("secret"));
  std::array<uint8_t, kEncryptionHeaderLen> timed{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x00, 0x7C};
  w.Encipher(timed);
  EXPECT_TRUE(c.VerifyPassword("secret", timed, kFlagCheckByteFromTime, crc, dosDateTime));
  EXPECT_FALSE(c.VerifyPassword("secret", timed, 0, crc, dosDateTime));
  EXPECT_FALSE(c.VerifyPassword("secret", header, kFlagCheckByteFromTime, crc, dosDateTime));
}

TEST(TradCipher, SuccessfulVerificationLeavesKeysReadyForTheData) {
  const std::vector<uint8_t> plain = Bytes("payload after the header");
  const uint32_t crc = Crc32Of(plain);
  TradCipher w;
  std::array<uint8_t, kEncryptionHeaderLen> header;
  ASSERT_TRUE(w.MakeEncryptionHeader("k3y", crc, kFixedRandom, header));
  std::vector<uint8_t> data = plain;
  w.Encipher(data);

  TradCipher r;
  const std::array<uint8_t, kEncryptionHeaderLen> stored = header;
  ASSERT_TRUE(r.VerifyPassword("k3y", header, 0, crc, 0));
  EXPECT_EQ(header, stored);  // the stored bytes stay as they were
  r.Decipher(data);
  EXPECT_EQ(data, plain);
}

// --- Exchanges with the peer tool ------------------------------------------

class PeerZip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    for (int i = 0; i < 40; ++i) content_ += "line " + std::to_string(i) + " of the known answer\n";
    test::WriteBytes(dir_ / "a.txt", Bytes(content_));
  }

  // The local record of the single entry of `zipName`, and its data bytes.
  void ReadEntry(const std::string& zipName) {
    archive_ = test::ReadBytes(dir_ / zipName);
    std::optional<LocalRecord> rec = ReadLocalRecord(archive_);
    ASSERT_TRUE(rec);
    local_ = *rec;
    ASSERT_GE(archive_.size(), local_.headerLength + local_.extent.compressedSize);
    data_.assign(archive_.begin() + static_cast<std::ptrdiff_t>(local_.headerLength),
                 archive_.begin() + static_cast<std::ptrdiff_t>(local_.headerLength +
                                                                local_.extent.compressedSize));
  }

  test::TempDir dir_;
  std::string content_;
  std::vector<uint8_t> archive_;
  LocalRecord local_;
  std::vector<uint8_t> data_;
};

// The peer marks its encrypted entries with flag bit 3 and checks against the
// time; the stored form lets the data be compared directly.
TEST_F(PeerZip, StoredEntryMadeWithPasswordIsVerifiedAndDeciphered) {
  ASSERT_EQ(test::RunIn(dir_, "zip -q -0 -P secret s.zip a.txt"), 0);
  ReadEntry("s.zip");
  ASSERT_EQ(local_.header.method, kMethodStored);
  ASSERT_TRUE(local_.header.flags & kFlagEncrypted);
  ASSERT_EQ(data_.size(), content_.size() + kEncryptionHeaderLen);

  std::array<uint8_t, kEncryptionHeaderLen> header;
  std::copy_n(data_.begin(), kEncryptionHeaderLen, header.begin());
  TradCipher c;
  ASSERT_TRUE(c.VerifyPassword("secret", header, local_.header.flags, local_.header.crc32,
                               local_.header.dosDateTime));
  std::vector<uint8_t> body(data_.begin() + kEncryptionHeaderLen, data_.end());
  c.Decipher(body);
  EXPECT_EQ(body, Bytes(content_));
  EXPECT_EQ(Crc32Of(body), local_.header.crc32);
}

TEST_F(PeerZip, DeflatedEntryMadeWithPasswordDeciphersToAStreamZlibInflates) {
  ASSERT_EQ(test::RunIn(dir_, "zip -q -9 -P secret d.zip a.txt"), 0);
  ReadEntry("d.zip");
  ASSERT_EQ(local_.header.method, kMethodDeflated);

  std::array<uint8_t, kEncryptionHeaderLen> header;
  std::copy_n(data_.begin(), kEncryptionHeaderLen, header.begin());
  TradCipher c;
  ASSERT_TRUE(c.VerifyPassword("secret", header, local_.header.flags, local_.header.crc32,
                               local_.header.dosDateTime));
  std::vector<uint8_t> body(data_.begin() + kEncryptionHeaderLen, data_.end());
  c.Decipher(body);

  std::vector<uint8_t> out(content_.size() + 16);
  z_stream zs{};
  ASSERT_EQ(inflateInit2(&zs, -15), Z_OK);
  zs.next_in = body.data();
  zs.avail_in = static_cast<uInt>(body.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&zs, Z_FINISH);
  inflateEnd(&zs);
  ASSERT_EQ(rc, Z_STREAM_END);
  out.resize(zs.total_out);
  EXPECT_EQ(out, Bytes(content_));
}

// An archive whose single stored entry we encrypt as our writer does (random
// bytes, then the CRC's two high bytes) opens in the peers with the password.
TEST_F(PeerZip, EntryWeEncryptOpensInPeerTools) {
  const std::vector<uint8_t> plain = Bytes(content_);
  const std::vector<uint8_t> name = Bytes("a.txt");
  const uint32_t crc = Crc32Of(plain);

  TradCipher c;
  std::array<uint8_t, kEncryptionHeaderLen> header;
  ASSERT_TRUE(c.MakeEncryptionHeader("secret", crc, header));
  std::vector<uint8_t> body = plain;
  c.Encipher(body);

  LocalHeader lh;
  lh.versionNeeded = 20;
  lh.flags = kFlagEncrypted;
  lh.method = kMethodStored;
  lh.dosDateTime = PackDosDateTime({2024, 5, 17, 10, 30, 20});
  lh.crc32 = crc;
  lh.compressedSize = static_cast<uint32_t>(plain.size() + kEncryptionHeaderLen);
  lh.uncompressedSize = static_cast<uint32_t>(plain.size());
  lh.nameLength = static_cast<uint16_t>(name.size());

  CentralHeader ch;
  ch.versionMadeBy = 20;
  ch.versionNeeded = 20;
  ch.flags = lh.flags;
  ch.method = lh.method;
  ch.dosDateTime = lh.dosDateTime;
  ch.crc32 = crc;
  ch.compressedSize = lh.compressedSize;
  ch.uncompressedSize = lh.uncompressedSize;
  ch.nameLength = lh.nameLength;
  ch.externalAttributes = kAttrArchive;

  std::vector<uint8_t> zip;
  auto append = [&zip](std::span<const uint8_t> b) { zip.insert(zip.end(), b.begin(), b.end()); };
  append(SerializeLocalHeader(lh));
  append(name);
  append(header);
  append(body);
  const size_t cdOffset = zip.size();
  append(SerializeCentralHeader(ch));
  append(name);
  EndRecord end;
  end.entriesOnDisk = end.totalEntries = 1;
  end.centralDirSize = static_cast<uint32_t>(zip.size() - cdOffset);
  end.centralDirOffset = cdOffset;
  append(SerializeEndRecord(end));
  test::WriteBytes(dir_ / "ours.zip", zip);

  ASSERT_EQ(test::RunIn(dir_, "unzip -P secret -p ours.zip a.txt > out.txt"), 0);
  EXPECT_EQ(test::ReadBytes(dir_ / "out.txt"), plain);
  EXPECT_NE(test::RunIn(dir_, "unzip -P wrong -t ours.zip"), 0);
  EXPECT_EQ(test::RunIn(dir_, "python3 -c \"import zipfile,sys; "
                              "z=zipfile.ZipFile('ours.zip'); "
                              "sys.exit(z.read('a.txt', pwd=b'secret') != open('a.txt','rb').read())\""),
            0);
}

}  // namespace
}  // namespace arc
