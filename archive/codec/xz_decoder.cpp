//===-- codec/xz_decoder.cpp - Method 95 through liblzma's stream decoder -===//
//
// The entry's data is a whole .xz stream: header, blocks with their checks,
// index and footer, all verified by liblzma. The memory limit goes to liblzma,
// which refuses a block whose filters would need more.
//
// With the compressed size known, liblzma itself joins further streams and
// their padding (LZMA_CONCATENATED) and is told when the entry's last byte is
// in hand (LZMA_FINISH), so the driver never restarts it.
//
//===----------------------------------------------------------------------===//
#include <lzma.h>

#include "codec/library_decoder.h"

namespace arc::codec_detail {
namespace {

namespace res = inflate_result;

class XzDecoder final : public LibraryDecoder {
 public:
  explicit XzDecoder(const DecoderOptions& options) : LibraryDecoder(options) {}
  ~XzDecoder() override { Stop(); }

 protected:
  int Start(const char*& msg) override {
    stream_ = lzma_stream{};
    const uint64_t limit = Options().memoryLimit > 0 ? Options().memoryLimit : 1;
    const uint32_t flags = SizeKnown() ? LZMA_CONCATENATED : 0;
    const lzma_ret r = lzma_stream_decoder(&stream_, limit, flags);
    if (r == LZMA_MEM_ERROR) {
      msg = "out of memory";
      return res::kMemError;
    }
    if (r != LZMA_OK) {
      msg = "XZ decoder refused to start";
      return res::kStreamError;
    }
    started_ = true;
    return res::kOk;
  }

  StepStatus Run(Step& step) override {
    stream_.next_in = step.in;
    stream_.avail_in = step.inLength;
    stream_.next_out = step.out;
    stream_.avail_out = step.outLength;
    const lzma_action action = SizeKnown() && step.lastInput ? LZMA_FINISH : LZMA_RUN;
    const lzma_ret r = lzma_code(&stream_, action);
    step.consumed = step.inLength - stream_.avail_in;
    step.produced = step.outLength - stream_.avail_out;
    switch (r) {
      case LZMA_OK:
      case LZMA_BUF_ERROR:  // no progress: the driver sees it
        return StepStatus::Ok;
      case LZMA_STREAM_END:
        return StepStatus::StreamEnd;
      case LZMA_MEMLIMIT_ERROR:
        step.msg = "XZ stream needs more memory than allowed";
        return StepStatus::MemError;
      case LZMA_MEM_ERROR:
        step.msg = "out of memory";
        return StepStatus::MemError;
      case LZMA_FORMAT_ERROR:
        step.msg = "not an XZ stream";
        return StepStatus::DataError;
      case LZMA_OPTIONS_ERROR:
        step.msg = "unsupported XZ options";
        return StepStatus::DataError;
      case LZMA_DATA_ERROR:
        step.msg = "invalid XZ data";
        return StepStatus::DataError;
      default:
        step.msg = "XZ decoder refused the call";
        return StepStatus::DataError;
    }
  }

  void Stop() override {
    if (started_) lzma_end(&stream_);
    started_ = false;
  }

  bool RestartsForNextStream() const override { return false; }

 private:
  lzma_stream stream_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<StreamDecoder> MakeXzDecoder(const DecoderOptions& options) {
  return std::make_unique<XzDecoder>(options);
}

}  // namespace arc::codec_detail
