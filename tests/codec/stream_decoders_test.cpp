#include <gtest/gtest.h>

#include <functional>

#include "codec/stream_decoder.h"
#include "peer_util.h"

namespace arc {
namespace {

namespace res = inflate_result;
using test::Bytes;

// Every stream the tests read, made once by the peers from two samples.
class Peers {
 public:
  static const Peers& Get() {
    static const Peers peers;
    return peers;
  }
  Bytes plain = test::TextSample(100'000, 1);
  Bytes plainB = test::TextSample(70'000, 2);

  /// A file the peers made; empty when its tool is missing.
  Bytes File(const std::string& name) const { return test::ReadFile(dir_ / name); }
  /// The data and flags of the one entry of a ZIP file the peers made.
  test::ZipEntry Entry(const std::string& zipName) const {
    auto entries = test::ReadZipEntries(File(zipName));
    return entries.empty() ? test::ZipEntry{} : entries[0];
  }

 private:
  Peers() {
    test::WriteFile(dir_ / "plain", plain);
    test::WriteFile(dir_ / "plainB", plainB);
    const char* const commands[] = {
        "bzip2 -c plain > p.bz2; bzip2 -c plainB > b.bz2",
        "xz -c plain > p.xz; xz -c plainB > b.xz; xz -9 -c plain > p9.xz",
        // From a pipe the size is unknown, so level 22 keeps its 128 MiB window.
        "zstd -q -c plain > p.zst; zstd -q -c plainB > b.zst; zstd -q --ultra -22 -c < plain > "
        "p22.zst",
        "python3 -c \"import zipfile as z\nfor n, m in (('py_bz2', z.ZIP_BZIP2), ('py_lzma', "
        "z.ZIP_LZMA)):\n"
        "  with z.ZipFile(n + '.zip', 'w', m) as f: f.write('plain')\"",
        "7z a -tzip -mm=LZMA:eos=off 7z_lzma.zip plain; 7z a -tzip -mm=XZ 7z_xz.zip plain;"
        " 7z a -tzip -mm=BZip2 7z_bz2.zip plain",
    };
    for (const char* c : commands) test::RunIn(dir_, c);
  }
  test::TempDir dir_;
};

/// Runs the decoder of `method` over `in` in pieces (0: all at once).
test::Outcome Decode(uint16_t method, const DecoderOptions& options, const Bytes& in, size_t inStep,
                     size_t outStep) {
  auto decoder = MakeStreamDecoder(method, options);
  CodecStream s;
  test::Outcome o;
  o.result = decoder->Init(s);
  if (o.result != res::kOk) return o;
  o = test::DriveStream(in, inStep, outStep, s, [&] { return decoder->Decode(s); });
  decoder->End(s);
  return o;
}

struct PeerStream {
  const char* what;
  uint16_t method;
  const char* file;  // a raw stream, or a ZIP file whose entry is taken
  bool zip;
};

const PeerStream kPeerStreams[] = {
    {"bzip2 tool", kMethodBzip2, "p.bz2", false},
    {"xz tool", kMethodXz, "p.xz", false},
    {"zstd tool", kMethodZstd, "p.zst", false},
    {"python zipfile, bzip2", kMethodBzip2, "py_bz2.zip", true},
    {"python zipfile, LZMA with end marker", kMethodLzma, "py_lzma.zip", true},
    {"7z, LZMA without end marker", kMethodLzma, "7z_lzma.zip", true},
    {"7z, XZ", kMethodXz, "7z_xz.zip", true},
    {"7z, bzip2", kMethodBzip2, "7z_bz2.zip", true},
};

struct Packed {
  Bytes data;
  uint16_t flags = 0;
};

Packed Load(const PeerStream& p) {
  if (!p.zip) return {Peers::Get().File(p.file), 0};
  test::ZipEntry e = Peers::Get().Entry(p.file);
  EXPECT_TRUE(e.data.empty() || e.method == p.method) << p.what;
  return {e.data, e.flags};
}

TEST(StreamDecoders, PeerStreamsDecodeInAnyPiecesAndStopRightAfterTheirData) {
  const Bytes& plain = Peers::Get().plain;
  for (const PeerStream& p : kPeerStreams) {
    const Packed packed = Load(p);
    if (packed.data.empty()) {
      ADD_FAILURE() << p.what << ": the peer made nothing (tool missing?)";
      continue;
    }
    DecoderOptions known;
    known.flags = packed.flags;
    known.compressedSize = packed.data.size();
    known.uncompressedSize = plain.size();
    for (auto [inStep, outStep] : {std::pair<size_t, size_t>{0, 65536}, {1, 1}, {31, 4093}}) {
      const test::Outcome o = Decode(p.method, known, packed.data, inStep, outStep);
      EXPECT_EQ(o.result, res::kStreamEnd)
          << p.what << " in " << inStep << " out " << outStep << ": " << o.msg;
      EXPECT_TRUE(o.out == plain) << p.what << " in " << inStep << " out " << outStep;
      EXPECT_EQ(o.totalIn, packed.data.size()) << p.what;
    }
    // Without the compressed size the stream's own end stops the decoder,
    // and the record that follows stays unread.
    DecoderOptions unknown = known;
    unknown.compressedSize = kUnknownSize;
    Bytes followed = packed.data;
    followed.insert(followed.end(), {'P', 'K', 1, 2, 0, 0, 0, 0});
    const test::Outcome o = Decode(p.method, unknown, followed, 0, 65536);
    EXPECT_EQ(o.result, res::kStreamEnd) << p.what << ": " << o.msg;
    EXPECT_TRUE(o.out == plain) << p.what;
    EXPECT_EQ(o.availIn, 8u) << p.what;
  }
}

// A damaged stream must end in an error, never in a wait for input that will
// not come or in success; a stream asking for more memory than allowed is
// refused before it is decoded.
TEST(StreamDecoders, DamagedOrOversizedStreamsGiveTheirError) {
  const auto cut = [](Bytes b) {
    b.resize(b.size() / 2);
    return b;
  };
  const auto flip = [](Bytes b) {
    b[b.size() / 2] ^= 0x10;
    return b;
  };
  const auto keep = [](Bytes b) { return b; };
  // The ZIP form's header: bytes 2-3 hold the properties size, byte 4 lc/lp/pb.
  const auto propsSize6 = [](Bytes b) {
    b[2] = 6;
    return b;
  };
  const auto badLcLpPb = [](Bytes b) {
    b[4] = 0xFF;
    return b;
  };
  constexpr uint64_t kMiB = 1 << 20;
  struct Case {
    const char* what;
    PeerStream from;
    std::function<Bytes(Bytes)> damage;
    bool sizeKnown;
    uint64_t memoryLimit;
    int expected;
  };
  const PeerStream bz2{"", kMethodBzip2, "p.bz2", false};
  const PeerStream xz{"", kMethodXz, "p.xz", false};
  const PeerStream xz9{"", kMethodXz, "p9.xz", false};
  const PeerStream zst{"", kMethodZstd, "p.zst", false};
  const PeerStream zst22{"", kMethodZstd, "p22.zst", false};
  const PeerStream lzma{"", kMethodLzma, "py_lzma.zip", true};
  const Case cases[] = {
      {"bzip2 cut short", bz2, cut, true, kDecoderMemoryLimit, res::kDataError},
      {"xz cut short", xz, cut, true, kDecoderMemoryLimit, res::kDataError},
      {"zstd cut short", zst, cut, true, kDecoderMemoryLimit, res::kDataError},
      {"lzma cut short", lzma, cut, true, kDecoderMemoryLimit, res::kDataError},
      {"bzip2 cut short, size unknown", bz2, cut, false, kDecoderMemoryLimit, res::kBufError},
      {"xz cut short, size unknown", xz, cut, false, kDecoderMemoryLimit, res::kBufError},
      {"zstd cut short, size unknown", zst, cut, false, kDecoderMemoryLimit, res::kBufError},
      {"lzma cut short, size unknown", lzma, cut, false, kDecoderMemoryLimit, res::kBufError},
      {"bzip2 with a flipped bit", bz2, flip, true, kDecoderMemoryLimit, res::kDataError},
      {"xz with a flipped bit", xz, flip, true, kDecoderMemoryLimit, res::kDataError},
      {"zstd with a flipped bit", zst, flip, true, kDecoderMemoryLimit, res::kDataError},
      {"lzma properties size 6", lzma, propsSize6, true, kDecoderMemoryLimit, res::kDataError},
      {"lzma lc/lp/pb out of range", lzma, badLcLpPb, true, kDecoderMemoryLimit, res::kDataError},
      {"bzip2 900k blocks under a 1 MiB limit", bz2, keep, true, kMiB, res::kMemError},
      {"xz -9 under a 16 MiB limit", xz9, keep, true, 16 * kMiB, res::kMemError},
      {"zstd 128 MiB window under the default limit passes", zst22, keep, true, kDecoderMemoryLimit,
       res::kStreamEnd},
      {"zstd 128 MiB window under a 16 MiB limit", zst22, keep, true, 16 * kMiB, res::kMemError},
      {"lzma 8 MiB dictionary under a 1 MiB limit", lzma, keep, true, kMiB, res::kMemError},
  };
  for (const Case& c : cases) {
    const Packed packed = Load(c.from);
    if (packed.data.empty()) {
      ADD_FAILURE() << c.what << ": the peer made nothing (tool missing?)";
      continue;
    }
    const Bytes data = c.damage(packed.data);
    DecoderOptions options;
    options.flags = packed.flags;
    options.compressedSize = c.sizeKnown ? data.size() : kUnknownSize;
    options.uncompressedSize = Peers::Get().plain.size();
    options.memoryLimit = c.memoryLimit;
    const test::Outcome o = Decode(c.from.method, options, data, 4096, 65536);
    EXPECT_EQ(o.result, c.expected) << c.what << ": " << o.msg;
    if (o.result < 0 && o.result != res::kBufError) {
      EXPECT_FALSE(o.msg.empty()) << c.what;
    }
  }
}

// Frames of the format's early versions (here 0.6) are no Zstandard data of
// a ZIP entry; whether they are refused must not depend on how the bytes arrive.
TEST(StreamDecoders, ZstdFramesOfAnEarlyFormatAreRefusedInAnyPieces) {
  const Bytes early = {0x26, 0xB5, 0x2F, 0xFD, 0, 0, 0, 0, 0x1F, 0x4C, 0x04, 0x6F, 0, 0x76};
  DecoderOptions options;
  for (size_t inStep : {0, 1, 3}) {
    const test::Outcome o = Decode(kMethodZstd, options, early, inStep, 1);
    EXPECT_EQ(o.result, res::kDataError) << inStep << ": " << o.msg;
  }
}

// Parallel compressors write one entry as several streams; the compressed
// size tells that more follow. Without it the first stream is the entry.
TEST(StreamDecoders, JoinedStreamsDecodeWholeWhenTheCompressedSizeIsKnown) {
  const Peers& peers = Peers::Get();
  Bytes both = peers.plain;
  both.insert(both.end(), peers.plainB.begin(), peers.plainB.end());
  const std::pair<uint16_t, const char*> kinds[] = {
      {kMethodBzip2, "bz2"}, {kMethodXz, "xz"}, {kMethodZstd, "zst"}};
  for (auto [method, ext] : kinds) {
    const Bytes first = peers.File(std::string("p.") + ext);
    Bytes joined = first;
    const Bytes second = peers.File(std::string("b.") + ext);
    joined.insert(joined.end(), second.begin(), second.end());
    ASSERT_FALSE(first.empty() || second.empty()) << ext;
    DecoderOptions options;
    options.compressedSize = joined.size();
    test::Outcome o = Decode(method, options, joined, 31, 65536);
    EXPECT_EQ(o.result, res::kStreamEnd) << ext << ": " << o.msg;
    EXPECT_TRUE(o.out == both) << ext;
    options.compressedSize = kUnknownSize;
    o = Decode(method, options, joined, 0, 65536);
    EXPECT_EQ(o.result, res::kStreamEnd) << ext;
    EXPECT_TRUE(o.out == peers.plain) << ext;
    EXPECT_EQ(o.totalIn, first.size()) << ext;
  }
}

}  // namespace
}  // namespace arc
