//===-- tests/codec/inflate_test_util.h - Helpers for the inflater tests -*- C++ -*-===//
//
// Drivers that feed a stream to our inflater or to zlib's in pieces of given
// sizes, a bit writer for hand-made streams, and a central-directory walk
// that finds entry data in a ZIP file.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <zlib.h>

#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "codec/inflate.h"
#include "common/test_temp_dir.h"

namespace arc::test {

using Bytes = std::vector<uint8_t>;

/// How a decoder left a stream.
struct Outcome {
  int result = 0;  // last result: StreamEnd, DataError, or BufError when starved
  Bytes out;
  uint64_t totalIn = 0;
  uint64_t totalOut = 0;
  uint32_t availIn = 0;  // input handed over but not consumed at the end
  std::string msg;
};

/// Raw Deflate by zlib (the peer for our decoder).
inline Bytes ZlibDeflate(const Bytes& data, int level, int strategy, int windowBits = -15) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, strategy) != Z_OK) return {};
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END ? out : Bytes{};
}

/// Runs a decoder step function over `in`, handing input in pieces of
/// `inStep` bytes (0: all at once) and output space in pieces of `outStep`.
/// Stops at the end of the stream, at an error, or when starved.
template <typename Step>
Outcome Drive(const Bytes& in, size_t inStep, size_t outStep, Step&& step) {
  Outcome o;
  const uint8_t* next = in.data();
  uint32_t avail = 0;
  size_t given = 0;
  Bytes buf(outStep);
  for (size_t guard = 0; guard < 100'000'000; ++guard) {
    if (avail == 0 && given < in.size()) {
      const size_t n = inStep == 0 ? in.size() - given : std::min(inStep, in.size() - given);
      next = in.data() + given;
      avail = static_cast<uint32_t>(n);
      given += n;
    }
    uint8_t* outPtr = buf.data();
    uint32_t outAvail = static_cast<uint32_t>(buf.size());
    o.result = step(next, avail, outPtr, outAvail, o);
    o.out.insert(o.out.end(), buf.data(), outPtr);
    if (o.result == inflate_result::kStreamEnd) break;
    if (o.result < 0 && o.result != inflate_result::kBufError) break;
    if (o.result == inflate_result::kBufError && avail == 0 && given == in.size()) break;
  }
  o.availIn = avail + static_cast<uint32_t>(in.size() - given);
  return o;
}

/// Drive over a stream with zlib's fields (next_in, avail_in, next_out,
/// avail_out, total_in, total_out, msg): `call` runs one step of `s`.
template <typename Stream, typename Call>
Outcome DriveStream(const Bytes& in, size_t inStep, size_t outStep, Stream& s, Call&& call) {
  return Drive(
      in, inStep, outStep,
      [&](const uint8_t*& next, uint32_t& avail, uint8_t*& out, uint32_t& outAvail, Outcome& oc) {
        s.next_in = const_cast<decltype(s.next_in)>(next);
        s.avail_in = avail;
        s.next_out = out;
        s.avail_out = outAvail;
        const int r = call();
        next = s.next_in;
        avail = s.avail_in;
        out = s.next_out;
        outAvail = s.avail_out;
        oc.totalIn = s.total_in;
        oc.totalOut = s.total_out;
        oc.msg = s.msg ? s.msg : "";
        return r;
      });
}

/// Our inflater over a whole stream.
inline Outcome InflateWith(const Bytes& in, InflateVariant variant, size_t inStep, size_t outStep,
                           int windowBits = -15) {
  InflateStream s;
  Outcome o;
  if (InflateInit(s, windowBits, variant) != inflate_result::kOk) {
    o.result = inflate_result::kStreamError;
    return o;
  }
  o = DriveStream(in, inStep, outStep, s, [&] { return Inflate(s, 0); });
  InflateEnd(s);
  return o;
}

