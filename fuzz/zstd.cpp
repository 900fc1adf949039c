//===-- fuzz/zstd.cpp - Fuzz target: method 93 ----------------------------===//
#include "stream_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::fuzz::RunStreamDecoder(arc::kMethodZstd, data, size);
  return 0;
}
