//===-- fuzz/explode.cpp - Fuzz target: method 6 -----------------------------===//
#include "legacy_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint16_t flags = static_cast<uint16_t>(data[0] & 6);
  arc::fuzz::RunLegacy(6, flags, /*limitedBySize=*/true, data, size);
  return 0;
}
