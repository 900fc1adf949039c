//===-- support/stream_decompress.cpp - The decompressing reader ----------===//
#include <algorithm>
#include <limits>

#include "support/stream_adapters.h"

namespace arc {

TDecompressStream::TDecompressStream(TStream32& source, int32_t windowBits, InflateVariant variant)
    : TDecompressStream(source, MakeInflateDecoder(windowBits, variant)) {}

TDecompressStream::TDecompressStream(TStream32& source, std::unique_ptr<StreamDecoder> decoder)
    : TCustomStream(source, kCrcKind32),
      buffer_(new uint8_t[kAdapterBufferSize]),
      decoder_(std::move(decoder)) {
  InitInflate();
}

TDecompressStream::~TDecompressStream() {
  try {
    // The engine may have taken more input than the stream it decoded: hand
    // the rest back, so that the source stands right after the compressed data.
    if (engine_.avail_in > 0) stream_->SetPosition(streamPos_ - engine_.avail_in);
  } catch (...) {
  }
  EndInflate();
}

void TDecompressStream::InitInflate() {
  engine_.next_in = buffer_.get();
  engine_.avail_in = 0;
  initResult_ = decoder_ ? decoder_->Init(engine_) : inflate_result::kStreamError;
  engineStarted_ = initResult_ == inflate_result::kOk;
}

void TDecompressStream::ResetInflate() {
  if (engineStarted_) decoder_->Reset(engine_);
}

void TDecompressStream::EndInflate() {
  if (engineStarted_) decoder_->End(engine_);
  engineStarted_ = false;
}

int TDecompressStream::InflateStep() { return decoder_->Decode(engine_); }

int32_t TDecompressStream::Write(const void*, int32_t) { return -1; }

int32_t TDecompressStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  // An engine that never started would refuse every call: say so at once.
  if (!engineStarted_) return initResult_ < 0 ? initResult_ : inflate_result::kStreamError;
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
        if (control.encrypted && control.cipher)
          control.cipher(buffer_.get(), static_cast<uint32_t>(got));
        Notify(*this);
      }
    }
    const uint32_t inBefore = engine_.avail_in;
    const uint32_t outBefore = engine_.avail_out;
    const int result = InflateStep();
    if (result == inflate_result::kStreamEnd) {
      control.endOfData = true;
      break;
    }
    if (result < 0) return result;
    // A call that neither took input nor gave output would be made again and
    // again; it means the input ran out.
    if (engine_.avail_in == inBefore && engine_.avail_out == outBefore)
      return inflate_result::kBufError;
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
    streamPos_ = 0;
    control.endOfData = false;
  } else if ((origin == TSeekOrigin::soCurrent && offset >= 0) ||
             (origin == TSeekOrigin::soBeginning && offset > total)) {
    int64_t skip = origin == TSeekOrigin::soCurrent ? offset : offset - total;
    uint8_t scratch[kSkipChunk];
    // After the end nothing more can come: stop instead of reading in vain.
    while (skip > 0 && !control.endOfData) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(skip, kSkipChunk));
      ReadBuffer(scratch, n);
      skip -= n;
    }
  }
  return static_cast<int64_t>(engine_.total_out);
}

}  // namespace arc
