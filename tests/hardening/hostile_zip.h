//===-- tests/hardening/hostile_zip.h - Archives with lying records -*- C++ -*-===//
//
// Writes archives record by record, with every field open to a lie: sizes
// that disagree with the data, offsets that point anywhere, extra fields of
// any shape, counts of any size. Independent of the library's own record
// code, like the reader tests' builder.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unzip/zip_builder.h"

namespace arc::test {

struct HostileEntry {
  std::string name;
  std::string data;  ///< the entry's bytes as stored (already compressed)
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;  ///< CRC-32 of the uncompressed contents
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t externalAttributes = 0x20;
  std::string localExtra;
  std::string centralExtra;
  /// Where the central record says the local header is; by default where
  /// it was written.
  std::optional<uint32_t> localOffset;
  bool writeLocal = true;  ///< false: only a central record (to share another's header)

  /// A stored entry whose every field tells the truth.
  static HostileEntry Stored(std::string name, std::string contents) {
    HostileEntry e;
    e.name = std::move(name);
    e.crc = Crc32Of(contents);
    e.compressedSize = e.uncompressedSize = static_cast<uint32_t>(contents.size());
    e.data = std::move(contents);
    return e;
  }
  /// A deflated entry whose every field tells the truth.
  static HostileEntry Deflated(std::string name, const std::string& contents) {
    HostileEntry e;
    e.name = std::move(name);
    e.method = 8;
    e.crc = Crc32Of(contents);
    e.data = DeflateRaw(contents);
    e.compressedSize = static_cast<uint32_t>(e.data.size());
    e.uncompressedSize = static_cast<uint32_t>(contents.size());
    return e;
  }
};

/// Overrides for the end record; unset fields are computed.
struct HostileEnd {
  std::optional<uint16_t> entries;
  std::optional<uint32_t> centralSize;
  std::optional<uint32_t> centralOffset;
};

/// An extra-field block.
inline std::string ExtraBlock(uint16_t tag, const std::string& body,
                              std::optional<uint16_t> claimedSize = std::nullopt) {
  std::vector<uint8_t> v;
  ZipBuilder::U16(v, tag);
  ZipBuilder::U16(v, claimedSize.value_or(static_cast<uint16_t>(body.size())));
  return std::string(v.begin(), v.end()) + body;
}

inline std::string Le64(uint64_t x) {
  std::string s;
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>(x >> (8 * i)));
  return s;
}

inline std::vector<uint8_t> BuildHostile(const std::vector<HostileEntry>& entries,
                                         const HostileEnd& end = {}) {
  using B = ZipBuilder;
  std::vector<uint8_t> out;
  std::vector<uint8_t> central;
  uint32_t lastLocal = 0;
  for (const HostileEntry& e : entries) {
    if (e.writeLocal) {
      lastLocal = static_cast<uint32_t>(out.size());
      B::U32(out, 0x04034B50);
      B::U16(out, 20);
      B::U16(out, e.flags);
      B::U16(out, e.method);
      B::U32(out, 0x58C16000);
      B::U32(out, e.crc);
      B::U32(out, e.compressedSize);
      B::U32(out, e.uncompressedSize);
      B::U16(out, static_cast<uint16_t>(e.name.size()));
      B::U16(out, static_cast<uint16_t>(e.localExtra.size()));
      B::Bytes(out, e.name);
      B::Bytes(out, e.localExtra);
      B::Bytes(out, e.data);
    }
    B::U32(central, 0x02014B50);
    B::U16(central, 20);
    B::U16(central, 20);
    B::U16(central, e.flags);
    B::U16(central, e.method);
    B::U32(central, 0x58C16000);
    B::U32(central, e.crc);
    B::U32(central, e.compressedSize);
    B::U32(central, e.uncompressedSize);
    B::U16(central, static_cast<uint16_t>(e.name.size()));
    B::U16(central, static_cast<uint16_t>(e.centralExtra.size()));
    B::U16(central, 0);
    B::U16(central, 0);
    B::U16(central, 0);
    B::U32(central, e.externalAttributes);
    B::U32(central, e.localOffset.value_or(lastLocal));
    B::Bytes(central, e.name);
    B::Bytes(central, e.centralExtra);
  }
  const auto cdOffset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), central.begin(), central.end());
  B::U32(out, 0x06054B50);
  B::U16(out, 0);
  B::U16(out, 0);
  const auto count = end.entries.value_or(static_cast<uint16_t>(entries.size()));
  B::U16(out, count);
  B::U16(out, count);
  B::U32(out, end.centralSize.value_or(static_cast<uint32_t>(central.size())));
  B::U32(out, end.centralOffset.value_or(cdOffset));
  B::U16(out, 0);
  return out;
}

}  // namespace arc::test
