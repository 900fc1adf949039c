//===-- fuzz/lzma.cpp - Fuzz target: method 14 ----------------------------===//
#include "stream_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::fuzz::RunStreamDecoder(arc::kMethodLzma, data, size);
  return 0;
}
