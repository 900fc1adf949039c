//===-- arc/support/ascii_case.h - Letter case of ASCII text ----*- C++ -*-===//
//
// Names, masks, extensions and keywords compare without regard to the case of
// the ASCII letters only. Every other byte (UTF-8, CP437) stays as it is, and
// the locale of the process plays no part: the C library's toupper would turn
// 'i' into a non-ASCII letter under some locales.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>
#include <string_view>

namespace arc {

constexpr char ToUpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
constexpr char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

/// `text` with its ASCII letters in upper case.
inline std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpperAscii(c);
  return out;
}

/// `text` with its ASCII letters in lower case.
inline std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLowerAscii(c);
  return out;
}

/// ASCII letters compared without case; every other byte as it is.
constexpr bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

/// True when `text` starts with `prefix`, ASCII case ignored.
constexpr bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         SameTextIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace arc
