//===-- support/names.cpp - Stored entry names and method names -*- C++ -*-===//
#include <arc/support/names.h>

#include <algorithm>

#include "support/cp437.h"

namespace arc {

std::string StoredToLocalName(std::string_view name, bool oem) {
  std::string r = oem ? Cp437ToUtf8(name) : std::string(name);
  std::replace(r.begin(), r.end(), '\\', '/');
  return r;
}

std::string LocalToStoredName(std::string_view name, bool oem) {
  std::string r(name);
  std::replace(r.begin(), r.end(), '\\', '/');
  return LocalToOem(r, oem);
}

std::string LocalToOem(std::string_view name, bool oem) {
  return oem ? Utf8ToCp437(name) : std::string(name);
}

std::string DeflateDisplayName(uint16_t generalPurposeFlags, bool deflate64) {
  static constexpr const char* kDeflate[4] = {"DeflateN", "DeflateX", "DeflateF", "DeflateS"};
  static constexpr const char* kDeflate64[4] = {"Def-64N", "Def-64X", "Def-64F", "Def-64S"};
  // Only bits 1 and 2 carry the level; the encryption bit, the data-descriptor
  // bit and the others must not change the name.
  unsigned index = (generalPurposeFlags >> 1) & 3u;
  return deflate64 ? kDeflate64[index] : kDeflate[index];
}

}  // namespace arc
