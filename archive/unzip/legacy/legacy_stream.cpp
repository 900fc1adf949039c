//===-- unzip/legacy/legacy_stream.cpp - Buffered bit input and byte output -===//
#include "unzip/legacy/legacy_stream.h"

namespace arc::legacy {

int32_t BitInput::Refill() {
  if (ended_) return -1;
  if (*cancel_) {
    ended_ = cancelled_ = true;
    return -1;
  }
  if (remaining_ == 0) {
    ended_ = true;
    return -1;
  }
  uint32_t want = remaining_ < kBlockSize ? static_cast<uint32_t>(remaining_) : kBlockSize;
  uint32_t got = io_.readBlock ? io_.readBlock(buffer_, want) : 0;
  if (got == 0) {
    ended_ = true;
    return -1;
  }
  if (got > want) got = want;  // a source that claims more than it was asked for
  remaining_ -= got;
  next_ = 0;
  end_ = got;
  tookAny_ = true;
  return buffer_[next_++];
}

void ByteOutput::Flush() {
  if (count_ == 0) return;
  uint32_t size = count_;
  count_ = 0;
  flushed_ += size;
  if (failed_) return;
  if (!io_.writeBlock || !io_.writeBlock(buffer_, size)) {
    failed_ = true;
    Fail(io_, ec::WriteError, LegacySeverity::Raise);
    return;
  }
  written_ += size;
  if (io_.onProgress) io_.onProgress(size, written_);
}

int32_t Finish(BitInput& in, ByteOutput& out) {
  out.Flush();
  if (out.Failed()) return ec::WriteError;
  if (in.Cancelled()) return ec::UserCanceled;
  return 0;
}

int32_t Abort(LegacyIo& io, ByteOutput& out, int32_t code, LegacySeverity severity) {
  // What was decoded before the fault is good data; write it before the entry
  // ends, as a raised error leaves nobody to flush it afterwards.
  out.Flush();
  if (out.Failed()) return ec::WriteError;
  return Fail(io, code, severity);
}

}  // namespace arc::legacy
