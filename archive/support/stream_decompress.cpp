//===-- support/stream_decompress.cpp - The decompressing reader ----------===//
#include <algorithm>
#include <limits>

#include "support/stream_adapters.h"

namespace arc {

TDecompressStream::TDecompressStream(TStream32& source, int32_t windowBits,
                                     InflateVariant variant)
    : TDecompressStream(source, MakeInflateDecoder(windowBits, variant)) {}

TDecompressStream::TDecompressStream(TStream32& source, std::unique_ptr<StreamDecoder> decoder)
    : TCustomStream(source, kCrcKind32), buffer_(new uint8_t[kAdapterBufferSize]), decoder_(std::move(decoder)) {
  InitInflate();
}

TDecompressStream::~TDecompressStream() {
  try {
    // The engine may have taken more input than the stream it decoded: hand
    // the rest back, so that the source stands right after the compressed data.
    if (engine_.avail_in > 0) stream_->SetPosition(stream_pos_ - engine_.avail_in);
  } catch (...) {
  }
  EndInflate();
}

void TDecompressStream::InitInflate() {
  engine_.next_in = buffer_.get();
  engine_.avail_in = 0;
  init_result_ = decoder_ ? decoder_->Init(engine_) : inflate_result::StreamError;
  engine_started_ = init_result_ == inflate_result::Ok;
}

void TDecompressStream::ResetInflate() {
  if (engine_started_) decoder_->Reset(engine_);
}

void TDecompressStream::EndInflate() {
  if (engine_started_) decoder_->End(engine_);
  engine_started_ = false;
}

int TDecompressStream::InflateStep() { return decoder_->Decode(engine_); }

int32_t TDecompressStream::Write(const void*, int32_t) { return -1; }

int32_t TDecompressStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  // An engine that never started would refuse every call: say so at once.
  if (!engine_started_) return init_result_ < 0 ? init_result_ : inflate_result::StreamError;
  engine_.next_out = static_cast<uint8_t*>(buffer);
  engine_.avail_out = static_cast<uint32_t>(count);
  Reposition();
  while (engine_.avail_out > 0) {
    if (engine_.avail_in == 0) {
      const int32_t want = std::min<int32_t>(count, static_cast<int32_t>(kAdapterBufferSize));
      const int32_t got = stream_->Read(buffer_.get(), want);
      Remember();
      engine_.next_in = buffer_.get();
      if (got > 0) {
        engine_.avail_in = static_cast<uint32_t>(got);
        if (Control.Encrypted && Control.Cipher) Control.Cipher(buffer_.get(), static_cast<uint32_t>(got));
        Notify(*this);
      }
    }
    const uint32_t in_before = engine_.avail_in;
    const uint32_t out_before = engine_.avail_out;
    const int result = InflateStep();
    if (result == inflate_result::StreamEnd) {
      Control.EndOfData = true;
      break;
    }
    if (result < 0) return result;
    // A call that neither took input nor gave output would be made again and
    // again; it means the input ran out.
    if (engine_.avail_in == in_before && engine_.avail_out == out_before)
      return inflate_result::BufError;
  }
  return count;
}

int64_t TDecompressStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset < std::numeric_limits<int32_t>::min() || offset > std::numeric_limits<int32_t>::max())
    throw ERangeError();
  const auto total = static_cast<int64_t>(engine_.total_out);
  if (offset == 0 && origin == TSeekOrigin::soBeginning) {
    ResetInflate();
    engine_.next_in = buffer_.get();
    engine_.avail_in = 0;
    stream_->SetPosition(0);
    stream_pos_ = 0;
    Control.EndOfData = false;
  } else if ((origin == TSeekOrigin::soCurrent && offset >= 0) ||
             (origin == TSeekOrigin::soBeginning && offset > total)) {
    int64_t skip = origin == TSeekOrigin::soCurrent ? offset : offset - total;
    uint8_t scratch[kSkipChunk];
    // After the end nothing more can come: stop instead of reading in vain.
    while (skip > 0 && !Control.EndOfData) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(skip, kSkipChunk));
      ReadBuffer(scratch, n);
      skip -= n;
    }
  }
  return static_cast<int64_t>(engine_.total_out);
}

}  // namespace arc
