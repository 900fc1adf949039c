//===-- zip/zip_layout.cpp - Records as the writer puts them down ---------===//
#include "zip/zip_layout.h"

#include <algorithm>
#include <span>

#include "support/byte_reader.h"

namespace arc {
namespace {

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Field32(uint64_t value, bool inZip64) {
  return inZip64 ? kZip64Marker32 : static_cast<uint32_t>(value);
}

}  // namespace

std::vector<uint8_t> LocalHeaderBytes(const LocalHeader& h, const std::string& name, bool zip64,
                                      uint64_t uncompressedSize, uint64_t compressedSize,
                                      bool encipher, std::span<const uint8_t> otherExtra) {
  std::vector<uint8_t> out;
  out.reserve(kLocalHeaderLen + name.size() + kZip64LocalBlockLen + otherExtra.size());
  const auto fixed = SerializeLocalHeader(h);
  Append(out, fixed);
  out.insert(out.end(), name.begin(), name.end());
  if (encipher) {
    HeaderCipher cipher;
    cipher.EncipherRecord(std::span<uint8_t>(out.data(), kLocalHeaderLen));
    cipher.EncipherName(std::span<uint8_t>(out.data() + kLocalHeaderLen, name.size()));
  }
  if (zip64) {
    AppendU16(out, kExtraZip64);
    AppendU16(out, 16);
    AppendU64(out, uncompressedSize);
    AppendU64(out, compressedSize);
  }
  Append(out, otherExtra);
  return out;
}

std::vector<uint8_t> CentralRecordBytes(const CentralRecordParts& parts) {
  CentralHeader h = parts.header;
  const bool sizes64 = parts.localZip64 || parts.uncompressedSize >= kZip64Marker32 ||
                       parts.compressedSize >= kZip64Marker32;
  const bool offset64 = parts.localHeaderOffset >= kZip64Marker32;

  std::vector<uint8_t> zip64;
  if (sizes64 || offset64) {
    std::vector<uint8_t> data;
    if (sizes64) {
      AppendU64(data, parts.uncompressedSize);
      AppendU64(data, parts.compressedSize);
    }
    if (offset64) AppendU64(data, parts.localHeaderOffset);
    AppendU16(zip64, kExtraZip64);
    AppendU16(zip64, static_cast<uint16_t>(data.size()));
    Append(zip64, data);
    h.versionNeeded = std::max(h.versionNeeded, kVersionZip64);
    h.versionMadeBy = static_cast<uint16_t>(
        (h.versionMadeBy & 0xFF00) | std::max<uint16_t>(h.versionMadeBy & 0xFF, kVersionZip64));
  }
  h.uncompressedSize = Field32(parts.uncompressedSize, sizes64);
  h.compressedSize = Field32(parts.compressedSize, sizes64);
  h.localHeaderOffset = Field32(parts.localHeaderOffset, offset64);
  const bool keepOther = zip64.size() + parts.otherExtra.size() <= 0xFFFF;
  h.extraLength = static_cast<uint16_t>(zip64.size() + (keepOther ? parts.otherExtra.size() : 0));
  h.nameLength = static_cast<uint16_t>(parts.name.size());
  h.commentLength = static_cast<uint16_t>(std::min<size_t>(parts.comment.size(), 0xFFFF));
  h.signature = BuildSignature(RecordKind::Central, parts.encipher);

  std::vector<uint8_t> out;
  out.reserve(kCentralHeaderLen + parts.name.size() + h.extraLength + h.commentLength);
  const auto fixed = SerializeCentralHeader(h);
  Append(out, fixed);
  out.insert(out.end(), parts.name.begin(), parts.name.end());
  if (parts.encipher) {
    HeaderCipher cipher;
    cipher.EncipherRecord(std::span<uint8_t>(out.data(), kCentralHeaderLen));
    cipher.EncipherName(std::span<uint8_t>(out.data() + kCentralHeaderLen, parts.name.size()));
  }
  Append(out, zip64);
  if (keepOther) Append(out, parts.otherExtra);
  out.insert(out.end(), parts.comment.begin(), parts.comment.begin() + h.commentLength);
  return out;
}

std::vector<uint8_t> EndOfDirectoryBytes(uint64_t entries, uint64_t directorySize,
                                         uint64_t directoryOffset, uint64_t here,
                                         const std::vector<uint8_t>& comment, uint32_t dirDisk,
                                         uint32_t endDisk) {
  const bool many = entries >= kZip64Marker16;
  const bool big = directorySize >= kZip64Marker32;
  const bool far = directoryOffset >= kZip64Marker32;
  std::vector<uint8_t> out;
  if (many || big || far) {
    Zip64EndRecord z;
    z.versionMadeBy = kVersionZip64;
    z.versionNeeded = kVersionZip64;
    z.thisDisk = endDisk;
    z.centralDirDisk = dirDisk;
    z.entriesOnDisk = entries;
    z.totalEntries = entries;
    z.centralDirSize = directorySize;
    z.centralDirOffset = directoryOffset;
    Append(out, SerializeZip64EndRecord(z));
    Zip64Locator l;
    l.zip64EndDisk = endDisk;
    l.zip64EndOffset = here;
    l.totalDisks = endDisk + 1;
    Append(out, SerializeZip64Locator(l));
  }
  EndRecord e;
  e.signature = kEndRecordSig;
  e.thisDisk = static_cast<uint16_t>(endDisk);
  e.centralDirDisk = static_cast<uint16_t>(dirDisk);
  e.entriesOnDisk = many ? kZip64Marker16 : static_cast<uint16_t>(entries);
  e.totalEntries = e.entriesOnDisk;
  e.centralDirSize = big ? kZip64Marker32 : static_cast<uint32_t>(directorySize);
  e.centralDirOffset = far ? kZip64Marker32 : directoryOffset;
  e.commentLength = static_cast<uint16_t>(std::min<size_t>(comment.size(), 0xFFFF));
  Append(out, SerializeEndRecord(e));
  out.insert(out.end(), comment.begin(), comment.begin() + e.commentLength);
  return out;
}

}  // namespace arc
