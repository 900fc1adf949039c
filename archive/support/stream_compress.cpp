//===-- support/stream_compress.cpp - The compressing writer --------------===//
#include <limits>

#include "support/stream_adapters.h"

namespace arc {

// The adapter's side of the engine protocol: CRC and remaining count as input
// is consumed, encipher-and-write for each output block, progress per call.
class TCompressStream::Client final : public DeflateClient {
 public:
  explicit Client(TCompressStream& s) : s_(s) {}

  bool Cancelled() const override { return s_.ControlCancelled(); }
  void Consumed(const uint8_t* data, uint32_t count) override {
    if (s_.control.KeepsCrc()) Crc32Update(data, static_cast<int32_t>(count), s_.control.crc);
    s_.LowerRemaining(count);
  }
  void Output(uint8_t* data, uint32_t count) override {
    if (s_.control.encrypted && s_.control.cipher) s_.control.cipher(data, count);
    s_.Reposition();
    s_.stream_->WriteBuffer(data, static_cast<int32_t>(count));
    s_.Remember();
  }
  void Stepped() override { Notify(s_); }

 private:
  TCompressStream& s_;
};

TCompressStream::TCompressStream(TStream32& destination, TDeflateType deflateType,
                                 int32_t windowBits)
    : TCustomStream(destination, kCrcKind32) {
  control.crc = kCrc32Init;
  InitDeflate(deflateType, windowBits);
}

TCompressStream::~TCompressStream() {
  try {
    Destroy();
  } catch (...) {
    // A failed final write was the caller's to see through Destroy().
  }
}

void TCompressStream::InitDeflate(TDeflateType deflateType, int32_t windowBits) {
  engine_ = std::make_unique<DeflateEngine>(deflateType, windowBits);
  failed_ = engine_->Failed();
}

int32_t TCompressStream::Read(void*, int32_t) { return -1; }

int32_t TCompressStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  nextIn_ = static_cast<const uint8_t*>(buffer);
  availIn_ = static_cast<uint32_t>(count);
  Reposition();
  DeflatePending();
  return count;
}

void TCompressStream::DeflatePending() {
  // The input is the caller's: it is consumed here or dropped (after a cancel
  // or an engine failure), never kept.
  const uint8_t* data = nextIn_;
  const uint32_t count = availIn_;
  nextIn_ = nullptr;
  availIn_ = 0;
  if (count == 0 || engine_ == nullptr) return;
  Client client(*this);
  if (engine_->Compress(data, count, client) == DeflateStatus::Failed) failed_ = true;
}

void TCompressStream::FinishDeflate() {
  if (engine_ == nullptr) return;
  Reposition();
  Client client(*this);
  if (engine_->Finish(client) == DeflateStatus::Failed) failed_ = true;
}

void TCompressStream::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  nextIn_ = nullptr;
  availIn_ = 0;
  struct Release {
    std::unique_ptr<DeflateEngine>& engine;
    ~Release() {
      if (engine) engine->End();
    }
  } release{engine_};
  FinishDeflate();
}

int64_t TCompressStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset < std::numeric_limits<int32_t>::min() || offset > std::numeric_limits<int32_t>::max())
    throw ERangeError();
  if (offset == 0 && origin == TSeekOrigin::soCurrent) return static_cast<int64_t>(TotalIn());
  return -1;
}

}  // namespace arc
