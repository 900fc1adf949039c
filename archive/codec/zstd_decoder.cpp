//===-- codec/zstd_decoder.cpp - Method 93 through libzstd ----------------===//
//
// The entry's data is one or more Zstandard frames (skippable frames
// included); libzstd checks each frame's content checksum when the frame
// carries one. The memory limit becomes the largest window libzstd accepts:
// a frame that declares a larger one is refused before its window is
// allocated. Each frame's magic number is read here before libzstd sees it:
// frames of the format's early versions, which libzstd takes when they come
// whole and refuses when they come in pieces, are refused however they come.
//
//===----------------------------------------------------------------------===//
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>

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
    magicHave_ = 0;
    return res::kOk;
  }

  StepStatus Run(Step& step) override {
    const size_t taken = TakeMagic(step);
    if (step.msg != nullptr) return StepStatus::DataError;
    if (magicHave_ < kMagicLength) return StepStatus::Ok;
    ZSTD_inBuffer in{step.in + taken, step.inLength - taken, 0};
    ZSTD_outBuffer out{step.out, step.outLength, 0};
    const size_t r = ZSTD_decompressStream(context_, &out, &in);
    step.consumed = taken + in.pos;
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
  static constexpr size_t kMagicLength = 4;

  /// Collects the frame's magic number from the step's input and, once it
  /// is whole and names a current or skippable frame, hands it to libzstd.
  /// Returns the bytes taken; sets the step's message for a frame refused.
  size_t TakeMagic(Step& step) {
    step.consumed = 0;
    step.produced = 0;
    if (magicHave_ == kMagicLength) return 0;
    const size_t taken = std::min(kMagicLength - magicHave_, step.inLength);
    if (taken > 0) std::memcpy(magic_ + magicHave_, step.in, taken);
    magicHave_ += taken;
    step.consumed = taken;
    if (magicHave_ < kMagicLength) return taken;
    const uint32_t magic = uint32_t{magic_[0]} | uint32_t{magic_[1]} << 8 |
                           uint32_t{magic_[2]} << 16 | uint32_t{magic_[3]} << 24;
    ZSTD_inBuffer in{magic_, kMagicLength, 0};
    ZSTD_outBuffer out{step.out, 0, 0};
    if ((magic != ZSTD_MAGICNUMBER &&
         (magic & ZSTD_MAGIC_SKIPPABLE_MASK) != ZSTD_MAGIC_SKIPPABLE_START) ||
        ZSTD_isError(ZSTD_decompressStream(context_, &out, &in)) || in.pos != kMagicLength) {
      step.msg = "Unknown frame descriptor";
    }
    return taken;
  }

  ZSTD_DCtx* context_ = nullptr;
  uint8_t magic_[kMagicLength] = {};
  size_t magicHave_ = 0;
};

}  // namespace

std::unique_ptr<StreamDecoder> MakeZstdDecoder(const DecoderOptions& options) {
  return std::make_unique<ZstdDecoder>(options);
}

}  // namespace arc::codec_detail
