//===-- unzip/zip_records.h - ZIP record layout ------------------*- C++ -*-===//
//
// The ZIP records as the reader and the writer see them: signatures, fixed
// lengths, field offsets, flag bits, the record structs and their explicit
// little-endian parsing and serialising, the extra-field blocks we interpret,
// header encipherment, stored names, and the one reader of each record kind
// that everything reading an archive goes through.
//
// All integers are little-endian; records are packed. Every record starts with
// a 4-byte signature 'P' <variant> <kind> <kind>: the variant byte is 'K' for
// a plain record, 'L' for one whose header bytes are enciphered with the
// built-in header key state, '[' and '\' for our own 64-bit end record.
//
// Sizes and offsets are carried as 64-bit values: the 32-bit header field,
// raised by the high part of a 0x0064 block (bits 32..47) or replaced by a
// Zip64 0x0001 block.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <arc/codec/trad_cipher.h>
#include <arc/support/byte_source.h>
#include <arc/unzip/zip_entries.h>
#include "support/byte_reader.h"

namespace arc {

// --- Signatures -------------------------------------------------------------

inline constexpr uint32_t kLocalHeaderSig = 0x04034B50;
inline constexpr uint32_t kLocalHeaderSigEnciphered = 0x04034C50;
inline constexpr uint32_t kCentralHeaderSig = 0x02014B50;
inline constexpr uint32_t kCentralHeaderSigEnciphered = 0x02014C50;
inline constexpr uint32_t kEndRecordSig = 0x06054B50;
inline constexpr uint32_t kEndRecordSigEnciphered = 0x06054C50;
/// Our own end record with a 64-bit central-directory offset.
inline constexpr uint32_t kEndRecord64Sig = 0x06055B50;
inline constexpr uint32_t kEndRecord64SigEnciphered = 0x06055C50;
inline constexpr uint32_t kZip64EndRecordSig = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSig = 0x07064B50;
/// Stands alone at the very start of the first volume of a multi-volume set.
inline constexpr uint32_t kSpanMarkerSig = 0x08074B50;
/// Opens a data descriptor (which may also go without it).
inline constexpr uint32_t kDataDescriptorSig = 0x08074B50;

// --- Fixed lengths ----------------------------------------------------------

inline constexpr size_t kSignatureLen = 4;
inline constexpr size_t kLocalHeaderLen = 30;    // + name + extra
inline constexpr size_t kCentralHeaderLen = 46;  // + name + extra + comment
inline constexpr size_t kEndRecordLen = 22;      // + comment
inline constexpr size_t kEndRecord64Len = 26;    // + comment
inline constexpr size_t kZip64LocatorLen = 20;
inline constexpr size_t kZip64EndRecordLen = 56;  // + extensible data
inline constexpr size_t kSpanMarkerLen = 4;
inline constexpr size_t kExtraBlockHeaderLen = 4;  // tag + data size, then data

// --- Field offsets ----------------------------------------------------------

namespace local_field {
inline constexpr size_t kSignature = 0;
inline constexpr size_t kVersionNeeded = 4;
inline constexpr size_t kFlags = 6;
inline constexpr size_t kMethod = 8;
inline constexpr size_t kDosDateTime = 10;  // time low half, date high half
inline constexpr size_t kCrc32 = 14;
inline constexpr size_t kCompressedSize = 18;  // counts an encryption header
inline constexpr size_t kUncompressedSize = 22;
inline constexpr size_t kNameLength = 26;
inline constexpr size_t kExtraLength = 28;
inline constexpr size_t kName = 30;
}  // namespace local_field

namespace central_field {
inline constexpr size_t kSignature = 0;
inline constexpr size_t kVersionMadeBy = 4;
inline constexpr size_t kVersionNeeded = 6;
inline constexpr size_t kFlags = 8;
inline constexpr size_t kMethod = 10;
inline constexpr size_t kDosDateTime = 12;
inline constexpr size_t kCrc32 = 16;
inline constexpr size_t kCompressedSize = 20;
inline constexpr size_t kUncompressedSize = 24;
inline constexpr size_t kNameLength = 28;
inline constexpr size_t kExtraLength = 30;
inline constexpr size_t kCommentLength = 32;
inline constexpr size_t kDiskNumberStart = 34;
inline constexpr size_t kInternalAttributes = 36;
inline constexpr size_t kExternalAttributes = 38;
inline constexpr size_t kLocalHeaderOffset = 42;
inline constexpr size_t kName = 46;
}  // namespace central_field

/// Both end-record forms share their first 16 bytes.
namespace end_field {
inline constexpr size_t kSignature = 0;
inline constexpr size_t kThisDisk = 4;
inline constexpr size_t kCentralDirDisk = 6;
inline constexpr size_t kEntriesOnDisk = 8;
inline constexpr size_t kTotalEntries = 10;
inline constexpr size_t kCentralDirSize = 12;
inline constexpr size_t kCentralDirOffset = 16;  // 4 bytes, 8 in the 64-bit form
inline constexpr size_t kCommentLength = 20;
inline constexpr size_t kCommentLength64 = 24;
}  // namespace end_field

namespace zip64_locator_field {
inline constexpr size_t kSignature = 0;
inline constexpr size_t kZip64EndDisk = 4;
inline constexpr size_t kZip64EndOffset = 8;
inline constexpr size_t kTotalDisks = 16;
}  // namespace zip64_locator_field

namespace zip64_end_field {
inline constexpr size_t kSignature = 0;
inline constexpr size_t kRecordSize = 4;  // bytes after this field
inline constexpr size_t kVersionMadeBy = 12;
inline constexpr size_t kVersionNeeded = 14;
inline constexpr size_t kThisDisk = 16;
inline constexpr size_t kCentralDirDisk = 20;
inline constexpr size_t kEntriesOnDisk = 24;
inline constexpr size_t kTotalEntries = 32;
inline constexpr size_t kCentralDirSize = 40;
inline constexpr size_t kCentralDirOffset = 48;
}  // namespace zip64_end_field

// --- Field values -----------------------------------------------------------

/// General-purpose flags.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagImplode8kWindow = 0x0002;  // method 6
inline constexpr uint16_t kFlagImplode3Trees = 0x0004;    // method 6
/// CRC and sizes follow the data, in a data descriptor; the local header's
/// fields may be 0. The password check byte then comes from the DOS time.
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
/// Strong encryption, which this library does not implement.
inline constexpr uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kFlagDeflateMaximum = 0x0002;  // method 8, written only
inline constexpr uint16_t kFlagDeflateFast = 0x0004;     // method 8, written only
/// The stored name (and comment) is UTF-8, not the OEM code page.
inline constexpr uint16_t kFlagUtf8Name = 0x0800;

/// Compression methods.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodShrunk = 1;
inline constexpr uint16_t kMethodReduced1 = 2;  // ... kMethodReduced1 + 3 = factor 4
inline constexpr uint16_t kMethodReduced4 = 5;
inline constexpr uint16_t kMethodImploded = 6;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodDeflate64 = 9;

/// Low byte of the external attributes.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;

/// Extra-field tags we interpret.
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraHighParts = 0x0064;  // bits 32..47 of sizes and offset
inline constexpr uint16_t kHighPartsLocalLen = 4;    // compressed, uncompressed
inline constexpr uint16_t kHighPartsCentralLen = 6;  // + local-header offset

/// A header field that says "the value is in the Zip64 block".
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

/// The byte the last deciphered byte of an entry's encryption header must
/// equal: the high byte of the DOS time for an entry with a data descriptor
/// (its CRC-32 was not known when the header was written), else the high
/// byte of the CRC-32.
inline uint8_t PasswordCheckByte(uint16_t flags, uint32_t crc32, uint32_t dosDateTime) {
  if (flags & kFlagDataDescriptor) return static_cast<uint8_t>(dosDateTime >> 8);
  return static_cast<uint8_t>(crc32 >> 24);
}

// --- Records ----------------------------------------------------------------

struct LocalHeader {
  uint32_t signature = kLocalHeaderSig;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dosDateTime = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;  ///< low 32 bits
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
  friend bool operator==(const LocalHeader&, const LocalHeader&) = default;
};

struct CentralHeader {
  uint32_t signature = kCentralHeaderSig;
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dosDateTime = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;  ///< low 32 bits
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
  uint16_t commentLength = 0;
  uint16_t diskNumberStart = 0;  ///< volume of the local header, from 0
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;  ///< low 32 bits, within its volume
  friend bool operator==(const CentralHeader&, const CentralHeader&) = default;
};

/// The end record in either form; the signature tells which.
struct EndRecord {
  uint32_t signature = kEndRecordSig;
  uint16_t thisDisk = 0;
  uint16_t centralDirDisk = 0;
  uint16_t entriesOnDisk = 0;
  uint16_t totalEntries = 0;
  uint32_t centralDirSize = 0;
  uint64_t centralDirOffset = 0;  ///< 32 bits wide in the standard form
  uint16_t commentLength = 0;

