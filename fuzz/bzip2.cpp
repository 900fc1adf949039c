//===-- fuzz/bzip2.cpp - Fuzz target: method 12 ----------------------------===//
#include "stream_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  arc::fuzz::RunStreamDecoder(arc::kMethodBzip2, data, size);
  return 0;
}
