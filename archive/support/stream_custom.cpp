//===-- support/stream_custom.cpp - Base of the adapters ------------------===//
#include "support/stream_adapters.h"

namespace arc {

TCustomStream::TCustomStream(TStream32& stream, uint8_t crcKind)
    : stream_(&stream), stream_pos_(stream.Position()), crc_kind_(crcKind) {}

void TCustomStream::Reposition() {
  if (stream_->Position() != stream_pos_) stream_->SetPosition(stream_pos_);
}

void TCustomStream::UpdateCrc(uint32_t& crc, const void* data, int32_t count) const {
  if (crc_kind_ == kCrcKind32)
    Crc32Update(data, count, crc);
  else if (crc_kind_ == kCrcKind16)
    Crc16Update(data, count, crc);
}

}  // namespace arc
