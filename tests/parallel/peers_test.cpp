// Every ZIP tool reads an entry whose data is the parallel stream. The archive
// is written here field by field, independently of the library's writer.
#include <zlib.h>

#include <gtest/gtest.h>

#include "codec/inflate_test_util.h"
#include "codec/parallel_deflate.h"
#include "codec/peer_util.h"

namespace arc {
namespace {

using test::Bytes;

void U16(Bytes& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void U32(Bytes& v, uint32_t x) {
  U16(v, x & 0xFFFF);
  U16(v, x >> 16);
}

/// One deflated entry, its local header, the central record and the end record.
Bytes OneEntryZip(const std::string& name, const Bytes& packed, uint32_t crc, uint32_t size) {
  Bytes zip;
  auto common = [&](Bytes& v) {
    U16(v, 20);  // version needed
    U16(v, 0);   // flags
    U16(v, 8);   // deflated
    U32(v, 0x58C16000);
    U32(v, crc);
    U32(v, static_cast<uint32_t>(packed.size()));
    U32(v, size);
    U16(v, static_cast<uint16_t>(name.size()));
    U16(v, 0);  // extra length
  };
  U32(zip, 0x04034B50);
  common(zip);
  zip.insert(zip.end(), name.begin(), name.end());
  zip.insert(zip.end(), packed.begin(), packed.end());
  const auto directory = static_cast<uint32_t>(zip.size());
  U32(zip, 0x02014B50);
  U16(zip, 20);  // made by
  common(zip);
  U16(zip, 0);  // comment length
  U16(zip, 0);  // disk
  U16(zip, 0);  // internal attributes
  U32(zip, 0);  // external attributes
  U32(zip, 0);  // local header offset
  zip.insert(zip.end(), name.begin(), name.end());
  const auto directory_size = static_cast<uint32_t>(zip.size()) - directory;
  U32(zip, 0x06054B50);
  U32(zip, 0);  // disk numbers
  U16(zip, 1);
  U16(zip, 1);
  U32(zip, directory_size);
  U32(zip, directory);
  U16(zip, 0);
  return zip;
}

TEST(ParallelDeflatePeers, ZipUnzip7zBsdtarAndPythonReadTheEntry) {
  struct Collector : DeflateClient {
    Bytes out;
    bool Cancelled() const override { return false; }
    void Consumed(const uint8_t*, uint32_t) override {}
    void Output(uint8_t* data, uint32_t count) override {
      out.insert(out.end(), data, data + count);
    }
  } c;
  const Bytes data = test::TextSample(5 * kParallelPieceSize + 12345, 21);
  ParallelDeflate engine(dtDeflateN, 2);
  ASSERT_EQ(engine.Compress(data.data(), static_cast<uint32_t>(data.size()), c),
            DeflateStatus::Done);
  ASSERT_EQ(engine.Finish(c), DeflateStatus::Done);
  ASSERT_GT(engine.Pieces(), 5u);

  test::TempDir dir;
  test::WriteFile(dir / "in.bin", data);
  test::WriteFile(dir / "p.zip",
                  OneEntryZip("in.bin", c.out, engine.Crc32(), static_cast<uint32_t>(data.size())));
  struct Peer {
    const char* tool;
    const char* command;
  };
  const Peer kPeers[] = {
      {"unzip", "unzip -tq p.zip"},
      {"7z", "7z t p.zip"},
      {"bsdtar", "bsdtar -xOf p.zip in.bin | cmp - in.bin"},
      {"python3",
       "python3 -c 'import zipfile,sys; z=zipfile.ZipFile(\"p.zip\"); "
       "sys.exit(z.testzip() is not None or z.read(\"in.bin\") != "
       "open(\"in.bin\",\"rb\").read())'"},
  };
  for (const Peer& p : kPeers) {
    if (!test::Have(p.tool)) {
      ADD_FAILURE() << p.tool << " is missing (scripts/install_packages.sh installs it)";
      continue;
    }
    EXPECT_EQ(test::RunIn(dir, p.command), 0) << p.command;
  }
}

}  // namespace
}  // namespace arc
