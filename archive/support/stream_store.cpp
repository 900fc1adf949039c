//===-- support/stream_store.cpp - The storing writer ---------------------===//
#include <algorithm>
#include <cstring>

#include "support/stream_adapters.h"

namespace arc {

TStoreStream::TStoreStream(TStream32& destination, ProgressHandler progress, bool* cancel,
                           const TransferControl& transferControl, uint8_t crcKind)
    : TCustomStream(destination, crcKind), progress_(std::move(progress)), ownerCancel_(cancel) {
  Cancel = cancel;
  control = transferControl;
  // An entry encrypted with the traditional cipher keeps the CRC the writer
  // computed in its first pass.
  if (control.KeepsCrc()) {
    if (crcKind == kCrcKind16) control.crc = 0;
    if (crcKind == kCrcKind32) control.crc = kCrc32Init;
  }
}

int64_t TStoreStream::StoreFrom(TStream32& source) {
  source.activeProgress = progress_;
  source.Cancel = ownerCancel_;
  return StoreCopy(source, 0);
}

int64_t TStoreStream::StoreCopy(TStream32& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t asked = count;
  const int32_t chunk = static_cast<int32_t>(std::clamp<int64_t>(count, 0, kStoreChunk));
  std::vector<uint8_t> buffer(static_cast<size_t>(chunk > 0 ? chunk : 1));
  auto cancelled = [this] { return ownerCancel_ != nullptr && *ownerCancel_; };
  source_ = &source;
  while (count > 0 && !cancelled()) {
    if (processMessages) processMessages();
    if (cancelled()) break;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, chunk));
    source.ReadBuffer(buffer.data(), n);
    Write(buffer.data(), n);
    count -= n;
  }
  source_ = nullptr;
  return asked;
}

int32_t TStoreStream::Read(void*, int32_t) { return -1; }

int64_t TStoreStream::Seek(int64_t, TSeekOrigin) { return -1; }

int32_t TStoreStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  const void* out = buffer;
  if (control.KeepsCrc()) UpdateCrc(control.crc, buffer, count);
  if (control.encrypted && control.cipher) {
    // Enciphered in a copy: the caller's bytes stay as they were.
    cipherBuffer_.assign(static_cast<const uint8_t*>(buffer),
                         static_cast<const uint8_t*>(buffer) + count);
    control.cipher(cipherBuffer_.data(), static_cast<uint32_t>(count));
    out = cipherBuffer_.data();
  }
  LowerRemaining(count);
  Reposition();
  stream_->WriteBuffer(out, count);
  Remember();
  if (source_ != nullptr) Notify(*source_);
  return count;
}

}  // namespace arc
