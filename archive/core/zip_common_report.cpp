//===-- core/zip_common_report.cpp - Error and progress reporting ---------===//
#include <cmath>
#include <string>

#include <arc/core/zip_common.h>
#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include "support/stream_errors.h"

namespace arc {
namespace {

/// Keeps the stopwatch paused for a report, also when the handler throws, so
/// that time spent in the application's handler is not counted.
class PausedTimer {
 public:
  explicit PausedTimer(TArcTimer& timer) : timer_(timer) { timer_.Pause(); }
  ~PausedTimer() { timer_.Resume(); }
  PausedTimer(const PausedTimer&) = delete;
  PausedTimer& operator=(const PausedTimer&) = delete;

 private:
  TArcTimer& timer_;
};

}  // namespace

void TZipCommon::ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                             const std::string& VolumeID, int32_t ECode) {
  PausedTimer paused(timer_);
  if (Cancel()) ECode = ec::UserCanceled;
  Fire(OnError, this, FileName, ExtendedMsg, VolumeID, ECode);
}

void TZipCommon::RaiseError(TExceptionClass ExceptionClass, const std::string& FileName,
                            const std::string& ExtendedMsg, const std::string& VolumeID,
                            int32_t ECode) {
  {
    PausedTimer paused(timer_);
    const int32_t reported = Cancel() ? ec::UserCanceled : ECode;
    Fire(OnError, this, FileName, ExtendedMsg, VolumeID, reported);
    // A handler that cancelled takes the exception back.
    if (Cancel()) return;
  }
  ExceptionClass(std::string(ErrorText(ECode)));
}

void TZipCommon::ReportShortWrite(int errorNumber) {
  const int32_t code = WriteFailureCode(errorNumber);
  if (code == ec::DiskFull) {
    RaiseError(ArchiveFile(), EntryName(), "0", code);
  } else {
    ReportError(ArchiveFile(), EntryName(), "0", code);
  }
}

uint8_t TZipCommon::Percent(int64_t Total, int64_t Part) {
  if (Total <= 0) return 0;
  const double value = static_cast<double>(Part) * 100.0 / static_cast<double>(Total);
  if (!(value > 0)) return 0;
  if (value >= 100) return 100;
  // Round to nearest, a half to the even neighbour, whatever the current
  // floating-point rounding mode is.
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<uint8_t>(whole);
}

void TZipCommon::DoProgress(int64_t Total, int64_t FileSize, int64_t filePos) {
  DispatchProgress(Percent(FileSize, filePos), Percent(Total, Total - totals_.remaining));
}

void TZipCommon::DispatchProgress(uint8_t byFile, uint8_t byArchive) {
  try {
    if (progressDispatcher) progressDispatcher(byFile, byArchive);
  } catch (...) {
    // Progress is a side show: a failing handler must not end the operation.
  }
}

void TZipCommon::ResetProgressDispatcher() {
  progressDispatcher = [this](uint8_t byFile, uint8_t byArchive) {
    DefaultDispatch(byFile, byArchive);
  };
}

void TZipCommon::DefaultDispatch(uint8_t byFile, uint8_t byArchive) {
  dialogs.PumpMessages();
  Fire(OnProgress, this, byFile, byArchive);
}

}  // namespace arc
