//===-- unzip/zip_records.cpp - ZIP record layout ---------------*- C++ -*-===//
#include "unzip/zip_records.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

#include <arc/support/names.h>

namespace arc {

namespace {

// The key state every enciphered header starts from. Any fixed value works as
// long as our reader and writer agree; archives with enciphered headers from
// other producers are not expected.
constexpr TradKeys kHeaderKeys{0x4E1A7C35u, 0x93D2B60Fu, 0x2C85E94Bu};

constexpr uint8_t kSigLead = 0x50;            // 'P'
constexpr uint8_t kVariantPlain = 0x4B;       // 'K'
constexpr uint8_t kVariantEnciphered = 0x4C;  // 'L'
constexpr uint8_t kVariantWide = 0x5B;        // '[' : 64-bit end record
constexpr uint8_t kVariantWideEnciphered = 0x5C;

uint32_t ReadSignature(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  return r.u32();  // 0 (no kind) when fewer than 4 bytes
}

bool HasSignatureOf(std::span<const uint8_t> bytes, RecordKind kind) {
  return ClassifySignature(ReadSignature(bytes), kind).kind == kind;
}

/// Length of the fixed part of a record, signature included.
size_t FixedLengthOf(const SignatureMatch& match) {
  switch (match.kind) {
    case RecordKind::Local:
      return kLocalHeaderLen;
    case RecordKind::Central:
      return kCentralHeaderLen;
    case RecordKind::End:
      return match.wide ? kEndRecord64Len : kEndRecordLen;
    case RecordKind::SpanMarker:
      return kSpanMarkerLen;
    case RecordKind::None:
      break;
  }
  return 0;
}

}  // namespace

// --- Signatures -------------------------------------------------------------

SignatureMatch ClassifySignature(uint32_t value, RecordKind expected) {
  SignatureMatch m;
  if ((value & 0xFF) != kSigLead) return m;
  const uint8_t variant = static_cast<uint8_t>(value >> 8);
  const uint16_t kind = static_cast<uint16_t>(value >> 16);
  const bool plainOrEnciphered = variant == kVariantPlain || variant == kVariantEnciphered;
  switch (kind) {
    case 0x0403:
      if (plainOrEnciphered) m.kind = RecordKind::Local;
      break;
    case 0x0201:
      if (plainOrEnciphered) m.kind = RecordKind::Central;
      break;
    case 0x0605:
      if (plainOrEnciphered || variant == kVariantWide || variant == kVariantWideEnciphered)
        m.kind = RecordKind::End;
      m.wide = variant == kVariantWide || variant == kVariantWideEnciphered;
      break;
    case 0x0807:
      if (variant == kVariantPlain) m.kind = RecordKind::SpanMarker;
      break;
    default:
      break;
  }
  if (m.kind == RecordKind::None || (expected != RecordKind::None && m.kind != expected))
    return SignatureMatch{};
  m.enciphered = variant == kVariantEnciphered || variant == kVariantWideEnciphered;
  return m;
}

uint32_t BuildSignature(RecordKind kind, bool encipherHeaders) {
  switch (kind) {
    case RecordKind::Local:
      return encipherHeaders ? kLocalHeaderSigEnciphered : kLocalHeaderSig;
    case RecordKind::Central:
      return encipherHeaders ? kCentralHeaderSigEnciphered : kCentralHeaderSig;
    case RecordKind::End:
      return kEndRecordSig;
    case RecordKind::SpanMarker:
      return kSpanMarkerSig;
    case RecordKind::None:
      break;
  }
  return 0;
}

bool EndRecord::IsWide() const {
  return signature == kEndRecord64Sig || signature == kEndRecord64SigEnciphered;
}

// --- Parsing ----------------------------------------------------------------

std::optional<LocalHeader> ParseLocalHeader(std::span<const uint8_t> bytes) {
  if (!HasSignatureOf(bytes, RecordKind::Local)) return std::nullopt;
  ByteReader r(bytes);
  LocalHeader h;
  h.signature = r.u32();
  h.versionNeeded = r.u16();
  h.flags = r.u16();
  h.method = r.u16();
  h.dosDateTime = r.u32();
  h.crc32 = r.u32();
  h.compressedSize = r.u32();
  h.uncompressedSize = r.u32();
  h.nameLength = r.u16();
  h.extraLength = r.u16();
  if (!r) return std::nullopt;
  return h;
}

std::optional<CentralHeader> ParseCentralHeader(std::span<const uint8_t> bytes) {
  if (!HasSignatureOf(bytes, RecordKind::Central)) return std::nullopt;
  ByteReader r(bytes);
  CentralHeader h;
  h.signature = r.u32();
  h.versionMadeBy = r.u16();
  h.versionNeeded = r.u16();
  h.flags = r.u16();
  h.method = r.u16();
  h.dosDateTime = r.u32();
  h.crc32 = r.u32();
  h.compressedSize = r.u32();
  h.uncompressedSize = r.u32();
  h.nameLength = r.u16();
  h.extraLength = r.u16();
  h.commentLength = r.u16();
  h.diskNumberStart = r.u16();
  h.internalAttributes = r.u16();
  h.externalAttributes = r.u32();
  h.localHeaderOffset = r.u32();
  if (!r) return std::nullopt;
  return h;
}

std::optional<EndRecord> ParseEndRecord(std::span<const uint8_t> bytes) {
  if (!HasSignatureOf(bytes, RecordKind::End)) return std::nullopt;
  ByteReader r(bytes);
  EndRecord e;
  e.signature = r.u32();
  e.thisDisk = r.u16();
  e.centralDirDisk = r.u16();
  e.entriesOnDisk = r.u16();
  e.totalEntries = r.u16();
  e.centralDirSize = r.u32();
  e.centralDirOffset = e.IsWide() ? r.u64() : r.u32();
  e.commentLength = r.u16();
  if (!r) return std::nullopt;
  return e;
}

std::optional<Zip64Locator> ParseZip64Locator(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  Zip64Locator l;
  l.signature = r.u32();
  l.zip64EndDisk = r.u32();
  l.zip64EndOffset = r.u64();
  l.totalDisks = r.u32();
  if (!r || l.signature != kZip64LocatorSig) return std::nullopt;
  return l;
}

std::optional<Zip64EndRecord> ParseZip64EndRecord(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  Zip64EndRecord z;
  z.signature = r.u32();
  z.recordSize = r.u64();
  z.versionMadeBy = r.u16();
  z.versionNeeded = r.u16();
  z.thisDisk = r.u32();
  z.centralDirDisk = r.u32();
  z.entriesOnDisk = r.u64();
  z.totalEntries = r.u64();
  z.centralDirSize = r.u64();
  z.centralDirOffset = r.u64();
  if (!r || z.signature != kZip64EndRecordSig) return std::nullopt;
  return z;
}

// --- Serialising ------------------------------------------------------------

std::array<uint8_t, kLocalHeaderLen> SerializeLocalHeader(const LocalHeader& h) {
  std::array<uint8_t, kLocalHeaderLen> out{};
  ByteWriter w(out);
  w.u32(h.signature);
  w.u16(h.versionNeeded);
  w.u16(h.flags);
  w.u16(h.method);
  w.u32(h.dosDateTime);
  w.u32(h.crc32);
  w.u32(h.compressedSize);
  w.u32(h.uncompressedSize);
  w.u16(h.nameLength);
  w.u16(h.extraLength);
  return out;
}

std::array<uint8_t, kCentralHeaderLen> SerializeCentralHeader(const CentralHeader& h) {
  std::array<uint8_t, kCentralHeaderLen> out{};
  ByteWriter w(out);
  w.u32(h.signature);
  w.u16(h.versionMadeBy);
  w.u16(h.versionNeeded);
  w.u16(h.flags);
  w.u16(h.method);
  w.u32(h.dosDateTime);
  w.u32(h.crc32);
  w.u32(h.compressedSize);
  w.u32(h.uncompressedSize);
  w.u16(h.nameLength);
  w.u16(h.extraLength);
  w.u16(h.commentLength);
  w.u16(h.diskNumberStart);
  w.u16(h.internalAttributes);
  w.u32(h.externalAttributes);
  w.u32(h.localHeaderOffset);
  return out;
}

std::vector<uint8_t> SerializeEndRecord(const EndRecord& e) {
  std::vector<uint8_t> out(e.FixedLength());
  ByteWriter w(out);
  w.u32(e.signature);
  w.u16(e.thisDisk);
  w.u16(e.centralDirDisk);
  w.u16(e.entriesOnDisk);
  w.u16(e.totalEntries);
  w.u32(e.centralDirSize);
  if (e.IsWide()) {
    w.u64(e.centralDirOffset);
  } else {
    // Never let a large offset wrap into a plausible wrong one.
    w.u32(e.centralDirOffset > kZip64Marker32 ? kZip64Marker32
                                              : static_cast<uint32_t>(e.centralDirOffset));
  }
  w.u16(e.commentLength);
  return out;
}

std::array<uint8_t, kZip64LocatorLen> SerializeZip64Locator(const Zip64Locator& l) {
  std::array<uint8_t, kZip64LocatorLen> out{};
  ByteWriter w(out);
  w.u32(l.signature);
  w.u32(l.zip64EndDisk);
  w.u64(l.zip64EndOffset);
  w.u32(l.totalDisks);
  return out;
}

std::array<uint8_t, kZip64EndRecordLen> SerializeZip64EndRecord(const Zip64EndRecord& z) {
  std::array<uint8_t, kZip64EndRecordLen> out{};
  ByteWriter w(out);
  w.u32(z.signature);
  w.u64(z.recordSize);
  w.u16(z.versionMadeBy);
  w.u16(z.versionNeeded);
  w.u32(z.thisDisk);
  w.u32(z.centralDirDisk);
  w.u64(z.entriesOnDisk);
  w.u64(z.totalEntries);
  w.u64(z.centralDirSize);
  w.u64(z.centralDirOffset);
  return out;
}

// --- Extra field ------------------------------------------------------------

bool ExtraBlockReader::Next(ExtraBlock& block) {
  if (r_.remaining() < kExtraBlockHeaderLen) {
    truncated_ = truncated_ || r_.remaining() > 0;  // a tail too short for a block header
    return false;
  }
  const size_t start = r_.offset();
  block.tag = r_.u16();
  const uint16_t size = r_.u16();
  if (size > r_.remaining()) {
    truncated_ = true;
    r_.skip(r_.remaining());
    return false;
  }
  block.data = r_.sub(size);
  block.whole = extra_.subspan(start, kExtraBlockHeaderLen + size);
  return true;
}

namespace {

// Which of an entry's values a Zip64 block carries: those whose header field
// holds the marker.
struct Zip64Wants {
  bool uncompressed = false;
  bool compressed = false;
  bool offset = false;
  bool disk = false;
};

// A Zip64 block holds 8-byte values in a fixed order, present only for the
// fields that ask for them. Values are kept whole: a size beyond 48 bits is
// implausible, but cutting it would turn a damaged field into a plausible
// wrong one. A local header's block holds both sizes whenever it holds one
// (current tools write it so), whichever of the two fields asks.
void ApplyZip64Block(ByteReader data, RecordKind kind, const Zip64Wants& wants, EntryExtent& ext) {
  auto take64 = [&](bool wanted, uint64_t& value) {
    if (!wanted || data.remaining() < 8) return;
    value = data.u64();
    ext.zip64 = true;
  };
  if (kind == RecordKind::Local && data.remaining() >= 16) {
    uint64_t uncompressed = data.u64();
    uint64_t compressed = data.u64();
    if (wants.uncompressed) ext.uncompressedSize = uncompressed;
    if (wants.compressed) ext.compressedSize = compressed;
    ext.zip64 = ext.zip64 || wants.uncompressed || wants.compressed;
    return;
  }
  take64(wants.uncompressed, ext.uncompressedSize);
  take64(wants.compressed, ext.compressedSize);
  if (kind != RecordKind::Central) return;
  take64(wants.offset, ext.localHeaderOffset);
  if (wants.disk && data.remaining() >= 4) {
    ext.diskNumberStart = data.u32();
    ext.zip64 = true;
  }
  // Anything else the block holds is passed over.
}

// Our own block: bits 32..47 of the compressed size, the uncompressed size
// and (central entries) the local-header offset, two bytes each.
void ApplyHighPartsBlock(ByteReader data, RecordKind kind, EntryExtent& ext) {
  auto raise = [&](uint64_t& value) {
    if (data.remaining() < 2) return;
    value = (value & 0xFFFFFFFFu) | (static_cast<uint64_t>(data.u16()) << 32);
    ext.highParts = true;
  };
  raise(ext.compressedSize);
  raise(ext.uncompressedSize);
  if (kind == RecordKind::Central) raise(ext.localHeaderOffset);
}

void WalkExtraField(std::span<const uint8_t> extra, RecordKind kind, const Zip64Wants& wants,
                    EntryExtent& ext) {
  // A block that claims more than is left ends the walk; the rest of the
  // field is skipped, and the record's own lengths still place what follows.
  ExtraBlockReader blocks(extra);
  ExtraBlock block;
  while (blocks.Next(block)) {
    if (block.tag == kExtraZip64)
      ApplyZip64Block(block.data, kind, wants, ext);
    else if (block.tag == kExtraHighParts)
      ApplyHighPartsBlock(block.data, kind, ext);
  }
  ext.truncated = blocks.Truncated();
}

}  // namespace

EntryExtent WalkLocalExtraField(const LocalHeader& h, std::span<const uint8_t> extra) {
  EntryExtent ext;
  ext.compressedSize = h.compressedSize;
  ext.uncompressedSize = h.uncompressedSize;
  Zip64Wants wants;
  wants.uncompressed = h.uncompressedSize == kZip64Marker32;
  wants.compressed = h.compressedSize == kZip64Marker32;
  WalkExtraField(extra, RecordKind::Local, wants, ext);
  return ext;
}

EntryExtent WalkCentralExtraField(const CentralHeader& h, std::span<const uint8_t> extra) {
  EntryExtent ext;
  ext.compressedSize = h.compressedSize;
  ext.uncompressedSize = h.uncompressedSize;
  ext.localHeaderOffset = h.localHeaderOffset;
  ext.diskNumberStart = h.diskNumberStart;
  Zip64Wants wants;
  wants.uncompressed = h.uncompressedSize == kZip64Marker32;
  wants.compressed = h.compressedSize == kZip64Marker32;
  wants.offset = h.localHeaderOffset == kZip64Marker32;
  wants.disk = h.diskNumberStart == kZip64Marker16;
  WalkExtraField(extra, RecordKind::Central, wants, ext);
  return ext;
}

namespace {

/// 100 ns steps from 1 January 1601 (NTFS) to 1 January 1970.
constexpr uint64_t kNtfsTicksPerSecond = 10'000'000;
constexpr uint64_t kNtfsEpochOffset = 11'644'473'600;

std::optional<UtcTime> NtfsModificationTime(ByteReader data) {
  data.skip(4);  // reserved
  // The block holds attributes shaped like extra-field blocks.
  ExtraBlockReader attributes(data.bytes(data.remaining()));
  ExtraBlock attribute;
  while (attributes.Next(attribute)) {
    if (attribute.tag != 0x0001 || attribute.data.remaining() < 24) continue;
    const uint64_t ticks = attribute.data.u64();  // modification, access, creation follow
    if (ticks == 0) return std::nullopt;
    UtcTime t;
    t.seconds =
        static_cast<int64_t>(ticks / kNtfsTicksPerSecond) - static_cast<int64_t>(kNtfsEpochOffset);
    t.nanoseconds = static_cast<uint32_t>(ticks % kNtfsTicksPerSecond) * 100;
    return t;
  }
  return std::nullopt;
}

std::optional<UtcTime> ExtendedTimeOfBlock(ByteReader data) {
  const uint8_t present = data.u8();
  // Bit 0: the modification time comes first (in a central entry it is the
  // only time the block holds, whatever the other bits say).
  if ((present & 0x01) == 0) return std::nullopt;
  const auto seconds = static_cast<int32_t>(data.u32());
  if (!data) return std::nullopt;
  return UtcTime{seconds, 0};
}

}  // namespace

std::optional<UtcTime> ExtraModificationTime(std::span<const uint8_t> extra) {
  std::optional<UtcTime> ntfs;
  ExtraBlockReader blocks(extra);
  ExtraBlock block;
  while (!ntfs && blocks.Next(block)) {
    if (block.tag == kExtraNtfs) ntfs = NtfsModificationTime(block.data);
  }
  return ntfs ? ntfs : ExtendedModificationTime(extra);
}

std::optional<UtcTime> ExtendedModificationTime(std::span<const uint8_t> extra) {
  ExtraBlockReader blocks(extra);
  ExtraBlock block;
  while (blocks.Next(block)) {
    if (block.tag != kExtraExtendedTime) continue;
    if (std::optional<UtcTime> t = ExtendedTimeOfBlock(block.data)) return t;
  }
  return std::nullopt;
}

std::vector<uint8_t> MakeHighPartsBlock(RecordKind kind, uint64_t compressedSize,
                                        uint64_t uncompressedSize, uint64_t localHeaderOffset) {
  const bool central = kind == RecordKind::Central;
  const uint16_t size = central ? kHighPartsCentralLen : kHighPartsLocalLen;
  std::vector<uint8_t> out(kExtraBlockHeaderLen + size);
  ByteWriter w(out);
  w.u16(kExtraHighParts);
  w.u16(size);
  w.u16(static_cast<uint16_t>(compressedSize >> 32));
  w.u16(static_cast<uint16_t>(uncompressedSize >> 32));
  if (central) w.u16(static_cast<uint16_t>(localHeaderOffset >> 32));
  return out;
}

// --- Header encipherment ----------------------------------------------------

size_t HeaderCipher::FixedPartLength(const SignatureMatch& match) {
  if (match.kind == RecordKind::None || match.kind == RecordKind::SpanMarker) return 0;
  return FixedLengthOf(match) - kSignatureLen;
}

bool HeaderCipher::DecipherRecord(std::span<uint8_t> record) { return Apply(record, true); }

bool HeaderCipher::EncipherRecord(std::span<uint8_t> record) { return Apply(record, false); }

bool HeaderCipher::Apply(std::span<uint8_t> record, bool decipher) {
  const SignatureMatch match = ClassifySignature(ReadSignature(record), RecordKind::None);
  const size_t length = FixedPartLength(match);
  if (length == 0 || record.size() < kSignatureLen + length) return false;
  cipher_.SetKeys(kHeaderKeys);
  std::span<uint8_t> part = record.subspan(kSignatureLen, length);
  if (decipher)
    cipher_.Decipher(part);
  else
    cipher_.Encipher(part);
  return true;
}

// --- Data descriptor --------------------------------------------------------

std::optional<DataDescriptor> ParseDataDescriptor(std::span<const uint8_t> bytes,
                                                  DescriptorForm form) {
  const bool withSignature = form == DescriptorForm::Signed32 || form == DescriptorForm::Signed64;
  const bool wide = form == DescriptorForm::Signed64 || form == DescriptorForm::Bare64;
  ByteReader r(bytes);
  if (withSignature && r.u32() != kDataDescriptorSig) return std::nullopt;
  DataDescriptor d;
  d.crc32 = r.u32();
  d.compressedSize = wide ? r.u64() : r.u32();
  d.uncompressedSize = wide ? r.u64() : r.u32();
  if (!r) return std::nullopt;
  d.length = r.offset();
  return d;
}

// --- Reading records from an archive ----------------------------------------

namespace {

/// The fixed part of a record as read: signature included, deciphered.
struct FixedPart {
  std::array<uint8_t, kCentralHeaderLen> buffer{};  // room for the longest
  size_t length = 0;
  SignatureMatch match;