  /// The 64-bit form (26 bytes) rather than the standard one (22 bytes).
  bool IsWide() const;
  /// 22 or 26: where the comment begins, counted from the signature.
  size_t FixedLength() const { return IsWide() ? kEndRecord64Len : kEndRecordLen; }
  friend bool operator==(const EndRecord&, const EndRecord&) = default;
};

struct Zip64Locator {
  uint32_t signature = kZip64LocatorSig;
  uint32_t zip64EndDisk = 0;
  uint64_t zip64EndOffset = 0;
  uint32_t totalDisks = 0;
  friend bool operator==(const Zip64Locator&, const Zip64Locator&) = default;
};

struct Zip64EndRecord {
  uint32_t signature = kZip64EndRecordSig;
  uint64_t recordSize = kZip64EndRecordLen - 12;
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint32_t thisDisk = 0;
  uint32_t centralDirDisk = 0;
  uint64_t entriesOnDisk = 0;
  uint64_t totalEntries = 0;
  uint64_t centralDirSize = 0;
  uint64_t centralDirOffset = 0;
  friend bool operator==(const Zip64EndRecord&, const Zip64EndRecord&) = default;
};

// --- Signature classifier and builder ---------------------------------------

enum class RecordKind : uint8_t { None, Local, Central, End, SpanMarker };

struct SignatureMatch {
  RecordKind kind = RecordKind::None;
  bool enciphered = false;  ///< the header bytes after the signature are enciphered
  bool wide = false;        ///< the 64-bit end record
};

/// What `value` is when a record of kind `expected` is wanted: a value of any
/// other kind counts as None. RecordKind::None as `expected` accepts any kind.
SignatureMatch ClassifySignature(uint32_t value, RecordKind expected);

/// The signature the writer puts on a record. Local and central headers get
/// the enciphered form when `encipherHeaders`; the end record and the span
/// marker are always plain (the 64-bit end record uses kEndRecord64Sig).
uint32_t BuildSignature(RecordKind kind, bool encipherHeaders);

// --- Parsing and serialising ------------------------------------------------
//
// Parsers take the plain bytes of a record from its signature on and fail when
// fewer bytes than the fixed length are given or the signature is not of the
// record's kind (in either its plain or enciphered form). Enciphered records
// are deciphered first (HeaderCipher). Serialisers write the signature as held
// in the struct.

std::optional<LocalHeader> ParseLocalHeader(std::span<const uint8_t> bytes);
std::optional<CentralHeader> ParseCentralHeader(std::span<const uint8_t> bytes);
/// Either form, by the signature; needs 22 or 26 bytes accordingly.
std::optional<EndRecord> ParseEndRecord(std::span<const uint8_t> bytes);
std::optional<Zip64Locator> ParseZip64Locator(std::span<const uint8_t> bytes);
std::optional<Zip64EndRecord> ParseZip64EndRecord(std::span<const uint8_t> bytes);

std::array<uint8_t, kLocalHeaderLen> SerializeLocalHeader(const LocalHeader& h);
std::array<uint8_t, kCentralHeaderLen> SerializeCentralHeader(const CentralHeader& h);
/// 22 or 26 bytes by the signature. In the standard form an offset that does
/// not fit 32 bits is written as 0xFFFFFFFF (it then lives in a Zip64 record).
std::vector<uint8_t> SerializeEndRecord(const EndRecord& e);
std::array<uint8_t, kZip64LocatorLen> SerializeZip64Locator(const Zip64Locator& l);
std::array<uint8_t, kZip64EndRecordLen> SerializeZip64EndRecord(const Zip64EndRecord& z);

// --- Extra field ------------------------------------------------------------

/// One block of an extra field.
struct ExtraBlock {
  uint16_t tag = 0;
  ByteReader data{{}};             ///< the block's data, as its size gives it
  std::span<const uint8_t> whole;  ///< tag, size and data
};

/// Walks the blocks of an extra field in order: tag (2), data size (2), data.
class ExtraBlockReader {
 public:
  explicit ExtraBlockReader(std::span<const uint8_t> extra) : extra_(extra), r_(extra) {}

