//===-- support/stream_calc_crc.cpp - The checksum sink -------------------===//
#include "support/stream_adapters.h"

namespace arc {

TCalcStreamCRC::TCalcStreamCRC(TStream32& source, ProgressHandler progress, bool* cancel,
                               const TransferControl& transferControl, uint8_t crcKind,
                               int64_t count, std::function<void()> pump)
    : TCustomStream(source, crcKind), crc_(crcKind == kCrcKind16 ? 0 : kCrc32Init) {
  control = transferControl;
  Cancel = cancel;
  ownerProgress = std::move(progress);
  processMessages = std::move(pump);
  CopyFrom(source, count);
}

int32_t TCalcStreamCRC::Read(void*, int32_t) { return -1; }

int64_t TCalcStreamCRC::Seek(int64_t, TSeekOrigin) { return -1; }

int32_t TCalcStreamCRC::Write(const void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  UpdateCrc(crc_, buffer, count);
  // A first pass over a source without a handler neither reports progress nor
  // lowers the count: the data will be counted when it is really written.
  if (stream_->activeProgress) {
    LowerRemaining(count);
    Notify(*stream_);
  }
  return count;
}

}  // namespace arc
