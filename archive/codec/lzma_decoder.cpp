//===-- codec/lzma_decoder.cpp - Method 14 through liblzma's raw decoder --===//
//
// Format notes. A method-14 entry's data begins with a header of its own,
// then the raw LZMA stream:
//
//   offset  size  field
//   0       1     major version of the writer's LZMA code   (not checked)
//   1       1     minor version                              (not checked)
//   2       2     size of the properties that follow: 5
//   4       5     properties: (pb * 5 + lp) * 9 + lc, then the dictionary
//                 size (32 bits, little-endian)
//   9       ...   the LZMA stream
//
// General-purpose flag bit 1 says the stream ends with an end marker. Without
// it the stream ends after the entry's uncompressed size: liblzma is then
// given that size, still allowing a marker right after it (some writers put
// one there without setting the bit). With the bit, or without a size, the
// marker alone ends the stream.
//
// The stream has no check of its own; the entry's CRC judges the output.
// The dictionary is allocated from the properties, so the memory limit is
// compared with liblzma's figure for them before the decoder is started.
//
//===----------------------------------------------------------------------===//
#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/library_decoder.h"

namespace arc::codec_detail {
namespace {

namespace res = inflate_result;

constexpr size_t kVersionLen = 2;
constexpr size_t kPropsSizeLen = 2;
constexpr size_t kPropsLen = 5;  // the one size LZMA properties have
constexpr size_t kHeaderLen = kVersionLen + kPropsSizeLen + kPropsLen;

class LzmaDecoder final : public LibraryDecoder {
 public:
  explicit LzmaDecoder(const DecoderOptions& options) : LibraryDecoder(options) {}
  ~LzmaDecoder() override { Stop(); }

 protected:
  int Start(const char*&) override {
    // The library is started once the header has been read.
    have_ = 0;
    return res::kOk;
  }

  StepStatus Run(Step& step) override {
    if (have_ < kHeaderLen) {
      const size_t n = std::min(kHeaderLen - have_, step.inLength);
      std::memcpy(header_ + have_, step.in, n);
      have_ += n;
      step.consumed = n;
      if (have_ >= kVersionLen + kPropsSizeLen) {
        const unsigned propsSize = header_[2] | (header_[3] << 8);
        if (propsSize != kPropsLen) {
          step.msg = "invalid LZMA properties size";
          return StepStatus::DataError;
        }
      }
      if (have_ < kHeaderLen) return StepStatus::Ok;
      const StepStatus started = StartLibrary(step);
      if (started != StepStatus::Ok) return started;
    }
    stream_.next_in = step.in + step.consumed;
    stream_.avail_in = step.inLength - step.consumed;
    stream_.next_out = step.out;
    stream_.avail_out = step.outLength;
    const lzma_ret r = lzma_code(&stream_, LZMA_RUN);
    step.consumed = step.inLength - stream_.avail_in;
    step.produced = step.outLength - stream_.avail_out;
    switch (r) {
      case LZMA_OK:
      case LZMA_BUF_ERROR:  // no progress: the driver sees it
        return StepStatus::Ok;
      case LZMA_STREAM_END:
        return StepStatus::StreamEnd;
      case LZMA_MEM_ERROR:
      case LZMA_MEMLIMIT_ERROR:
        step.msg = "out of memory";
        return StepStatus::MemError;
      case LZMA_DATA_ERROR:
        step.msg = "invalid LZMA data";
        return StepStatus::DataError;
      default:
        step.msg = "LZMA decoder refused the call";
        return StepStatus::DataError;
    }
  }

  void Stop() override {
    if (started_) lzma_end(&stream_);
    started_ = false;
  }

  bool RestartsForNextStream() const override { return false; }

 private:
  StepStatus StartLibrary(Step& step) {
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    // The properties decoder checks lc, lp and pb and allocates the options.
    if (lzma_properties_decode(&filters[0], nullptr, header_ + kVersionLen + kPropsSizeLen,
                               kPropsLen) != LZMA_OK) {
      step.msg = "invalid LZMA properties";
      return StepStatus::DataError;
    }
    std::memcpy(&options_, filters[0].options, sizeof(options_));
    std::free(filters[0].options);
    filters[0].options = &options_;
    const bool endMarker = (Options().flags & kFlagLzmaEndMarker) != 0;
    if (!endMarker && Options().uncompressedSize != kUnknownSize) {
      filters[0].id = LZMA_FILTER_LZMA1EXT;
      options_.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
      options_.ext_size_low = static_cast<uint32_t>(Options().uncompressedSize);
      options_.ext_size_high = static_cast<uint32_t>(Options().uncompressedSize >> 32);
    }
    if (lzma_raw_decoder_memusage(filters) > Options().memoryLimit) {
      step.msg = "LZMA dictionary needs more memory than allowed";
      return StepStatus::MemError;
    }
    stream_ = lzma_stream{};
    const lzma_ret r = lzma_raw_decoder(&stream_, filters);
    if (r == LZMA_MEM_ERROR) {
      step.msg = "out of memory";
      return StepStatus::MemError;
    }
    if (r != LZMA_OK) {
      step.msg = "invalid LZMA properties";
      return StepStatus::DataError;
    }
    started_ = true;
    return StepStatus::Ok;
  }

  uint8_t header_[kHeaderLen] = {};
  size_t have_ = 0;  // header bytes read
  lzma_options_lzma options_{};
  lzma_stream stream_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<StreamDecoder> MakeLzmaDecoder(const DecoderOptions& options) {
  return std::make_unique<LzmaDecoder>(options);
}

}  // namespace arc::codec_detail
