//===-- support/stream_ops.cpp - Deflating and checksumming a stream ------===//
#include "support/stream_ops.h"

namespace arc {

bool DeflateStream(TStream32& source, TStream32& destination, const TransferControl& control,
                   int32_t windowBits, const ProgressHandler& progress, TDeflateType deflateType,
                   uint32_t& crc, const std::function<void()>& processMessages, unsigned threads) {
  TCompressStream adapter(destination, deflateType, windowBits, threads);
  adapter.control = control;
  // Every entry's CRC covers its own data; that of an entry encrypted with the
  // traditional cipher was computed before and is not touched.
  if (control.KeepsCrc()) adapter.control.crc = kCrc32Init;
  adapter.ownerProgress = progress;
  adapter.activeProgress = progress;
  adapter.Cancel = control.Cancel;
  adapter.processMessages = processMessages;
  adapter.CopyFrom(source, 0);
  if (control.KeepsCrc()) {
    crc = adapter.control.crc ^ 0xFFFFFFFFu;
    if (source.Size() == 0 && crc == 0xFFFFFFFFu) crc = 0;
  }
  adapter.Destroy();  // completes the stream; a failed write raises here
  const bool cancelled = control.Cancel != nullptr && *control.Cancel;
  return !cancelled && !adapter.EngineFailed();
}

uint32_t StreamCrc32(TStream32& source, const TransferControl& control, bool* cancel,
                     const ProgressHandler& progress, int64_t count,
                     const std::function<void()>& processMessages) {
  TCalcStreamCRC calc(source, progress, cancel, control, kCrcKind32, count, processMessages);
  source.SetPosition(0);
  return calc.CRC();
}

}  // namespace arc
