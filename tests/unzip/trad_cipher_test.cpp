#include <arc/codec/trad_cipher.h>

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include <arc/codec/crc.h>
#include "peer_files.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

using Header = std::array<uint8_t, kEncryptionHeaderLen>;
constexpr std::array<uint8_t, kEncryptionRandomLen> kFixedRandom{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

uint32_t Crc32Of(std::span<const uint8_t> data) {
  uint32_t r = kCrc32Init;
  Crc32Update(data.data(), static_cast<int32_t>(data.size()), r);
  return r ^ 0xFFFFFFFFu;
}

TEST(TradCipher, HeaderAndDataReadBackInPiecesWithTheKeysVerificationLeaves) {
  const std::vector<uint8_t> plain = Bytes("The quick brown fox jumps over the lazy dog, twice.");
  const uint32_t crc = Crc32Of(plain);
  TradCipher writer;
  Header header;
  ASSERT_TRUE(writer.MakeEncryptionHeader("k3y", crc, kFixedRandom, header));
  std::vector<uint8_t> data = plain;
  writer.Encipher(data);
  EXPECT_NE(data, plain);

  TradCipher reader;
  const Header stored = header;
  ASSERT_TRUE(reader.VerifyPassword("k3y", header, PasswordCheckByte(0, crc, 0)));
  EXPECT_EQ(header, stored);  // each attempt starts from the stored bytes
  reader.Decipher(std::span(data).first(7));
  reader.Decipher(std::span(data).subspan(7));
  EXPECT_EQ(data, plain);
}

TEST(TradCipher, PasswordFeedsItsLengthModulo256AndAnEmptyOneNothing) {
  TradCipher a;
  TradCipher b;
  ASSERT_TRUE(a.FeedPassword(std::string(256, 'x')));
  EXPECT_EQ(a.Keys(), kTradInitialKeys);
  ASSERT_TRUE(a.FeedPassword(std::string(44, 'x') + std::string(256, 'y')));
  ASSERT_TRUE(b.FeedPassword(std::string(44, 'x')));
  EXPECT_EQ(a.Keys(), b.Keys());
  EXPECT_EQ(a.SavedKeys(), b.Keys());

  EXPECT_FALSE(a.FeedPassword(""));
  EXPECT_EQ(a.Keys(), b.Keys());  // untouched
  Header header{};
  EXPECT_FALSE(a.MakeEncryptionHeader("", 1, kFixedRandom, header));
  EXPECT_FALSE(a.VerifyPassword("", header, PasswordCheckByte(0, 1, 0)));
}

TEST(TradCipher, CheckByteIsTheCrcHighByteOrWithFlagBit3TheTimeHighByte) {
  const uint32_t crc = 0xA1B2C3D4;
  const uint32_t dosDateTime = 0x58A37C21;  // time 0x7C21
  TradCipher c;
  Header byCrc;
  ASSERT_TRUE(c.MakeEncryptionHeader("secret", crc, kFixedRandom, byCrc));
  TradCipher w;
  ASSERT_TRUE(w.FeedPassword("secret"));
  Header byTime{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x00, 0x7C};
  w.Encipher(byTime);

  EXPECT_TRUE(c.VerifyPassword("secret", byCrc, PasswordCheckByte(0, crc, dosDateTime)));
  EXPECT_FALSE(
      c.VerifyPassword("secret", byCrc, PasswordCheckByte(0, crc ^ 0x01000000, dosDateTime)));
  EXPECT_FALSE(
      c.VerifyPassword("secret", byCrc, PasswordCheckByte(kFlagDataDescriptor, crc, dosDateTime)));
  EXPECT_TRUE(
      c.VerifyPassword("secret", byTime, PasswordCheckByte(kFlagDataDescriptor, crc, dosDateTime)));
  EXPECT_FALSE(c.VerifyPassword("secret", byTime, PasswordCheckByte(0, crc, dosDateTime)));
}

// --- Exchanges with the peer tools ------------------------------------------

class PeerZip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    for (int i = 0; i < 40; ++i) content_ += "line " + std::to_string(i) + " of the known answer\n";
    test::WriteBytes(dir_ / "a.txt", Bytes(content_));
  }

  std::vector<uint8_t> Inflate(std::span<uint8_t> raw) {
    std::vector<uint8_t> out(content_.size() + 16);
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return {};
    zs.next_in = raw.data();
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    inflateEnd(&zs);
    out.resize(rc == Z_STREAM_END ? zs.total_out : 0);
    return out;
  }

  test::TempDir dir_;
  std::string content_;
};

