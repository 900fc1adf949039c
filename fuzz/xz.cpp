//===-- fuzz/xz.cpp - Fuzz target: method 95 ----------------------------===//
#include "stream_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::fuzz::RunStreamDecoder(arc::kMethodXz, data, size);
  return 0;
}
