//===-- tests/unzip/zip_builder.h - Small ZIP archives made in memory -*- C++ -*-===//
//
// Writes archives byte by byte, independently of the library's own record
// code, so that a reader test never checks the library against itself. Only
// what the reader tests need: stored and deflated entries, directory entries,
// entries compressed elsewhere, a prefix with or without adjusted offsets, an
// archive comment. Encrypted entries use the library's traditional cipher,
// which its own tests check against data made by other tools.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <arc/codec/trad_cipher.h>

namespace arc::test {

/// Compressed bytes made elsewhere (a legacy method, say), with the values of
/// the data they stand for.
struct PrePacked {
  std::string bytes;
  uint32_t crc32 = 0;
  uint32_t size = 0;
};

struct TestEntry {
  std::string name;
  std::string data;
  uint16_t method = 0;  ///< 0 stored, 8 deflated, anything else stored as given
  uint32_t externalAttributes = 0x20;
  uint32_t dosDateTime = 0x58C16000;  ///< 2024-06-01 12:00:00
  uint16_t flags = 0;
  bool badCrc = false;  ///< store a CRC that does not match the data
  /// Stored as given, with its CRC-32 and size; `data` and `method` 8 are
  /// then not used.
  std::optional<PrePacked> packed = std::nullopt;
  /// Not empty: flag bit 0 is set and the compressed bytes are enciphered
  /// behind a 12-byte encryption header (fixed random part).
  std::string password = {};
  /// Version made by of the directory entry; 0x03xx: a Unix host, whose
  /// mode goes in the high half of `externalAttributes`.
  uint16_t versionMadeBy = 20;
  /// The extra field of both headers.
  std::string extra = {};
};

/// The encryption header and `packed` enciphered under `password`, the
/// check byte taken from `crc`.
inline std::string EncipherTraditional(std::string packed, const std::string& password,
                                       uint32_t crc) {
  constexpr std::array<uint8_t, kEncryptionRandomLen> kRandom{0x3C, 0xA1, 0x07, 0x5E, 0x92,
                                                              0xD4, 0x18, 0x6B, 0xF0, 0x25};
  std::array<uint8_t, kEncryptionHeaderLen> header{};
  TradCipher cipher;
  if (!cipher.MakeEncryptionHeader(password, crc, kRandom, header)) return packed;
  cipher.Encipher(std::span(reinterpret_cast<uint8_t*>(packed.data()), packed.size()));
  return std::string(header.begin(), header.end()) + packed;
}

/// Raw Deflate (no zlib header) of `data`.
inline std::string DeflateRaw(const std::string& data, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline uint32_t Crc32Of(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

class ZipBuilder {
 public:
  ZipBuilder& Add(TestEntry e) {
    entries_.push_back(std::move(e));
    return *this;
  }
  ZipBuilder& Prefix(std::string bytes, bool adjustOffsets) {
    prefix_ = std::move(bytes);
    adjust_ = adjustOffsets;
    return *this;
  }
  ZipBuilder& Comment(std::string c) {
    comment_ = std::move(c);
    return *this;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out(prefix_.begin(), prefix_.end());
    const uint32_t base = adjust_ ? 0 : static_cast<uint32_t>(prefix_.size());
    std::vector<uint8_t> central;
    for (const TestEntry& e : entries_) {
      std::string packed = e.packed ? e.packed->bytes : e.method == 8 ? DeflateRaw(e.data) : e.data;
      uint32_t crc = e.packed ? e.packed->crc32 : Crc32Of(e.data);
      if (e.badCrc) crc ^= 0x5A5A5A5A;
      const uint32_t size = e.packed ? e.packed->size : static_cast<uint32_t>(e.data.size());
      const uint16_t flags = e.password.empty() ? e.flags : static_cast<uint16_t>(e.flags | 1);
      if (!e.password.empty()) packed = EncipherTraditional(std::move(packed), e.password, crc);
      const auto offset = static_cast<uint32_t>(out.size()) - base;
      U32(out, 0x04034B50);
      U16(out, 20);
      U16(out, flags);
      U16(out, e.method);
      U32(out, e.dosDateTime);
      U32(out, crc);
      U32(out, static_cast<uint32_t>(packed.size()));
      U32(out, size);
      U16(out, static_cast<uint16_t>(e.name.size()));
      U16(out, static_cast<uint16_t>(e.extra.size()));
      Bytes(out, e.name);
      Bytes(out, e.extra);
      Bytes(out, packed);

      U32(central, 0x02014B50);
      U16(central, e.versionMadeBy);
      U16(central, 20);
      U16(central, flags);
      U16(central, e.method);
      U32(central, e.dosDateTime);
      U32(central, crc);
      U32(central, static_cast<uint32_t>(packed.size()));
      U32(central, size);
      U16(central, static_cast<uint16_t>(e.name.size()));
      U16(central, static_cast<uint16_t>(e.extra.size()));
      U16(central, 0);
      U16(central, 0);
      U16(central, 0);
      U32(central, e.externalAttributes);
      U32(central, offset);
      Bytes(central, e.name);
      Bytes(central, e.extra);
    }
    const auto cdOffset = static_cast<uint32_t>(out.size()) - base;
    out.insert(out.end(), central.begin(), central.end());
    U32(out, 0x06054B50);
    U16(out, 0);
    U16(out, 0);
    U16(out, static_cast<uint16_t>(entries_.size()));
    U16(out, static_cast<uint16_t>(entries_.size()));
    U32(out, static_cast<uint32_t>(central.size()));
    U32(out, cdOffset);
    U16(out, static_cast<uint16_t>(comment_.size()));
    Bytes(out, comment_);
    return out;
  }

  static void U16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
  }
  static void U32(std::vector<uint8_t>& v, uint32_t x) {
    U16(v, static_cast<uint16_t>(x));
    U16(v, static_cast<uint16_t>(x >> 16));
  }
  static void Bytes(std::vector<uint8_t>& v, const std::string& s) {
    v.insert(v.end(), s.begin(), s.end());
  }

 private:
  std::vector<TestEntry> entries_;
  std::string prefix_;
  bool adjust_ = true;
  std::string comment_;
};

}  // namespace arc::test
