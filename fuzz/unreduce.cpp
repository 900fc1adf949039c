//===-- fuzz/unreduce.cpp - Fuzz target: methods 2 to 5 ---------------------===//
#include "legacy_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint16_t method = static_cast<uint16_t>(2 + (data[0] & 3));
  arc::fuzz::RunLegacy(method, 0, /*limitedBySize=*/true, data, size);
  return 0;
}
