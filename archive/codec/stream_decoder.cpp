//===-- codec/stream_decoder.cpp - Decoder factory and the common driver --===//
#include "codec/stream_decoder.h"

#include <algorithm>

#include "codec/library_decoder.h"

namespace arc {
namespace {

namespace res = inflate_result;

constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodDeflate64 = 9;
constexpr int kRawWindowBits = -15;

class InflateDecoder final : public StreamDecoder {
 public:
  InflateDecoder(int windowBits, InflateVariant variant)
      : windowBits_(windowBits), variant_(variant) {}

  int Init(CodecStream& strm) override { return InflateInit(strm, windowBits_, variant_); }
  int Decode(CodecStream& strm) override { return Inflate(strm, 0); }
  int Reset(CodecStream& strm) override { return InflateReset(strm); }
  void End(CodecStream& strm) override { InflateEnd(strm); }

 private:
  int windowBits_;
  InflateVariant variant_;
};

}  // namespace

bool HasStreamDecoder(uint16_t method) {
  switch (method) {
    case kMethodDeflate:
    case kMethodDeflate64:
    case kMethodBzip2:
    case kMethodLzma:
    case kMethodZstd:
    case kMethodXz:
      return true;
    default:
      return false;
  }
}

std::unique_ptr<StreamDecoder> MakeStreamDecoder(uint16_t method, const DecoderOptions& options) {
  switch (method) {
    case kMethodDeflate:
      return MakeInflateDecoder(kRawWindowBits, InflateVariant::Deflate);
    case kMethodDeflate64:
      return MakeInflateDecoder(kRawWindowBits, InflateVariant::Deflate64);
    case kMethodBzip2:
      return codec_detail::MakeBzip2Decoder(options);
    case kMethodLzma:
      return codec_detail::MakeLzmaDecoder(options);
    case kMethodZstd:
      return codec_detail::MakeZstdDecoder(options);
    case kMethodXz:
      return codec_detail::MakeXzDecoder(options);
    default:
      return nullptr;
  }
}

std::unique_ptr<StreamDecoder> MakeInflateDecoder(int windowBits, InflateVariant variant) {
  return std::make_unique<InflateDecoder>(windowBits, variant);
}

namespace codec_detail {

int LibraryDecoder::Init(CodecStream& strm) {
  Stop();
  strm.total_in = 0;
  strm.total_out = 0;
  strm.msg = nullptr;
  const char* msg = nullptr;
  const int result = Start(msg);
  if (result != res::kOk) {
    Stop();
    phase_ = Phase::Idle;
    strm.msg = msg;
    return result;
  }
  phase_ = Phase::Running;
  return res::kOk;
}

int LibraryDecoder::Reset(CodecStream& strm) {
  if (phase_ == Phase::Idle) return res::kStreamError;
  return Init(strm);
}

void LibraryDecoder::End(CodecStream&) {
  Stop();
  phase_ = Phase::Idle;
}

int LibraryDecoder::Fail(CodecStream& strm, int result, const char* msg) {
  phase_ = Phase::Failed;
  failure_ = result;
  failureMsg_ = msg;
  strm.msg = msg;
  return result;
}

int LibraryDecoder::Decode(CodecStream& strm) {
  switch (phase_) {
    case Phase::Idle:
      return res::kStreamError;
    case Phase::Ended:
      return res::kStreamEnd;
    case Phase::Failed:
      strm.msg = failureMsg_;
      return failure_;
    case Phase::Running:
      break;
  }
  if (strm.next_out == nullptr || (strm.next_in == nullptr && strm.avail_in != 0))
    return res::kStreamError;
  bool progress = false;
  while (strm.avail_out > 0) {
    Step step;
    step.in = strm.next_in;
    step.inLength = strm.avail_in;
    step.out = strm.next_out;
    step.outLength = strm.avail_out;
    if (SizeKnown()) {
      // total_in never passes the compressed size: the input is cut at it.
      const uint64_t left = Options().compressedSize - strm.total_in;
      if (step.inLength >= left) {
        step.inLength = static_cast<size_t>(left);
        step.lastInput = true;
      }
    }
    const StepStatus status = Run(step);
    // A library never reports more than it was given; should one, the record
    // would point outside the caller's buffers.
    if (step.consumed > step.inLength || step.produced > step.outLength)
      return Fail(strm, res::kStreamError, "decoder library overran its buffers");
    strm.next_in += step.consumed;
    strm.avail_in -= static_cast<uint32_t>(step.consumed);
    strm.total_in += step.consumed;
    strm.next_out += step.produced;
    strm.avail_out -= static_cast<uint32_t>(step.produced);
    strm.total_out += step.produced;
    const bool moved = step.consumed != 0 || step.produced != 0;
    progress = progress || moved;

    if (status == StepStatus::DataError) return Fail(strm, res::kDataError, step.msg);
    if (status == StepStatus::MemError) return Fail(strm, res::kMemError, step.msg);
    if (status == StepStatus::StreamEnd) {
      if (SizeKnown() && strm.total_in < Options().compressedSize && RestartsForNextStream()) {
        // Another stream follows inside the entry: decode it as a continuation.
        Stop();
        const char* msg = nullptr;
        const int started = Start(msg);
        if (started != res::kOk) return Fail(strm, started, msg);
        continue;
      }
      phase_ = Phase::Ended;
      return res::kStreamEnd;
    }
    if (!moved) {
      // Every compressed byte of the entry was offered and the stream is not
      // complete: no more input will help.
      if (step.lastInput)
        return Fail(strm, res::kDataError, "compressed data ends inside the stream");
      break;
    }
  }
  return progress ? res::kOk : res::kBufError;
}

}  // namespace codec_detail
}  // namespace arc
