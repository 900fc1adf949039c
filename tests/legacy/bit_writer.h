//===-- tests/legacy/bit_writer.h - Test-only writer of legacy bit streams -*- C++ -*-===//
//
// Builds compressed streams bit by bit for the decoder tests: fields go in
// least significant bit first, as the decoders read them; Shannon-Fano codes
// go in most significant bit first (one bit per tree level).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <vector>

namespace arc::test {

class BitWriter {
 public:
  /// The low `bits` bits of value, bit 0 first.
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
    return *this;
  }
  /// The low `bits` bits of code, most significant first.
  BitWriter& PutCode(uint32_t code, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1);
    return *this;
  }
  /// The stream so far, the last byte padded with zero bits.
  std::vector<uint8_t> Bytes() const { return bytes_; }

 private:
  void PutBit(uint32_t bit) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(bit << used_);
    used_ = (used_ + 1) & 7;
  }
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

}  // namespace arc::test