  /// The next block; false at the end of the field, and where a block
  /// claims more than is left or a tail too short for a block header
  /// remains: the walk ends there, and Truncated() says so.
  bool Next(ExtraBlock& block);
  bool Truncated() const { return truncated_; }

 private:
  std::span<const uint8_t> extra_;
  ByteReader r_;
  bool truncated_ = false;
};

/// An entry's sizes and offset after its extra field has been applied.
struct EntryExtent {
  uint64_t compressedSize = 0;  ///< counts an encryption header
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;  ///< central entries only
  uint32_t diskNumberStart = 0;    ///< central entries only
  bool zip64 = false;              ///< a Zip64 block supplied at least one value
  bool highParts = false;          ///< a 0x0064 block was applied
  bool truncated = false;          ///< a block claimed more than was left; the walk ended there
};

/// Walks the extra field of a local header. The starting values are the
/// header's 32-bit fields.
EntryExtent WalkLocalExtraField(const LocalHeader& h, std::span<const uint8_t> extra);
/// Walks the extra field of a central entry.
EntryExtent WalkCentralExtraField(const CentralHeader& h, std::span<const uint8_t> extra);

/// Extra-field tags that record times.
inline constexpr uint16_t kExtraNtfs = 0x000A;          // 64-bit times, 100 ns steps
inline constexpr uint16_t kExtraExtendedTime = 0x5455;  // 32-bit Unix times

/// The last-modification time an extra field (local or central) records:
/// from an NTFS block, else from an extended-timestamp block; empty when
/// neither holds one.
std::optional<UtcTime> ExtraModificationTime(std::span<const uint8_t> extra);
/// The modification time of the extended-timestamp block alone.
std::optional<UtcTime> ExtendedModificationTime(std::span<const uint8_t> extra);

/// Data of a 0x0064 block (tag and size included) for an entry whose values
/// need more than 32 bits: 8 bytes for a local header, 10 for a central entry.
std::vector<uint8_t> MakeHighPartsBlock(RecordKind kind, uint64_t compressedSize,
                                        uint64_t uncompressedSize, uint64_t localHeaderOffset = 0);

// --- Data descriptor --------------------------------------------------------

/// The CRC-32 and sizes of an entry written after its data (flag bit 3).
struct DataDescriptor {
  uint32_t crc32 = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t length = 0;  ///< 12, 16, 20 or 24 bytes; 0 for none
};

/// The forms a data descriptor comes in: with or without its signature,
/// with 32- or 64-bit sizes. Nothing in the record tells which.
enum class DescriptorForm : uint8_t { Signed32, Signed64, Bare32, Bare64 };
inline constexpr DescriptorForm kDescriptorForms[] = {
    DescriptorForm::Signed32, DescriptorForm::Signed64, DescriptorForm::Bare32,
    DescriptorForm::Bare64};
/// The longest form: signature, CRC and two 64-bit sizes.
inline constexpr size_t kDataDescriptorMaxLen = 24;

/// Reads `bytes` as a data descriptor of `form`; empty when they are fewer
/// than the form needs or a signed form lacks its signature.
std::optional<DataDescriptor> ParseDataDescriptor(std::span<const uint8_t> bytes,
                                                  DescriptorForm form);

// --- Header encipherment ----------------------------------------------------

/// Enciphers and deciphers record headers and names under the built-in header
/// key state, which reader and writer share. Each record restarts the key
/// state; its name continues the same key stream.
class HeaderCipher {
 public:
  /// Number of bytes after the signature that are enciphered: 26 (local),
  /// 42 (central), 18 or 22 (end record); 0 for other signatures.
  static size_t FixedPartLength(const SignatureMatch& match);

