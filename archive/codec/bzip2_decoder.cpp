//===-- codec/bzip2_decoder.cpp - Method 12 through libbz2 ----------------===//
//
// The entry's data is a plain bzip2 stream ("BZh" and the block size digit,
// blocks, the stream CRC); libbz2 checks every block's CRC and the stream's.
// Its memory is counted through our own allocation functions: the largest
// block size takes about 3.7 MB, and a limit below what the stream's header
// asks for makes libbz2 report a memory error.
//
//===----------------------------------------------------------------------===//
#include <bzlib.h>

#include <cstdlib>
#include <limits>

#include "codec/library_decoder.h"

namespace arc::codec_detail {
namespace {

namespace res = inflate_result;

class Bzip2Decoder final : public LibraryDecoder {
 public:
  explicit Bzip2Decoder(const DecoderOptions& options) : LibraryDecoder(options) {}
  ~Bzip2Decoder() override { Stop(); }

 protected:
  int Start(const char*& msg) override {
    stream_ = bz_stream{};
    stream_.bzalloc = &Allocate;
    stream_.bzfree = &Release;
    stream_.opaque = this;
    used_ = 0;
    const int r = BZ2_bzDecompressInit(&stream_, /*verbosity=*/0, /*small=*/0);
    if (r == BZ_MEM_ERROR) {
      msg = "out of memory";
      return res::kMemError;
    }
    if (r != BZ_OK) {
      msg = "bzip2 decoder refused to start";
      return res::kStreamError;
    }
    started_ = true;
    return res::kOk;
  }

  StepStatus Run(Step& step) override {
    // libbz2 counts in unsigned int; a step never hands it more than that.
    constexpr size_t kMaxPiece = std::numeric_limits<unsigned int>::max();
    stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(step.in));
    stream_.avail_in =
        static_cast<unsigned int>(step.inLength < kMaxPiece ? step.inLength : kMaxPiece);
    stream_.next_out = reinterpret_cast<char*>(step.out);
    stream_.avail_out =
        static_cast<unsigned int>(step.outLength < kMaxPiece ? step.outLength : kMaxPiece);
    const unsigned int inBefore = stream_.avail_in;
    const unsigned int outBefore = stream_.avail_out;
    const int r = BZ2_bzDecompress(&stream_);
    step.consumed = inBefore - stream_.avail_in;
    step.produced = outBefore - stream_.avail_out;
    switch (r) {
      case BZ_OK:
        return StepStatus::Ok;
      case BZ_STREAM_END:
        return StepStatus::StreamEnd;
      case BZ_MEM_ERROR:
        step.msg = "bzip2 stream needs more memory than allowed";
        return StepStatus::MemError;
      case BZ_DATA_ERROR_MAGIC:
        step.msg = "not a bzip2 stream";
        return StepStatus::DataError;
      case BZ_DATA_ERROR:
        step.msg = "invalid bzip2 data";
        return StepStatus::DataError;
      default:
        step.msg = "bzip2 decoder refused the call";
        return StepStatus::DataError;
    }
  }

  void Stop() override {
    if (started_) BZ2_bzDecompressEnd(&stream_);
    started_ = false;
  }

 private:
  static void* Allocate(void* opaque, int items, int size) {
    auto* self = static_cast<Bzip2Decoder*>(opaque);
    if (items <= 0 || size <= 0) return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(items) * static_cast<uint64_t>(size);
    if (bytes > self->Options().memoryLimit - self->used_) return nullptr;
    // The size goes in front of the block so that the release can count it back.
    auto* block =
        static_cast<uint64_t*>(std::malloc(static_cast<size_t>(bytes) + sizeof(uint64_t)));
    if (block == nullptr) return nullptr;
    block[0] = bytes;
    self->used_ += bytes;
    return block + 1;
  }

  static void Release(void* opaque, void* address) {
    if (address == nullptr) return;
    auto* self = static_cast<Bzip2Decoder*>(opaque);
    uint64_t* block = static_cast<uint64_t*>(address) - 1;
    self->used_ -= block[0];
    std::free(block);
  }

  bz_stream stream_{};
  uint64_t used_ = 0;  // bytes allocated by libbz2 for the current stream
  bool started_ = false;
};

}  // namespace

std::unique_ptr<StreamDecoder> MakeBzip2Decoder(const DecoderOptions& options) {
  return std::make_unique<Bzip2Decoder>(options);
}

}  // namespace arc::codec_detail
