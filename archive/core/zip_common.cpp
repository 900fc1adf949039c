//===-- core/zip_common.cpp - Shared core of writer and reader ------------===//
#include "core/zip_common.h"

#include "core/error_codes.h"

namespace arc {

TZipCommon::TZipCommon(TComponent* Owner) : TArcRoot(Owner) {
  ResetProgressDispatcher();
}

TZipCommon::~TZipCommon() = default;

void TZipCommon::SetArchiveFile(const std::string& value) {
  *cancel_ = false;
  TArcRoot::SetArchiveFile(value);
}

void TZipCommon::SetCancel(bool value) {
  const bool was = *cancel_;
  *cancel_ = value;
  // Only the change is reported: a handler that sets Cancel again while
  // handling this very report must not start an endless chain of reports.
  if (value && !was) ReportError(ArchiveFile(), EntryName(), "0", ec::UserCanceled);
}

}  // namespace arc
