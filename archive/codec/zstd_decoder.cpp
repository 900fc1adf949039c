//===-- codec/zstd_decoder.cpp - Method 93 through libzstd ----------------===//
//
// The entry's data is one or more Zstandard frames (skippable frames
// included); libzstd checks each frame's content checksum when the frame
// carries one. The memory limit becomes the largest window libzstd accepts:
// a frame that declares a larger one is refused before its window is
// allocated.
//
//===----------------------------------------------------------------------===//
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>

#include "codec/library_decoder.h"

namespace arc::codec_detail {
namespace {

namespace res = inflate_result;

/// The largest window log whose window fits in `limit`, inside libzstd's bounds.
int WindowLogMax(uint64_t limit) {
  int log = 0;
  while (log < 63 && (uint64_t{2} << log) <= limit) ++log;
  const ZSTD_bounds bounds = ZSTD_dParam_getBounds(ZSTD_d_windowLogMax);
  return std::clamp(log, bounds.lowerBound, bounds.upperBound);
}

class ZstdDecoder final : public LibraryDecoder {
 public:
  explicit ZstdDecoder(const DecoderOptions& options) : LibraryDecoder(options) {}
  ~ZstdDecoder() override { Stop(); }

 protected:
  int Start(const char*& msg) override {
    context_ = ZSTD_createDCtx();
    if (context_ == nullptr) {
      msg = "out of memory";
      return res::kMemError;
    }
    if (ZSTD_isError(ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax,
                                            WindowLogMax(Options().memoryLimit)))) {
      msg = "Zstandard decoder refused to start";
      return res::kStreamError;
    }
    return res::kOk;
  }

  StepStatus Run(Step& step) override {
    ZSTD_inBuffer in{step.in, step.inLength, 0};
    ZSTD_outBuffer out{step.out, step.outLength, 0};
    const size_t r = ZSTD_decompressStream(context_, &out, &in);
    step.consumed = in.pos;
    step.produced = out.pos;
    if (ZSTD_isError(r)) {
      const ZSTD_ErrorCode code = ZSTD_getErrorCode(r);
      // libzstd's names are static strings.
      step.msg = ZSTD_getErrorName(r);
      if (code == ZSTD_error_frameParameter_windowTooLarge || code == ZSTD_error_memory_allocation)
        return StepStatus::MemError;
      return StepStatus::DataError;
    }
    // 0: a frame was decoded and all its output delivered.
    return r == 0 ? StepStatus::StreamEnd : StepStatus::Ok;
  }

  void Stop() override {
    ZSTD_freeDCtx(context_);
    context_ = nullptr;
  }

 private:
  ZSTD_DCtx* context_ = nullptr;
};

}  // namespace

std::unique_ptr<StreamDecoder> MakeZstdDecoder(const DecoderOptions& options) {
  return std::make_unique<ZstdDecoder>(options);
}

}  // namespace arc::codec_detail
