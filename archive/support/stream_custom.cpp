//===-- support/stream_custom.cpp - Base of the adapters ------------------===//
#include "support/stream_adapters.h"

namespace arc {

TCustomStream::TCustomStream(TStream32& stream, uint8_t crcKind)
    : stream_(&stream), streamPos_(stream.Position()), crcKind_(crcKind) {}

void TCustomStream::Reposition() {
  if (stream_->Position() != streamPos_) stream_->SetPosition(streamPos_);
}

void TCustomStream::UpdateCrc(uint32_t& crc, const void* data, int32_t count) const {
  if (crcKind_ == kCrcKind32)
    Crc32Update(data, count, crc);
  else if (crcKind_ == kCrcKind16)
    Crc16Update(data, count, crc);
}

}  // namespace arc
