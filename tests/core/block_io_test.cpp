//===-- tests/core/block_io_test.cpp - Block reader and writer -----------===//
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arc/codec/crc.h>
#include <arc/codec/trad_cipher.h>
#include <arc/unzip/unzip.h>
#include "fake_streams.h"
#include "support/stream_memory.h"

namespace arc {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

uint32_t CrcOf(const std::vector<uint8_t>& data) {
  uint32_t crc = kCrc32Init;
  Crc32Update(data.data(), static_cast<int32_t>(data.size()), crc);
  return crc;
}

std::vector<uint8_t> Contents(TMemoryStream32& stream) {
  const uint8_t* p = stream.Memory();
  return {p, p + stream.Size()};
}

/// Data enciphered as an entry made with `password` carries it.
std::vector<uint8_t> Enciphered(const std::vector<uint8_t>& plain, const std::string& password) {
  TradCipher cipher;
  cipher.FeedPassword(password);
  std::vector<uint8_t> out = plain;
  cipher.Encipher(out);
  return out;
}

class BlockIo : public ::testing::Test {
 protected:
  TUnZip unzip;
  const std::vector<uint8_t> plain = Bytes("company database backup, block one of many");
};

TEST_F(BlockIo, WriterDeciphersThenFeedsTheCrcThenWrites) {
  std::vector<uint8_t> block = Enciphered(plain, "secret");
  unzip.Cipher().FeedPassword("secret");
  unzip.SetRunningCrc(kCrc32Init);
  TMemoryStream32 out;
  // In two pieces: the key stream goes on across blocks.
  EXPECT_EQ(unzip.WriteBlock(out, block.data(), 10, BlockCipher::Decipher), 10);
  EXPECT_EQ(
      unzip.WriteBlock(out, block.data() + 10, int32_t(block.size()) - 10, BlockCipher::Decipher),
      int32_t(block.size()) - 10);
  EXPECT_EQ(Contents(out), plain);
  EXPECT_EQ(unzip.RunningCrc(), CrcOf(plain));
}

TEST_F(BlockIo, WriterEnciphersAfterFeedingThePlainBytesToTheCrc) {
  std::vector<uint8_t> block = plain;
  unzip.Cipher().FeedPassword("secret");
  TMemoryStream32 out;
  unzip.WriteBlock(out, block.data(), int32_t(block.size()), BlockCipher::Encipher);
  EXPECT_EQ(Contents(out), Enciphered(plain, "secret"));
  EXPECT_EQ(unzip.RunningCrc(), CrcOf(plain));
}

TEST_F(BlockIo, ReaderDecipherAndCrcAreEachOnRequest) {
  TMemoryStream32 in;
  const std::vector<uint8_t> stored = Enciphered(plain, "pw");
  in.Write(stored.data(), int32_t(stored.size()));
  in.SetPosition(0);

  // The encryption header is read as stored, and decoders of compressed
  // input leave the CRC alone.
  std::vector<uint8_t> buffer(stored.size() + 8);
  EXPECT_EQ(unzip.ReadBlock(in, buffer.data(), 12, /*decipher=*/false, /*update_crc=*/false), 12);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 12),
            std::vector<uint8_t>(stored.begin(), stored.begin() + 12));
  EXPECT_EQ(unzip.RunningCrc(), kCrc32Init);

  in.SetPosition(0);
  unzip.Cipher().FeedPassword("pw");
  const int32_t got = unzip.ReadBlock(in, buffer.data(), int32_t(buffer.size()), true);
  ASSERT_EQ(got, int32_t(plain.size()));  // short at the end of the stream
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + got), plain);
  EXPECT_EQ(unzip.RunningCrc(), CrcOf(plain));
}

TEST_F(BlockIo, ReadErrorCountsAsNothingRead) {
  fakes::UnreadableStream in;
  uint8_t buffer[16];
  EXPECT_EQ(unzip.ReadBlock(in, buffer, 16, false), 0);
  EXPECT_EQ(unzip.RunningCrc(), kCrc32Init);
}

}  // namespace
}  // namespace arc
