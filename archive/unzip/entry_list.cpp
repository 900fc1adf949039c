//===-- unzip/entry_list.cpp - The entries an extraction works on ---------===//
#include "unzip/entry_list.h"

#include <algorithm>
#include <array>

#include "core/error_codes.h"
#include "unzip/byte_reader.h"
#include "unzip/zip_records.h"

namespace arc {
namespace {

/// Sizes and offsets are 48-bit quantities.
constexpr uint64_t k48Bits = (uint64_t{1} << 48) - 1;

uint32_t SignatureOf(std::span<const uint8_t> bytes) { return ByteReader(bytes).u32(); }

bool IsLocalHeaderAt(ByteSource& archive, int64_t at) {
  std::array<uint8_t, kLocalHeaderLen> b{};
  return at >= 0 && archive.ReadExact(at, b) &&
         ClassifySignature(SignatureOf(b), RecordKind::Local).kind == RecordKind::Local;
}

void Count(ZipEntryList& list, const ZipEntryItem& item) {
  const bool encrypted = (item.flags & kFlagEncrypted) != 0;
  list.compressedTotal += static_cast<int64_t>(item.compressedSize) - (encrypted ? 12 : 0);
  list.uncompressedTotal += static_cast<int64_t>(item.uncompressedSize);
  if (list.items.empty() || static_cast<int32_t>(item.dosDateTime) > list.newestDate) {
    list.newestDate = static_cast<int32_t>(item.dosDateTime);
  }
  list.items.push_back(item);
}

}  // namespace

uint32_t LocalScanAttributes(const std::string& name) {
  return !name.empty() && name.back() == '/' ? kAttrDirectory : kAttrArchive;
}

ZipEntryList ListCentralDirectory(ByteSource& archive, const TArcOpenState& open,
                                  const EntryListHost& host) {
  ZipEntryList list;
  const bool checkLocal = host.arcType != atZipDS && host.arcType != atZipMV;
  // The directory is read in one pass from its first entry; it is expected
  // whole on the volume that holds the end record.
  int64_t pos = open.DataOffset;
  for (;;) {
    std::array<uint8_t, kCentralHeaderLen> fixed{};
    if (pos < 0 || !archive.ReadExact(pos, fixed)) break;
    if (ClassifySignature(SignatureOf(fixed), RecordKind::Central).kind != RecordKind::Central) {
      break;
    }
    if (host.cancelled && host.cancelled()) break;
    // A deciphered copy tells the real lengths of name, extra field and comment.
    std::vector<uint8_t> head(fixed.begin(), fixed.end());
    HeaderCipher cipher;
    if (ClassifySignature(SignatureOf(fixed), RecordKind::Central).enciphered) {
      cipher.DecipherRecord(head);
    }
    const auto header = ParseCentralHeader(head);
    if (!header) break;
    const size_t recordLen = kCentralHeaderLen + size_t{header->nameLength} +
                             header->extraLength + header->commentLength;
    const std::vector<uint8_t> bytes = archive.ReadVector(pos, static_cast<int32_t>(recordLen));
    const auto record = bytes.size() == recordLen ? ReadCentralRecord(bytes) : std::nullopt;
    if (!record) {
      // The directory runs past the end of the file.
      if (host.report) host.report(std::string(), ec::BadFileHeader);
      break;
    }
    const std::string name =
        StoredNameToLocal(record->storedName, record->header.flags, host.translateOem);
    if (host.selects && host.selects(name)) {
      ZipEntryItem item;
      item.name = name;
      item.volume = static_cast<int32_t>(record->extent.diskNumberStart) + 1;
      item.localPos = static_cast<int64_t>(record->extent.localHeaderOffset & k48Bits) +
                      open.OffsetAdjustment;
      item.externalAttributes = record->header.externalAttributes;
      item.flags = record->header.flags;
      item.method = record->header.method;
      item.crc32 = record->header.crc32;
      item.dosDateTime = record->header.dosDateTime;
      item.compressedSize = record->extent.compressedSize & k48Bits;
      item.uncompressedSize = record->extent.uncompressedSize & k48Bits;
      if (checkLocal && !IsLocalHeaderAt(archive, item.localPos)) {
        if (host.report) host.report(name, ec::BadFileHeader);
      } else {
        Count(list, item);
      }
    }
    if (host.cancelled && host.cancelled()) break;
    pos += static_cast<int64_t>(record->recordLength);
  }
  return list;
}

ZipEntryList ListLocalHeaders(ByteSource& archive, const TArcOpenState& open,
                              const EntryListHost& host) {
  ZipEntryList list;
  int64_t pos = open.DataOffset;
  std::array<uint8_t, 4> sig{};
  if (pos >= 0 && archive.ReadExact(pos, sig) && SignatureOf(sig) == kSpanMarkerSig) pos += 4;
  for (;;) {
    std::array<uint8_t, kLocalHeaderLen> fixed{};
    if (pos < 0 || !archive.ReadExact(pos, fixed)) break;
    const SignatureMatch match = ClassifySignature(SignatureOf(fixed), RecordKind::Local);
    if (match.kind != RecordKind::Local) break;
    if (host.cancelled && host.cancelled()) break;
    std::vector<uint8_t> head(fixed.begin(), fixed.end());
    HeaderCipher cipher;
    if (match.enciphered) cipher.DecipherRecord(head);
    const auto header = ParseLocalHeader(head);
    if (!header) break;
    const size_t recordLen = kLocalHeaderLen + size_t{header->nameLength} + header->extraLength;
    const std::vector<uint8_t> bytes = archive.ReadVector(pos, static_cast<int32_t>(recordLen));
    const auto record = bytes.size() == recordLen ? ReadLocalRecord(bytes) : std::nullopt;
    if (!record) {
      if (host.report) host.report(std::string(), ec::BadFileHeader);
      break;
    }
    const std::string name =
        StoredNameToLocal(record->storedName, record->header.flags, host.translateOem);
    const uint64_t packed = record->extent.compressedSize & k48Bits;
    if (!name.empty() && host.selects && host.selects(name)) {
      ZipEntryItem item;
      item.name = name;
      item.volume = 1;
      item.localPos = pos;
      item.externalAttributes = LocalScanAttributes(name);
      item.flags = record->header.flags;
      item.method = record->header.method;
      item.crc32 = record->header.crc32;
      item.dosDateTime = record->header.dosDateTime;
      item.compressedSize = packed;
      item.uncompressedSize = record->extent.uncompressedSize & k48Bits;
      item.fromCentral = false;
      Count(list, item);
    }
    // Every step moves forward by at least a header, so the walk ends.
    pos += static_cast<int64_t>(record->headerLength + packed);
  }
  return list;
}

}  // namespace arc