/// zlib's inflater over a whole raw stream: the oracle.
inline Outcome ZlibInflate(const Bytes& in, size_t inStep, size_t outStep, int windowBits = -15) {
  z_stream z{};
  Outcome o;
  if (inflateInit2(&z, windowBits) != Z_OK) return o;
  o = DriveStream(in, inStep, outStep, z, [&] { return inflate(&z, Z_NO_FLUSH); });
  inflateEnd(&z);
  return o;
}

/// Writes a Deflate bit stream: fields least significant bit first, Huffman
/// codewords most significant bit first.
class BitWriter {
 public:
  void bits(uint32_t value, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) bit((value >> i) & 1u);
  }
  void code(uint32_t codeword, uint32_t length) {
    for (uint32_t i = length; i-- > 0;) bit((codeword >> i) & 1u);
  }
  /// Block header: BFINAL then BTYPE.
  void header(bool last, uint32_t type) {
    bits(last ? 1 : 0, 1);
    bits(type, 2);
  }
  /// A literal/length symbol of the fixed code.
  void fixedSymbol(uint32_t sym) {
    if (sym < 144)
      code(0x30 + sym, 8);
    else if (sym < 256)
      code(0x190 + sym - 144, 9);
    else if (sym < 280)
      code(sym - 256, 7);
    else
      code(0xC0 + sym - 280, 8);
  }
  /// A distance symbol of the fixed code.
  void fixedDistance(uint32_t sym) { code(sym, 5); }
  /// Pads to a byte boundary with zero bits.
  void align() {
    while (nbits_ != 0) bit(0);
  }
  Bytes finish() {
    align();
    return bytes_;
  }

 private:
  void bit(uint32_t b) {
    if (nbits_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(b << nbits_);
    nbits_ = (nbits_ + 1) & 7;
  }
  Bytes bytes_;
  uint32_t nbits_ = 0;
};

inline Bytes FromHex(std::string_view hex) {
  Bytes out;
  int hi = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<uint8_t>(hi << 4 | v));
      hi = -1;
    }
  }
  return out;
}

inline Bytes ReadFile(const std::string& path, size_t limit = SIZE_MAX) {
  std::ifstream f(path, std::ios::binary);
  Bytes b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (b.size() > limit) b.resize(limit);
  return b;
}

/// One entry of a ZIP file as its central directory gives it.
struct ZipEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t packedSize = 0;
  uint32_t size = 0;
  Bytes extra;  // the central entry's extra field
  Bytes data;   // the packed bytes
};

/// Minimal central-directory walk for tests: no ZIP64, no multi-disk.
inline std::vector<ZipEntry> ReadZipEntries(const Bytes& zip) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(zip.at(at) | zip.at(at + 1) << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::vector<ZipEntry> entries;
  if (zip.size() < 22) return entries;
  size_t eocd = zip.size() - 22;
  while (eocd > 0 && u32(eocd) != 0x06054b50) --eocd;
  if (u32(eocd) != 0x06054b50) return entries;
  size_t at = u32(eocd + 16);
  const uint32_t count = u16(eocd + 10);
  for (uint32_t i = 0; i < count && u32(at) == 0x02014b50; ++i) {
    ZipEntry e;
    e.flags = static_cast<uint16_t>(u16(at + 8));
    e.method = static_cast<uint16_t>(u16(at + 10));
    e.crc = u32(at + 16);
    e.packedSize = u32(at + 20);
    e.size = u32(at + 24);
    const uint32_t nameLen = u16(at + 28), extraLen = u16(at + 30), commentLen = u16(at + 32);
    const size_t local = u32(at + 42);
    e.name.assign(reinterpret_cast<const char*>(&zip.at(at + 46)), nameLen);
    e.extra.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLen),
                   zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLen + extraLen));
    const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
    e.data.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                  zip.begin() + static_cast<std::ptrdiff_t>(data + e.packedSize));
    entries.push_back(std::move(e));
    at += 46 + nameLen + extraLen + commentLen;
  }
  return entries;
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& b) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline uint32_t Crc32Of(const Bytes& b) {
  return static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size())));
}

}  // namespace arc::test