  /// Deciphers, in place, the bytes after the signature of the record that
  /// `record` starts with; the signature stays as it is. False (nothing
  /// changed) for an unknown signature or too few bytes.
  bool DecipherRecord(std::span<uint8_t> record);
  /// The writer's counterpart of DecipherRecord.
  bool EncipherRecord(std::span<uint8_t> record);

  /// Continue the key stream of the last record over its name.
  void DecipherName(std::span<uint8_t> name) { cipher_.Decipher(name); }
  void EncipherName(std::span<uint8_t> name) { cipher_.Encipher(name); }

 private:
  bool Apply(std::span<uint8_t> record, bool decipher);
  TradCipher cipher_;
};

// --- Reading records from an archive ----------------------------------------
//
// Each kind of record has one reader, and nothing else reads records: it
// reads the fixed part at an offset, classifies the signature, deciphers an
// enciphered header, parses it and reads what the fixed part announces
// (name, extra field, comment). The answer says whether such a record stands
// there at all and whether it lies whole within the file.

/// What a record reader found at an offset.
enum class RecordStatus : uint8_t {
  Found,   ///< a whole record of the kind
  Absent,  ///< no record of the kind starts there
  Cut,     ///< one starts there, but the file ends inside it
};

/// A record read from an archive, or why there is none.
template <class Record>
struct RecordRead {
  RecordStatus status = RecordStatus::Absent;
  Record record;  ///< valid when Found

