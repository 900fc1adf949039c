//===-- support/cp437.cpp - Code page 437 <-> UTF-8 --------------*- C++ -*-===//
#include "support/cp437.h"

#include <algorithm>
#include <array>
#include <utility>

namespace arc {

// Rows of 16, starting at 0x80.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The reverse table, sorted by code point, built once.
using Reverse = std::array<std::pair<char16_t, uint8_t>, 128>;
const Reverse& ReverseTable() {
  static const Reverse kTable = [] {
    Reverse t{};
    for (int i = 0; i < 128; ++i) t[i] = {kCp437High[i], uint8_t(0x80 + i)};
    std::sort(t.begin(), t.end());
    return t;
  }();
  return kTable;
}

// Decodes one UTF-8 sequence at `s[i]`; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
  auto b = [&](size_t k) { return uint8_t(s[i + k]); };
  uint8_t c = b(0);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  cp = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return uint8_t(c) < 0x80; });
}

std::string Cp437ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    uint8_t b = uint8_t(c);
    AppendUtf8(out, b < 0x80 ? b : kCp437High[b - 0x80]);
  }
  return out;
}

std::string Utf8ToCp437(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const Reverse& rev = ReverseTable();
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      out += kCp437Unmappable;
      ++i;
      continue;
    }
    i += len;
    if (cp < 0x80) {
      out += char(cp);
      continue;
    }
    auto it =
        std::lower_bound(rev.begin(), rev.end(), std::pair<char16_t, uint8_t>(char16_t(cp), 0));
    out +=
        (cp <= 0xFFFF && it != rev.end() && it->first == cp) ? char(it->second) : kCp437Unmappable;
  }
  return out;
}

}  // namespace arc