// The peer sets flag bit 3 on encrypted entries, so this checks the time rule
// too. Stored data compares directly; deflated data is inflated by zlib.
TEST_F(PeerZip, EntriesMadeWithAPasswordAreVerifiedAndDeciphered) {
  for (const char* level : {"-0", "-9"}) {
    SCOPED_TRACE(level);
    ASSERT_EQ(
        test::RunIn(dir_, std::string("zip -q ") + level + " -P secret e" + level + ".zip a.txt"),
        0);
    const std::vector<uint8_t> archive =
        test::ReadBytes(dir_ / ("e" + std::string(level) + ".zip"));
    MemorySource bytes(archive);
    const RecordRead<LocalRecord> rec = ReadLocalRecord(bytes, 0);
    ASSERT_TRUE(rec);
    const LocalHeader& h = rec->header;
    ASSERT_TRUE(h.flags & kFlagEncrypted);
    ASSERT_GE(archive.size(), rec->headerLength + h.compressedSize);
    ASSERT_GE(h.compressedSize, kEncryptionHeaderLen);
    const auto data = archive.begin() + static_cast<std::ptrdiff_t>(rec->headerLength);
    Header header;
    std::copy_n(data, kEncryptionHeaderLen, header.begin());
    std::vector<uint8_t> body(data + kEncryptionHeaderLen, data + h.compressedSize);

    TradCipher c;
    ASSERT_TRUE(
        c.VerifyPassword("secret", header, PasswordCheckByte(h.flags, h.crc32, h.dosDateTime)));
    c.Decipher(body);
    EXPECT_EQ(h.method == kMethodStored ? body : Inflate(body), Bytes(content_));
  }
}

// A stored entry encrypted as our writer does it (random bytes, then the CRC's
// two high bytes) opens in the peers with the password and only with it.
TEST_F(PeerZip, EntryWeEncryptOpensInPeerTools) {
  const std::vector<uint8_t> plain = Bytes(content_);
  const std::vector<uint8_t> name = Bytes("a.txt");
  TradCipher c;
  Header header;
  ASSERT_TRUE(c.MakeEncryptionHeader("secret", Crc32Of(plain), header));
  std::vector<uint8_t> body = plain;
  c.Encipher(body);

  LocalHeader lh{kLocalHeaderSig,
                 20,
                 kFlagEncrypted,
                 kMethodStored,
                 0x58B15000,
                 Crc32Of(plain),
                 static_cast<uint32_t>(plain.size() + kEncryptionHeaderLen),
                 static_cast<uint32_t>(plain.size()),
                 static_cast<uint16_t>(name.size()),
                 0};
  CentralHeader ch{kCentralHeaderSig,
                   20,
                   20,
                   lh.flags,
                   lh.method,
                   lh.dosDateTime,
                   lh.crc32,
                   lh.compressedSize,
                   lh.uncompressedSize,
                   lh.nameLength,
                   0,
                   0,
                   0,
                   0,
                   kAttrArchive,
                   0};
  std::vector<uint8_t> zip;
  auto append = [&zip](std::span<const uint8_t> b) { zip.insert(zip.end(), b.begin(), b.end()); };
  append(SerializeLocalHeader(lh));
  append(name);
  append(header);
  append(body);
  const size_t cdOffset = zip.size();
  append(SerializeCentralHeader(ch));
  append(name);
  append(SerializeEndRecord(
      {kEndRecordSig, 0, 0, 1, 1, static_cast<uint32_t>(zip.size() - cdOffset), cdOffset, 0}));
  test::WriteBytes(dir_ / "ours.zip", zip);

  ASSERT_EQ(test::RunIn(dir_, "unzip -P secret -p ours.zip a.txt > out.txt"), 0);
  EXPECT_EQ(test::ReadBytes(dir_ / "out.txt"), plain);
  EXPECT_NE(test::RunIn(dir_, "unzip -P wrong -t ours.zip"), 0);
  EXPECT_EQ(test::RunIn(dir_,
                        "python3 -c \"import zipfile,sys; z=zipfile.ZipFile('ours.zip'); "
                        "sys.exit(z.read('a.txt', pwd=b'secret') != open('a.txt','rb').read())\""),
            0);
}

}  // namespace
}  // namespace arc
