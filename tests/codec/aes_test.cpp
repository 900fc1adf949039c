#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <arc/codec/aes_crypt.h>
#include <arc/codec/aes_extra.h>
#include "codec/stream_decoder.h"
#include "peer_util.h"

namespace arc {
namespace {

using test::Bytes;

constexpr char kPassword[] = "Zelvo backup 2024";

/// The entry's plain data: stored entries are their own data, deflated ones
/// go through the library's inflater.
Bytes Unpack(uint16_t method, const Bytes& packed, size_t size) {
  if (method == 0) return packed;
  DecoderOptions options;
  options.compressedSize = packed.size();
  auto decoder = MakeStreamDecoder(method, options);
  CodecStream s;
  Bytes out(size + 1);
  if (!decoder || decoder->Init(s) != inflate_result::kOk) return {};
  s.next_in = packed.data();
  s.avail_in = static_cast<uint32_t>(packed.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uint32_t>(out.size());
  const int r = decoder->Decode(s);
  decoder->End(s);
  out.resize(s.total_out);
  return r == inflate_result::kStreamEnd ? out : Bytes{};
}

/// An archive of one AES entry, written here byte by byte so that the peers
/// judge our cipher rather than the library's own records.
Bytes OneEntryZip(const std::string& name, const AesExtra& aes, uint32_t crc, const Bytes& data,
                  uint32_t size) {
  Bytes z;
  auto u16 = [&](uint32_t v) {
    z.push_back(static_cast<uint8_t>(v));
    z.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const auto extra = BuildAesExtra(aes);
  auto common = [&] {  // version needed .. extra length, shared by both headers
    u16(51);
    u16(1);  // encrypted
    u16(kMethodAes);
    u32(0x58C16000);  // 2024-06-01 12:00
    u32(aes.vendorVersion == kAesVendorAe2 ? 0 : crc);
    u32(static_cast<uint32_t>(data.size()));
    u32(size);
    u16(static_cast<uint32_t>(name.size()));
    u16(static_cast<uint32_t>(extra.size()));
  };
  u32(0x04034B50);
  common();
  z.insert(z.end(), name.begin(), name.end());
  z.insert(z.end(), extra.begin(), extra.end());
  z.insert(z.end(), data.begin(), data.end());
  const auto central = static_cast<uint32_t>(z.size());
  u32(0x02014B50);
  u16(51);  // made by: version 5.1, DOS attributes
  common();
  u16(0);  // comment
  u16(0);  // disk
  u16(0);  // internal attributes
  u32(0x20);
  u32(0);  // local header offset
  z.insert(z.end(), name.begin(), name.end());
  z.insert(z.end(), extra.begin(), extra.end());
  const auto centralSize = static_cast<uint32_t>(z.size()) - central;
  u32(0x06054B50);
  u16(0);
  u16(0);
  u16(1);
  u16(1);
  u32(centralSize);
  u32(central);
  u16(0);
  return z;
}

/// salt | verifier | encrypted data | code, as the entry stores it.
Bytes EncryptEntry(AesStrength strength, Bytes packed) {
  AesCipher aes;
  Bytes out(AesHeaderLen(strength));
  EXPECT_TRUE(aes.StartEncryption(kPassword, strength, out));
  aes.Encrypt(packed);
  out.insert(out.end(), packed.begin(), packed.end());
  const auto code = aes.FinishCode();
  out.insert(out.end(), code.begin(), code.end());
  EXPECT_FALSE(aes.Failed());
  return out;
}

struct Decrypted {
  bool verified = false;
  bool authentic = false;
  Bytes packed;
};

/// Checks the password, decrypts the entry's data in pieces of `piece` bytes,
/// each handed over with the bytes that follow it (as the decompress adapter
/// reads ahead), and checks the code.
Decrypted DecryptEntry(AesStrength strength, const Bytes& stored, std::string_view password,
                       size_t piece) {
  Decrypted d;
  const size_t header = AesHeaderLen(strength);
  if (stored.size() < AesOverhead(strength)) return d;
  AesCipher aes;
  d.verified = aes.VerifyPassword(password, strength, std::span(stored).first(header));
  if (!d.verified) return d;
  aes.SetDataLength(stored.size() - AesOverhead(strength));
  Bytes rest(stored.begin() + static_cast<std::ptrdiff_t>(header), stored.end());
  for (size_t at = 0; at < rest.size(); at += piece) {
    const size_t took = aes.Decrypt(std::span(rest).subspan(at, std::min(piece, rest.size() - at)));
    if (took == 0) break;
  }
  const std::span<const uint8_t> code = std::span(rest).last(kAesCodeLen);
  d.authentic = aes.CheckCode(code);
  d.packed.assign(rest.begin(), rest.end() - kAesCodeLen);
  // The code was offered with the data but lies past its end: left as stored.
  EXPECT_TRUE(std::equal(code.begin(), code.end(), stored.end() - kAesCodeLen));
  return d;
}

TEST(Aes, EntriesEncryptedByPeersDecryptAndAuthenticate) {
  const Bytes plain = test::TextSample(60'000, 9);
  test::TempDir dir;
  test::WriteFile(dir / "plain", plain);
  const std::string pw = std::string("'") + kPassword + "'";
  struct Peer {
    const char* tool;
    std::string command;
  };
  const Peer peers[] = {
      {"7z", "7z a -tzip -mem=AES128 -p" + pw + " out.zip plain"},
      {"7z", "7z a -tzip -mem=AES192 -p" + pw + " out.zip plain"},
      {"7z", "7z a -tzip -mem=AES256 -p" + pw + " out.zip plain"},
      {"7z", "7z a -tzip -mm=Copy -mem=AES256 -p" + pw + " out.zip plain"},
      {"bsdtar", "bsdtar --format zip --options zip:encryption=aes128 --passphrase " + pw +
                     " -cf out.zip plain"},
      {"bsdtar", "bsdtar --format zip --options zip:encryption=aes256 --passphrase " + pw +
                     " -cf out.zip plain"},
  };
  for (const Peer& peer : peers) {
    if (!test::Have(peer.tool)) {
      ADD_FAILURE() << peer.tool << " missing";
      continue;
    }
    std::filesystem::remove(dir / "out.zip");
    ASSERT_EQ(test::RunIn(dir, peer.command), 0) << peer.command;
    const auto entries = test::ReadZipEntries(test::ReadFile(dir / "out.zip"));
    ASSERT_EQ(entries.size(), 1u) << peer.command;
    const test::ZipEntry& e = entries[0];
    AesExtra aes;
    ASSERT_EQ(e.method, kMethodAes) << peer.command;
    ASSERT_EQ(FindAesExtra(e.extra, aes), AesExtraStatus::Found) << peer.command;
    EXPECT_FALSE(DecryptEntry(aes.strength, e.data, "wrong password", 65536).verified)
        << peer.command;
    for (size_t piece : {size_t{1}, size_t{31}, size_t{65536}}) {
      const Decrypted d = DecryptEntry(aes.strength, e.data, kPassword, piece);
      EXPECT_TRUE(d.verified && d.authentic) << peer.command << " piece " << piece;
      const Bytes unpacked = Unpack(aes.method, d.packed, plain.size());
      EXPECT_TRUE(unpacked == plain) << peer.command << " piece " << piece;
    }
    if (aes.vendorVersion == kAesVendorAe1) {
      EXPECT_EQ(e.crc, test::Crc32Of(plain)) << peer.command;
    }
  }
}

TEST(Aes, EntriesWeEncryptPassThePeers) {
  const bool have7z = test::Have("7z");
  const bool haveBsdtar = test::Have("bsdtar");
  if (!have7z && !haveBsdtar) GTEST_SKIP() << "7z and bsdtar missing";
  struct Case {
    AesStrength strength;
    uint16_t method;
    size_t size;
  };
  const Case cases[] = {
      {AesStrength::Aes256, 8, 50'000}, {AesStrength::Aes256, 0, 50'000},
      {AesStrength::Aes128, 8, 50'000}, {AesStrength::Aes192, 0, 5'000},
      {AesStrength::Aes256, 0, 7},  // AE-2: no CRC
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    const Bytes plain = test::TextSample(c.size, 3);
    const Bytes packed = c.method == 8 ? test::ZlibDeflate(plain, 6, 0) : plain;
    const AesExtra aes{AesVendorVersionFor(plain.size()), c.strength, c.method};
    const Bytes zip =
        OneEntryZip("data.bin", aes, test::Crc32Of(plain), EncryptEntry(c.strength, packed),
                    static_cast<uint32_t>(plain.size()));
    test::WriteFile(dir / "ours.zip", zip);
    const std::string what = "strength " + std::to_string(static_cast<int>(c.strength)) +
                             " method " + std::to_string(c.method) + " size " +
                             std::to_string(c.size);
    if (have7z) {
      EXPECT_EQ(test::RunIn(dir, std::string("7z t '-p") + kPassword + "' ours.zip"), 0) << what;
      EXPECT_NE(test::RunIn(dir, "7z t -pwrong ours.zip"), 0) << what;
    }
    if (haveBsdtar) {
      std::filesystem::remove(dir / "out");
      test::RunIn(dir, std::string("bsdtar -xOf ours.zip --passphrase '") + kPassword + "' > out");
      EXPECT_TRUE(test::ReadFile(dir / "out") == plain) << what;
    }
  }
}

TEST(Aes, ADamagedByteOrCodeFailsTheAuthentication) {
  const Bytes packed = test::TextSample(10'000, 4);
  const Bytes stored = EncryptEntry(AesStrength::Aes256, packed);
  const Decrypted good = DecryptEntry(AesStrength::Aes256, stored, kPassword, 4096);
  ASSERT_TRUE(good.verified && good.authentic);
  EXPECT_TRUE(good.packed == packed);
  const size_t header = AesHeaderLen(AesStrength::Aes256);
  for (size_t at : {header, header + 5'000, stored.size() - kAesCodeLen - 1, stored.size() - 1}) {
    Bytes damaged = stored;
    damaged[at] ^= 0x01;
    const Decrypted d = DecryptEntry(AesStrength::Aes256, damaged, kPassword, 4096);
    EXPECT_TRUE(d.verified) << at;
    EXPECT_FALSE(d.authentic) << "flipped byte at " << at;
  }
}

TEST(Aes, EverySaltGivesOtherBytesAndAWrongPasswordIsRefused) {
  const Bytes packed = test::TextSample(1'000, 5);
  const Bytes a = EncryptEntry(AesStrength::Aes128, packed);
  const Bytes b = EncryptEntry(AesStrength::Aes128, packed);
  EXPECT_NE(a, b);
  AesCipher aes;
  const auto header = std::span(a).first(AesHeaderLen(AesStrength::Aes128));
  EXPECT_FALSE(aes.VerifyPassword("", AesStrength::Aes128, header));
  EXPECT_FALSE(aes.VerifyPassword(kPassword, AesStrength::Aes256, header))
      << "header of the wrong length";
  EXPECT_TRUE(aes.VerifyPassword(kPassword, AesStrength::Aes128, header));
}

TEST(Aes, ExtraBlockIsFoundAmongOtherBlocksAndCheckedFieldByField) {
  const std::string kTime = "55540500 01 00000000";  // a 0x5455 time block
  struct Case {
    const char* what;
    std::string hex;
    AesExtraStatus status;
  };
  const Case cases[] = {
      {"alone", "01990700 0200 4145 03 0800", AesExtraStatus::Found},
      {"after another block", kTime + "01990700 0200 4145 03 0800", AesExtraStatus::Found},
      {"no block", kTime, AesExtraStatus::Absent},
      {"empty field", "", AesExtraStatus::Absent},
      {"data size 6", "01990600 0200 4145 03 08", AesExtraStatus::Invalid},
      {"another vendor", "01990700 0200 4158 03 0800", AesExtraStatus::Invalid},
      {"vendor version 3", "01990700 0300 4145 03 0800", AesExtraStatus::Invalid},
      {"strength 4", "01990700 0200 4145 04 0800", AesExtraStatus::Invalid},
      {"behind a block running past the field", "55541000 01 00000000 01990700 0200 4145 03 0800",
       AesExtraStatus::Absent},
      {"cut inside its data", "01990700 0200 4145", AesExtraStatus::Absent},
  };
  for (const Case& c : cases) {
    AesExtra found{};
    EXPECT_EQ(FindAesExtra(test::FromHex(c.hex), found), c.status) << c.what;
    if (c.status != AesExtraStatus::Found) continue;
    EXPECT_EQ(found.vendorVersion, 2) << c.what;
    EXPECT_EQ(found.strength, AesStrength::Aes256) << c.what;
    EXPECT_EQ(found.method, 8) << c.what;
  }
  const auto built = BuildAesExtra({kAesVendorAe1, AesStrength::Aes128, 12});
  EXPECT_EQ(Bytes(built.begin(), built.end()), test::FromHex("01990700 0100 4145 01 0c00"));
}

}  // namespace
}  // namespace arc