  explicit operator bool() const { return status == RecordStatus::Found; }
  const Record& operator*() const { return record; }
  const Record* operator->() const { return &record; }
};

/// What local headers and central entries have in common once read.
struct HeaderRecordParts {
  bool encipheredHeader = false;
  std::vector<uint8_t> storedName;  ///< every stored byte, not cut; deciphered
  std::vector<uint8_t> extra;
  EntryExtent extent;  ///< the header's sizes with the extra field applied
};

/// A local header with its name and extra field.
struct LocalRecord : HeaderRecordParts {
  LocalHeader header;
  size_t headerLength = 0;  ///< 30 + name + extra: where the entry's data begins
};

/// A central entry with its name, extra field and comment.
struct CentralRecord : HeaderRecordParts {
  CentralHeader header;
  std::vector<uint8_t> comment;
  size_t recordLength = 0;  ///< 46 + name + extra + comment: where the next entry begins
};

RecordRead<LocalRecord> ReadLocalRecord(ByteSource& file, int64_t at);
RecordRead<CentralRecord> ReadCentralRecord(ByteSource& file, int64_t at);
/// Either form, by the signature; the comment that follows is not read.
RecordRead<EndRecord> ReadEndRecord(ByteSource& file, int64_t at);
RecordRead<Zip64Locator> ReadZip64Locator(ByteSource& file, int64_t at);
RecordRead<Zip64EndRecord> ReadZip64EndRecord(ByteSource& file, int64_t at);

/// True when a record of `kind` starts at `at`: its signature is of that
/// kind (plain or enciphered) and its fixed part lies within the file.
/// Nothing is deciphered or parsed.
bool RecordStartsAt(ByteSource& file, int64_t at, RecordKind kind);

/// The four bytes at `at` as a signature; empty when they cannot be read.
std::optional<uint32_t> SignatureAt(ByteSource& file, int64_t at);

// --- Names ------------------------------------------------------------------

/// The name the reader works with, from a stored name: all of it (a name
/// cut short could stand for another file or a folder); converted from
/// CP437 to UTF-8 when `translateOem`, unless flag bit 11 marks the name as
/// UTF-8 already; every '\' made '/' so that either separator divides.
std::string StoredNameToLocal(std::span<const uint8_t> stored, uint16_t flags, bool translateOem);

// --- Comment buffer ---------------------------------------------------------

/// Bounds of the reader's comment buffer size (ZipCmntBufSize).
inline constexpr int32_t kZipCmntBufSizeMin = 2000;
inline constexpr int32_t kZipCmntBufSizeMax = 32767;
inline int32_t ClampZipCmntBufSize(int32_t value) {
  if (value > kZipCmntBufSizeMax) return kZipCmntBufSizeMax;
  if (value < kZipCmntBufSizeMin) return kZipCmntBufSizeMin;
  return value;
}

}  // namespace arc
