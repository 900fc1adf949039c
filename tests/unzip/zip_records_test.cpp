#include "unzip/zip_records.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "peer_files.h"
#include "support/byte_reader.h"

namespace arc {
namespace {

using Bytes = std::vector<uint8_t>;

// A copy of `good` changed by `mess`: corrupt variants are made from good bytes.
template <class F>
Bytes MessWith(Bytes good, F mess) {
  mess(good);
  return good;
}

void Put16(Bytes& b, size_t at, uint16_t v) { ByteWriter(std::span(b).subspan(at)).u16(v); }
void Put32(Bytes& b, size_t at, uint32_t v) { ByteWriter(std::span(b).subspan(at)).u32(v); }

Bytes Extra(uint16_t tag, std::initializer_list<uint64_t> values, size_t width = 8) {
  Bytes out(kExtraBlockHeaderLen + values.size() * width);
  ByteWriter w(out);
  w.u16(tag);
  w.u16(static_cast<uint16_t>(values.size() * width));
  for (uint64_t v : values)
    width == 8   ? w.u64(v)
    : width == 4 ? w.u32(static_cast<uint32_t>(v))
                 : w.u16(static_cast<uint16_t>(v));
  return out;
}

Bytes Concat(std::initializer_list<std::span<const uint8_t>> parts) {
  Bytes out;
  for (auto p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }

uint32_t ReadSignature(std::span<const uint8_t> b) { return ByteReader(b).u32(); }

// The record readers over bytes in memory, from `at` on.
RecordRead<LocalRecord> ReadLocal(std::span<const uint8_t> b, size_t at = 0) {
  MemorySource source(b);
  return ReadLocalRecord(source, static_cast<int64_t>(at));
}
RecordRead<CentralRecord> ReadCentral(std::span<const uint8_t> b, size_t at = 0) {
  MemorySource source(b);
  return ReadCentralRecord(source, static_cast<int64_t>(at));
}

// Every field distinct, so that a swapped or misplaced field shows.
LocalHeader SampleLocal() {
  return {kLocalHeaderSig, 0x0014,     0x0809,     kMethodDeflated, 0x58A37C21,
          0xCAFEBABE,      0x01020304, 0x05060708, 0x0009,          0x000A};
}

CentralHeader SampleCentral() {
  return {kCentralHeaderSig,
          0x031E,
          0x0014,
          0x0001,
          kMethodDeflate64,
          0x4A2B3C4D,
          0x11223344,
          0x21222324,
          0x31323334,
          3,
          4,
          5,
          6,
          7,
          0x81A40020,
          0x41424344};
}

// --- Fixed records ------------------------------------------------------------

TEST(ZipRecords, EveryRecordRoundTripsThroughItsBytes) {
  EXPECT_EQ(ParseLocalHeader(SerializeLocalHeader(SampleLocal())), SampleLocal());
  EXPECT_EQ(ParseCentralHeader(SerializeCentralHeader(SampleCentral())), SampleCentral());

  EndRecord standard{kEndRecordSig, 1, 2, 3, 4, 0x51525354, 0x61626364, 7};
  EXPECT_EQ(SerializeEndRecord(standard).size(), kEndRecordLen);
  EXPECT_EQ(ParseEndRecord(SerializeEndRecord(standard)), standard);
  EndRecord wide{kEndRecord64Sig, 1, 2, 3, 4, 0x51525354, 0x0000123461626364, 7};
  EXPECT_EQ(SerializeEndRecord(wide).size(), kEndRecord64Len);
  EXPECT_EQ(ParseEndRecord(SerializeEndRecord(wide)), wide);

  Zip64Locator locator{kZip64LocatorSig, 3, 0x0102030405060708, 4};
  EXPECT_EQ(ParseZip64Locator(SerializeZip64Locator(locator)), locator);
  Zip64EndRecord z64{kZip64EndRecordSig, 44,          45, 46, 1, 2, 0x1111, 0x2222,
                     0x3333333333,       0x4444444444};
  EXPECT_EQ(ParseZip64EndRecord(SerializeZip64EndRecord(z64)), z64);
}

// The named offsets are what the other code patches and tests poke at; they
// must agree with the serialiser.
TEST(ZipRecords, NamedFieldOffsetsMatchTheSerialisedFields) {
  auto at = [](std::span<const uint8_t> b, size_t offset) { return ByteReader(b.subspan(offset)); };
  const auto l = SerializeLocalHeader(SampleLocal());
  EXPECT_EQ(at(l, local_field::kFlags).u16(), SampleLocal().flags);
  EXPECT_EQ(at(l, local_field::kDosDateTime).u32(), SampleLocal().dosDateTime);
  EXPECT_EQ(at(l, local_field::kCompressedSize).u32(), SampleLocal().compressedSize);
  EXPECT_EQ(at(l, local_field::kExtraLength).u16(), SampleLocal().extraLength);
  const auto c = SerializeCentralHeader(SampleCentral());
  EXPECT_EQ(at(c, central_field::kMethod).u16(), SampleCentral().method);
  EXPECT_EQ(at(c, central_field::kUncompressedSize).u32(), SampleCentral().uncompressedSize);
  EXPECT_EQ(at(c, central_field::kCommentLength).u16(), SampleCentral().commentLength);
  EXPECT_EQ(at(c, central_field::kDiskNumberStart).u16(), SampleCentral().diskNumberStart);
  EXPECT_EQ(at(c, central_field::kExternalAttributes).u32(), SampleCentral().externalAttributes);
  EXPECT_EQ(at(c, central_field::kLocalHeaderOffset).u32(), SampleCentral().localHeaderOffset);
}

TEST(ZipRecords, ShortOrMislabelledRecordsAreRejected) {
  auto lb = SerializeLocalHeader(SampleLocal());
  const Bytes local(lb.begin(), lb.end());
  auto cb = SerializeCentralHeader(SampleCentral());
  const Bytes central(cb.begin(), cb.end());
  const Bytes end = SerializeEndRecord({});
  const Bytes wideEnd = SerializeEndRecord({.signature = kEndRecord64Sig});

  // One byte short of the fixed part.
  EXPECT_FALSE(ParseLocalHeader(std::span(local).first(kLocalHeaderLen - 1)));
  EXPECT_FALSE(ParseCentralHeader(std::span(central).first(kCentralHeaderLen - 1)));
  EXPECT_FALSE(ParseEndRecord(std::span(end).first(kEndRecordLen - 1)));
  EXPECT_FALSE(ParseEndRecord(std::span(wideEnd).first(kEndRecord64Len - 1)));
  EXPECT_FALSE(ParseLocalHeader({}));

  // A record of another kind where this one is expected.
  EXPECT_FALSE(ParseLocalHeader(MessWith(local, [](Bytes& b) { Put32(b, 0, kCentralHeaderSig); })));
  EXPECT_FALSE(ParseCentralHeader(MessWith(central, [](Bytes& b) { b[3] = 0x04; })));  // kind byte
  EXPECT_FALSE(ParseEndRecord(MessWith(end, [](Bytes& b) { b[1] = 0x4D; })));  // variant byte
  EXPECT_FALSE(ParseZip64Locator(
      MessWith(Bytes(kZip64LocatorLen), [](Bytes& b) { Put32(b, 0, kZip64EndRecordSig); })));

  // Name, extra field or comment running past the bytes at hand.
  LocalHeader h;
  h.nameLength = 4;
  const Bytes whole = Concat({SerializeLocalHeader(h), Text("name")});
  ASSERT_TRUE(ReadLocal(whole));
  EXPECT_EQ(ReadLocal(std::span(whole).first(whole.size() - 1)).status, RecordStatus::Cut);
  EXPECT_EQ(ReadLocal(std::span(whole).first(kLocalHeaderLen - 1)).status, RecordStatus::Cut);
  EXPECT_EQ(
      ReadLocal(MessWith(whole, [](Bytes& b) { Put16(b, local_field::kExtraLength, 1); })).status,
      RecordStatus::Cut);
  EXPECT_EQ(ReadLocal(std::span(whole).first(kSignatureLen - 1)).status, RecordStatus::Absent);
  EXPECT_EQ(ReadCentral(whole).status, RecordStatus::Absent);
  CentralHeader c;
  c.commentLength = 1;
  EXPECT_EQ(ReadCentral(SerializeCentralHeader(c)).status, RecordStatus::Cut);
}

TEST(ZipRecords, ClassifierTellsKindVariantAndWidth) {
  struct Case {
    uint32_t value;
    RecordKind expected;
    RecordKind kind;
    bool enciphered;
    bool wide;
  };
  using K = RecordKind;
  const Case cases[] = {
      {0x04034B50, K::Local, K::Local, false, false},
      {0x04034C50, K::Local, K::Local, true, false},
      {0x02014B50, K::Central, K::Central, false, false},
      {0x02014C50, K::Central, K::Central, true, false},
      {0x06054B50, K::End, K::End, false, false},
      {0x06054C50, K::End, K::End, true, false},
      {0x06055B50, K::End, K::End, false, true},
      {0x06055C50, K::End, K::End, true, true},
      {0x08074B50, K::SpanMarker, K::SpanMarker, false, false},
      {0x04034B50, K::None, K::Local, false, false},  // any kind accepted
      // Wrong kind for what is expected counts as none.
      {0x04034B50, K::Central, K::None, false, false},
      {0x02014B50, K::End, K::None, false, false},
      {0x06054B50, K::Local, K::None, false, false},
      // Variants that exist only for the end record, unknown variants and kinds.
      {0x04035B50, K::Local, K::None, false, false},
      {0x04034D50, K::Local, K::None, false, false},
      {0x06064B50, K::End, K::None, false, false},
      {0x07064B50, K::None, K::None, false, false},
      {0x04034B51, K::Local, K::None, false, false},
  };
  for (const Case& c : cases) {
    SignatureMatch m = ClassifySignature(c.value, c.expected);
    EXPECT_EQ(m.kind, c.kind) << std::hex << c.value;
    EXPECT_EQ(m.enciphered, c.enciphered) << std::hex << c.value;
    EXPECT_EQ(m.wide, c.wide) << std::hex << c.value;
  }

  EXPECT_EQ(BuildSignature(K::Local, false), 0x04034B50u);
  EXPECT_EQ(BuildSignature(K::Local, true), 0x04034C50u);
  EXPECT_EQ(BuildSignature(K::Central, true), 0x02014C50u);
  EXPECT_EQ(BuildSignature(K::End, true), 0x06054B50u);  // end records stay plain
  EXPECT_EQ(BuildSignature(K::SpanMarker, false), 0x08074B50u);
}

TEST(ZipRecords, WideEndRecordTakesItsOffsetFromEightBytesAndItsCommentAt26) {
  // Built by hand: signature, disks 0/0, entries 2/2, size 0x100, offset
  // 0x0001_0000_0010 in 8 bytes at 16, comment length 5 at 24, comment.
  Bytes b(kEndRecord64Len);
  Put32(b, 0, 0x06055B50);
  Put16(b, end_field::kEntriesOnDisk, 2);
  Put16(b, end_field::kTotalEntries, 2);
  Put32(b, end_field::kCentralDirSize, 0x100);
  ByteWriter(std::span(b).subspan(end_field::kCentralDirOffset)).u64(0x000100000010);
  Put16(b, end_field::kCommentLength64, 5);
  const Bytes withComment = Concat({b, Text("hello")});

  std::optional<EndRecord> e = ParseEndRecord(withComment);
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->IsWide());
  EXPECT_EQ(e->centralDirOffset, 0x000100000010u);
  EXPECT_EQ(e->commentLength, 5);
  ASSERT_EQ(e->FixedLength(), 26u);
  EXPECT_EQ(Bytes(withComment.begin() + 26, withComment.end()), Text("hello"));

  // The standard form reads 4 bytes there and its comment follows at 22.
  EndRecord standard = *ParseEndRecord(MessWith(withComment, [](Bytes& x) { x[1] = 0x4B; }));
  EXPECT_EQ(standard.centralDirOffset, 0x00000010u);
  EXPECT_EQ(standard.FixedLength(), 22u);

  // Writing a standard record never wraps an offset beyond 32 bits.
  EXPECT_EQ(ParseEndRecord(SerializeEndRecord({.centralDirOffset = 0x100000000}))->centralDirOffset,
            0xFFFFFFFFu);
}

// --- Extra field --------------------------------------------------------------

TEST(ZipExtraField, Zip64BlockFillsTheFieldsThatAskForIt) {
  CentralHeader h = SampleCentral();
  h.compressedSize = kZip64Marker32;
  // A 48-bit compressed size: the block holds only the field that asks.
  EntryExtent e = WalkCentralExtraField(h, Extra(kExtraZip64, {0x0000'2345'6789'ABCDull}));
  EXPECT_EQ(e.compressedSize, 0x2345'6789'ABCDull);
  EXPECT_EQ(e.uncompressedSize, h.uncompressedSize);
  EXPECT_EQ(e.localHeaderOffset, h.localHeaderOffset);
  EXPECT_TRUE(e.zip64);

  // Values are kept whole: the top 16 bits are not dropped.
  e = WalkCentralExtraField(h, Extra(kExtraZip64, {0x0001'2345'6789'ABCDull}));
  EXPECT_EQ(e.compressedSize, 0x0001'2345'6789'ABCDull);

  // Order: uncompressed, compressed, offset, then the 4-byte disk number; only
  // the asking fields are present. Trailing bytes are passed over.
  h.compressedSize = 77;
  h.uncompressedSize = kZip64Marker32;
  h.localHeaderOffset = kZip64Marker32;
  h.diskNumberStart = kZip64Marker16;
  Bytes block = Extra(kExtraZip64, {0x100000001ull, 0x200000002ull});
  Bytes disk = {9, 0, 0, 0, 0xEE, 0xEE};
  block.insert(block.end(), disk.begin(), disk.end());
  Put16(block, 2, static_cast<uint16_t>(block.size() - kExtraBlockHeaderLen));
  e = WalkCentralExtraField(h, block);
  EXPECT_EQ(e.uncompressedSize, 0x100000001u);
  EXPECT_EQ(e.compressedSize, 77u);
  EXPECT_EQ(e.localHeaderOffset, 0x200000002u);
  EXPECT_EQ(e.diskNumberStart, 9u);

  // A block too short for an asking field leaves the marker for the caller to see.
  e = WalkCentralExtraField(h, Extra(kExtraZip64, {}));
  EXPECT_EQ(e.uncompressedSize, kZip64Marker32);
  EXPECT_FALSE(e.zip64);
}

TEST(ZipExtraField, LocalZip64BlockHoldsBothSizesWhenEitherAsks) {
  LocalHeader h = SampleLocal();
  h.uncompressedSize = 100;
  h.compressedSize = kZip64Marker32;
  EntryExtent e = WalkLocalExtraField(h, Extra(kExtraZip64, {100, 0x100000010ull}));
  EXPECT_EQ(e.uncompressedSize, 100u);
  EXPECT_EQ(e.compressedSize, 0x100000010u);
  // A block with one value serves the first field that asks.
  e = WalkLocalExtraField(h, Extra(kExtraZip64, {0x100000010ull}));
  EXPECT_EQ(e.compressedSize, 0x100000010u);
}

TEST(ZipExtraField, HighPartsBlockRaisesSizesAndOffsetTo48Bits) {
  LocalHeader l = SampleLocal();
  EntryExtent e = WalkLocalExtraField(l, Extra(kExtraHighParts, {0x1234, 0xABCD}, 2));
  EXPECT_EQ(e.compressedSize, 0x123401020304u);
  EXPECT_EQ(e.uncompressedSize, 0xABCD05060708u);
  EXPECT_TRUE(e.highParts);

  CentralHeader c = SampleCentral();
  e = WalkCentralExtraField(
      c,
      Concat({Extra(0x5455, {1, 2}, 4),  // skipped by its size
              MakeHighPartsBlock(RecordKind::Central, 0x1ull << 32, 0x2ull << 32, 0x3ull << 32)}));
  EXPECT_EQ(e.compressedSize, 0x121222324u);
  EXPECT_EQ(e.uncompressedSize, 0x231323334u);
  EXPECT_EQ(e.localHeaderOffset, 0x341424344u);
  EXPECT_EQ(MakeHighPartsBlock(RecordKind::Local, 0, 0).size(), 8u);
}

// An extra field whose second block claims more than is left: the walk keeps
// what the first block gave and stops, and the next header is found from the
// record's own lengths.
TEST(ZipExtraField, OverlongBlockEndsTheWalkAndTheNextHeaderIsStillFound) {
  const Bytes badBlock = {0x75, 0x70, 100, 0, 1, 2, 3, 4, 5, 6};  // claims 100, has 6
  const Bytes extra = Concat({Extra(kExtraHighParts, {0, 2}, 2), badBlock});
  LocalHeader first;
  first.method = kMethodStored;
  first.compressedSize = 5;
  first.uncompressedSize = 5;
  first.nameLength = 9;
  first.extraLength = static_cast<uint16_t>(extra.size());
  LocalHeader second;
  second.nameLength = 10;
  const Bytes archive = Concat({SerializeLocalHeader(first), Text("first.bin"), extra,
                                Text("12345"), SerializeLocalHeader(second), Text("second.txt")});

  const RecordRead<LocalRecord> a = ReadLocal(archive);
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->extent.truncated);
  EXPECT_EQ(a->extent.uncompressedSize, 0x200000005u);
  EXPECT_EQ(a->headerLength, kLocalHeaderLen + 9 + extra.size());
  const RecordRead<LocalRecord> b = ReadLocal(archive, a->headerLength + a->extent.compressedSize);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->storedName, Text("second.txt"));

  // The same in the central directory, where a comment follows the extra field.
  CentralHeader c1;
  c1.nameLength = 1;
  c1.extraLength = static_cast<uint16_t>(badBlock.size());
  c1.commentLength = 3;
  CentralHeader c2;
  c2.nameLength = 2;
  const Bytes directory = Concat({SerializeCentralHeader(c1), Text("a"), badBlock, Text("abc"),
                                  SerializeCentralHeader(c2), Text("bb")});
  const RecordRead<CentralRecord> x = ReadCentral(directory);
  ASSERT_TRUE(x);
  EXPECT_EQ(x->comment.size(), 3u);
  const RecordRead<CentralRecord> y = ReadCentral(directory, x->recordLength);
  ASSERT_TRUE(y);
  EXPECT_EQ(y->storedName, Text("bb"));
}

// --- Enciphered headers -------------------------------------------------------

TEST(ZipHeaderCipher, EncipheredRecordsAndNamesReadBackAsWritten) {
  LocalHeader h = SampleLocal();
  h.signature = BuildSignature(RecordKind::Local, true);
  h.extraLength = 0;
  Bytes name = Text("dir/file.bak");
  h.nameLength = static_cast<uint16_t>(name.size());
  auto fixed = SerializeLocalHeader(h);
  HeaderCipher writer;
  ASSERT_TRUE(writer.EncipherRecord(fixed));
  writer.EncipherName(name);
  EXPECT_EQ(ReadSignature(fixed), kLocalHeaderSigEnciphered) << "the signature stays plain";
  EXPECT_NE(fixed, SerializeLocalHeader(h));

  const RecordRead<LocalRecord> rec = ReadLocal(Concat({fixed, name}));
  ASSERT_TRUE(rec);
  EXPECT_TRUE(rec->encipheredHeader);
  EXPECT_EQ(rec->header, h);
  EXPECT_EQ(rec->storedName, Text("dir/file.bak"));

  CentralHeader c = SampleCentral();
  c.signature = kCentralHeaderSigEnciphered;
  c.nameLength = 3;
  c.extraLength = c.commentLength = 0;
  auto cfixed = SerializeCentralHeader(c);
  Bytes cname = Text("abc");
  ASSERT_TRUE(writer.EncipherRecord(cfixed));  // the key state restarts per record
  writer.EncipherName(cname);
  const RecordRead<CentralRecord> crec = ReadCentral(Concat({cfixed, cname}));
  ASSERT_TRUE(crec);
  EXPECT_EQ(crec->header, c);
  EXPECT_EQ(crec->storedName, Text("abc"));
}

TEST(ZipHeaderCipher, EndRecordsOfBothWidthsAreCoveredToTheirCommentLength) {
  for (uint32_t sig : {kEndRecordSigEnciphered, kEndRecord64SigEnciphered}) {
    EndRecord e{sig, 0, 0, 1, 1, 0x40, 0x1234, 0};
    Bytes bytes = Concat({SerializeEndRecord(e), Text("comment")});
    HeaderCipher cipher;
    ASSERT_TRUE(cipher.EncipherRecord(bytes));
    EXPECT_EQ(Bytes(bytes.end() - 7, bytes.end()), Text("comment")) << "comment stays plain";
    ASSERT_TRUE(HeaderCipher().DecipherRecord(bytes));
    EXPECT_EQ(ParseEndRecord(bytes), e);
  }
  EXPECT_EQ(HeaderCipher::FixedPartLength(ClassifySignature(kLocalHeaderSigEnciphered, {})), 26u);
  EXPECT_EQ(HeaderCipher::FixedPartLength(ClassifySignature(kCentralHeaderSigEnciphered, {})), 42u);
  EXPECT_EQ(HeaderCipher::FixedPartLength(ClassifySignature(kEndRecordSigEnciphered, {})), 18u);
  EXPECT_EQ(HeaderCipher::FixedPartLength(ClassifySignature(kEndRecord64SigEnciphered, {})), 22u);

  Bytes tooShort(kLocalHeaderLen - 1);
  Put32(tooShort, 0, kLocalHeaderSigEnciphered);
  EXPECT_FALSE(HeaderCipher().DecipherRecord(tooShort));
}

// --- Names ------------------------------------------------------------------

TEST(ZipNames, StoredNamesAreKeptWholeConvertedAndSeparatedLocally) {
  // A long name is kept whole: cut, two names could become one.
  const Bytes longName = Text(std::string(300, 'n'));
  EXPECT_EQ(StoredNameToLocal(longName, 0, true), std::string(300, 'n'));
  // CP437 0x82 is e-acute; either separator divides.
  EXPECT_EQ(StoredNameToLocal(Text("dir\\caf\x82/x.bak"), 0, true), "dir/caf\u00e9/x.bak");
  EXPECT_EQ(StoredNameToLocal(Text("caf\x82"), 0, false), "caf\x82");
  EXPECT_EQ(StoredNameToLocal(Bytes(300, 0x82), 0, true).size(), 300u * 2);
  // Flag bit 11: UTF-8 as stored.
  EXPECT_EQ(StoredNameToLocal(Text(std::string(254, 'n') + "\u00e9"), kFlagUtf8Name, true),
            std::string(254, 'n') + "\u00e9");
}

// --- The comment buffer -------------------------------------------------------

TEST(ZipRecords, CommentBufferBounds) {
  EXPECT_EQ(ClampZipCmntBufSize(100), 2000);
  EXPECT_EQ(ClampZipCmntBufSize(40000), 32767);
  EXPECT_EQ(ClampZipCmntBufSize(5000), 5000);
}

// --- Records written by other tools -------------------------------------------

// Archives with Zip64 records from two current tools: the end record (through
// the locator and Zip64 end record when present) leads to the central
// directory; every entry's local header must agree with its central entry once
// both extra fields are applied.
TEST(ZipPeerRecords, Zip64ArchivesOfCurrentToolsWalkFromEndRecordToEveryLocalHeader) {
  for (const char* name : {"gen-infozip-zip64.zip", "gen-python-zip64.zip"}) {
    SCOPED_TRACE(name);
    const Bytes zip = test::ReadBytes(std::string(ARC_TEST_DATA) + "/public/" + name);
    ASSERT_GT(zip.size(), kEndRecordLen + kZip64LocatorLen);
    const size_t endAt = zip.size() - kEndRecordLen;  // neither has a comment
    std::optional<EndRecord> end = ParseEndRecord(std::span(zip).subspan(endAt));
    ASSERT_TRUE(end);
    uint64_t directory = end->centralDirOffset;
    uint64_t total = end->totalEntries;
    size_t directoryEnd = endAt;
    if (auto locator = ParseZip64Locator(std::span(zip).subspan(endAt - kZip64LocatorLen))) {
      ASSERT_LT(locator->zip64EndOffset, zip.size());
      std::optional<Zip64EndRecord> z64 =
          ParseZip64EndRecord(std::span(zip).subspan(locator->zip64EndOffset));
      ASSERT_TRUE(z64);
      directory = z64->centralDirOffset;
      total = z64->totalEntries;
      directoryEnd = locator->zip64EndOffset;
    }
    ASSERT_LT(directory, zip.size());

    size_t at = directory;
    uint64_t entries = 0;
    bool zip64Seen = false;
    while (const RecordRead<CentralRecord> c = ReadCentral(zip, at)) {
      ++entries;
      at += c->recordLength;
      ASSERT_LT(c->extent.localHeaderOffset, zip.size());
      const RecordRead<LocalRecord> l = ReadLocal(zip, c->extent.localHeaderOffset);
      ASSERT_TRUE(l);
      EXPECT_EQ(l->storedName, c->storedName);
      zip64Seen = zip64Seen || l->extent.zip64 || c->extent.zip64;
      if (l->header.compressedSize != 0) {  // zero when sizes follow the data
        EXPECT_EQ(l->extent.compressedSize, c->extent.compressedSize);
        EXPECT_EQ(l->extent.uncompressedSize, c->extent.uncompressedSize);
      }
    }
    EXPECT_EQ(at, directoryEnd);
    EXPECT_EQ(entries, total);
    EXPECT_TRUE(zip64Seen);
  }
}

}  // namespace
}  // namespace arc
