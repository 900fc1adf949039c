//===-- tests/unzip/pe_builder.h - A minimal PE image with string resources -*- C++ -*-===//
//
// Just enough of a PE32 executable for the resource reader: DOS header, PE
// and optional headers, one ".rsrc" section holding a resource tree with one
// string block (ids 0..15). Layout of the section (offsets relative to it):
//
//   0x00  root directory, one row: type 6 -> 0x18
//   0x18  name directory, one row: block 1 -> 0x30
//   0x30  language directory, one row: 0x409 -> data entry 0x48
//   0x48  data entry: RVA and size of the block
//   0x58  the string block
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace arc::test {

class PeBuilder {
 public:
  static constexpr uint32_t kPeAt = 0x80;
  static constexpr uint32_t kSectionAt = 0x200;
  static constexpr uint32_t kSectionRva = 0x1000;

  /// Sets string `id` (0..15).
  PeBuilder& String(uint16_t id, const std::string& text) {
    strings_.resize(16);
    strings_[id] = text;
    return *this;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> block;
    for (size_t i = 0; i < 16; ++i) {
      const std::string s = i < strings_.size() ? strings_[i] : std::string();
      Put16(block, static_cast<uint16_t>(s.size()));
      for (char c : s) Put16(block, static_cast<uint8_t>(c));
    }
    std::vector<uint8_t> rsrc;
    auto directory = [&](uint32_t id, uint32_t target) {
      for (int i = 0; i < 12; ++i) rsrc.push_back(0);
      Put16(rsrc, 0);  // named rows
      Put16(rsrc, 1);  // numbered rows
      Put32(rsrc, id);
      Put32(rsrc, target);
    };
    directory(6, 0x80000000u | 0x18);
    directory(1, 0x80000000u | 0x30);
    directory(0x409, 0x48);
    Put32(rsrc, kSectionRva + 0x58);
    Put32(rsrc, static_cast<uint32_t>(block.size()));
    Put32(rsrc, 0);
    Put32(rsrc, 0);
    rsrc.insert(rsrc.end(), block.begin(), block.end());

    std::vector<uint8_t> out(kSectionAt, 0);
    out[0] = 'M';
    out[1] = 'Z';
    Set32(out, 0x3C, kPeAt);
    uint32_t at = kPeAt;
    Set32(out, at, 0x00004550);
    Set16(out, at + 4, 0x14C);  // i386
    Set16(out, at + 6, 1);      // one section
    Set16(out, at + 20, 224);   // optional header size
    const uint32_t opt = at + 24;
    Set16(out, opt, 0x10B);
    Set32(out, opt + 92, 16);  // data directories
    Set32(out, opt + 96 + 16, kSectionRva);
    Set32(out, opt + 96 + 20, static_cast<uint32_t>(rsrc.size()));
    const uint32_t sec = opt + 224;
    for (int i = 0; i < 5; ++i) out[sec + i] = static_cast<uint8_t>(".rsrc"[i]);
    Set32(out, sec + 8, static_cast<uint32_t>(rsrc.size()));
    Set32(out, sec + 12, kSectionRva);
    Set32(out, sec + 16, static_cast<uint32_t>(rsrc.size()));
    Set32(out, sec + 20, kSectionAt);
    out.insert(out.end(), rsrc.begin(), rsrc.end());
    return out;
  }

 private:
  static void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
  }
  static void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
  }
  static void Set16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
  }
  static void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    Set16(v, at, static_cast<uint16_t>(x));
    Set16(v, at + 2, static_cast<uint16_t>(x >> 16));
  }

  std::vector<std::string> strings_;
};

}  // namespace arc::test
