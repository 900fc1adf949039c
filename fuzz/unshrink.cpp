//===-- fuzz/unshrink.cpp - Fuzz target: method 1 ---------------------------===//
#include "legacy_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::fuzz::RunLegacy(1, 0, /*limitedBySize=*/false, data, size);
  return 0;
}