  std::span<const uint8_t> Bytes() const { return std::span(buffer).first(length); }
};

/// The first steps of reading any record of `kind` at `at`: the fixed part,
/// as long as its signature says; its signature classified; deciphered with
/// `cipher` (when given) if the signature says so, which leaves the key
/// stream ready for the name.
RecordStatus ReadFixedPart(ByteSource& file, int64_t at, RecordKind kind, FixedPart& part,
                           HeaderCipher* cipher) {
  if (at < 0) return RecordStatus::Absent;
  // The shortest fixed part of the kind first: only a 64-bit end record is
  // longer, which its signature tells.
  const size_t shortest = FixedLengthOf(SignatureMatch{kind});
  const auto read = [&](size_t from, size_t count) {
    const int32_t got = file.ReadAt(at + static_cast<int64_t>(from), part.buffer.data() + from,
                                    static_cast<int32_t>(count));
    return static_cast<size_t>(std::max(got, 0));
  };
  size_t got = read(0, shortest);
  part.match = ClassifySignature(ReadSignature(std::span(part.buffer).first(got)), kind);
  if (part.match.kind != kind) return RecordStatus::Absent;
  part.length = FixedLengthOf(part.match);
  if (got == shortest && part.length > shortest) got += read(shortest, part.length - shortest);
  if (got < part.length) return RecordStatus::Cut;
  if (cipher != nullptr && part.match.enciphered) {
    cipher->DecipherRecord(std::span(part.buffer).first(part.length));
  }
  return RecordStatus::Found;
}

/// The byte runs that follow a fixed part: `runs` in order, each filled with
/// the number of bytes given beside it. False when the file ends first.
bool ReadRuns(ByteSource& file, int64_t at,
              std::initializer_list<std::pair<std::vector<uint8_t>*, uint16_t>> runs) {
  size_t total = 0;
  for (const auto& [run, length] : runs) total += length;
  const std::vector<uint8_t> bytes = file.ReadVector(at, static_cast<int32_t>(total));
  if (bytes.size() != total) return false;
  ByteReader r(bytes);
  for (const auto& [run, length] : runs) {
    const std::span<const uint8_t> b = r.bytes(length);
    run->assign(b.begin(), b.end());
  }
  return true;
}

/// A local header and a central entry are read alike: fixed part, then the
/// name (deciphered on the same key stream as the header), the extra field
/// and, for a central entry, the comment; then the extra field is applied.
template <class Record>
RecordRead<Record> ReadHeaderRecord(ByteSource& file, int64_t at) {
  constexpr bool kCentral = std::is_same_v<Record, CentralRecord>;
  RecordRead<Record> out;
  FixedPart fixed;
  HeaderCipher cipher;
  out.status =
      ReadFixedPart(file, at, kCentral ? RecordKind::Central : RecordKind::Local, fixed, &cipher);
  if (!out) return out;
  Record& rec = out.record;
  rec.encipheredHeader = fixed.match.enciphered;
  std::vector<uint8_t> noComment;
  std::vector<uint8_t>* comment = &noComment;
  uint16_t commentLength = 0;
  if constexpr (kCentral) {
    const std::optional<CentralHeader> header = ParseCentralHeader(fixed.Bytes());
    if (!header) return RecordRead<Record>{};  // cannot be: kind and length are checked
    rec.header = *header;
    comment = &rec.comment;
    commentLength = header->commentLength;
  } else {
    const std::optional<LocalHeader> header = ParseLocalHeader(fixed.Bytes());
    if (!header) return RecordRead<Record>{};
    rec.header = *header;
  }
  const int64_t runsAt = at + static_cast<int64_t>(fixed.length);
  if (!ReadRuns(file, runsAt,
                {{&rec.storedName, rec.header.nameLength},
                 {&rec.extra, rec.header.extraLength},
                 {comment, commentLength}})) {
    out.status = RecordStatus::Cut;
    return out;
  }
  if (rec.encipheredHeader) cipher.DecipherName(rec.storedName);
  const size_t length =
      fixed.length + rec.storedName.size() + rec.extra.size() + size_t{commentLength};
  if constexpr (kCentral) {
    rec.extent = WalkCentralExtraField(rec.header, rec.extra);
    rec.recordLength = length;
  } else {
    rec.extent = WalkLocalExtraField(rec.header, rec.extra);
    rec.headerLength = length;
  }
  return out;
}

/// The Zip64 records have one plain signature and a fixed length.
template <class Record, size_t kLength>
RecordRead<Record> ReadZip64Record(ByteSource& file, int64_t at, uint32_t signature,
                                   std::optional<Record> (*parse)(std::span<const uint8_t>)) {
  RecordRead<Record> out;
  std::array<uint8_t, kLength> bytes{};
  const int32_t got =
      at < 0 ? 0 : std::max(file.ReadAt(at, bytes.data(), static_cast<int32_t>(kLength)), 0);
  if (ReadSignature(std::span(bytes).first(static_cast<size_t>(got))) != signature) return out;
  const std::optional<Record> record =
      static_cast<size_t>(got) == kLength ? parse(bytes) : std::nullopt;
  out.status = record ? RecordStatus::Found : RecordStatus::Cut;
  if (record) out.record = *record;
  return out;
}

}  // namespace

RecordRead<LocalRecord> ReadLocalRecord(ByteSource& file, int64_t at) {
  return ReadHeaderRecord<LocalRecord>(file, at);
}

RecordRead<CentralRecord> ReadCentralRecord(ByteSource& file, int64_t at) {
  return ReadHeaderRecord<CentralRecord>(file, at);
}

RecordRead<EndRecord> ReadEndRecord(ByteSource& file, int64_t at) {
  RecordRead<EndRecord> out;
  FixedPart fixed;
  HeaderCipher cipher;
  out.status = ReadFixedPart(file, at, RecordKind::End, fixed, &cipher);
  if (!out) return out;
  const std::optional<EndRecord> end = ParseEndRecord(fixed.Bytes());
  if (!end) return RecordRead<EndRecord>{};  // cannot be: kind and length are checked
  out.record = *end;
  return out;
}

RecordRead<Zip64Locator> ReadZip64Locator(ByteSource& file, int64_t at) {
  return ReadZip64Record<Zip64Locator, kZip64LocatorLen>(file, at, kZip64LocatorSig,
                                                         ParseZip64Locator);
}

RecordRead<Zip64EndRecord> ReadZip64EndRecord(ByteSource& file, int64_t at) {
  return ReadZip64Record<Zip64EndRecord, kZip64EndRecordLen>(file, at, kZip64EndRecordSig,
                                                             ParseZip64EndRecord);
}

bool RecordStartsAt(ByteSource& file, int64_t at, RecordKind kind) {
  FixedPart fixed;
  return ReadFixedPart(file, at, kind, fixed, nullptr) == RecordStatus::Found;
}

std::optional<uint32_t> SignatureAt(ByteSource& file, int64_t at) {
  std::array<uint8_t, kSignatureLen> bytes{};
  if (at < 0 || !file.ReadExact(at, bytes)) return std::nullopt;
  return ReadSignature(bytes);
}

// --- Names ------------------------------------------------------------------

std::string StoredNameToLocal(std::span<const uint8_t> stored, uint16_t flags, bool translateOem) {
  std::string_view name(reinterpret_cast<const char*>(stored.data()), stored.size());
  // Current tools mark UTF-8 names with bit 11; converting those from the OEM
  // code page would garble every non-ASCII character.
  const bool utf8 = (flags & kFlagUtf8Name) != 0;
  return StoredToLocalName(name, translateOem && !utf8);
}

}  // namespace arc
