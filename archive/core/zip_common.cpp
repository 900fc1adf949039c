//===-- core/zip_common.cpp - Shared core of writer and reader ------------===//
#include <arc/core/zip_common.h>

#include <arc/codec/trad_cipher.h>
#include <arc/support/dos_time.h>
#include <arc/support/error_codes.h>
#include "codec/secure_wipe.h"
#include "core/disk_manager.h"

namespace arc {

TZipCommon::TZipCommon(TComponent* owner)
    : TArcRoot(owner),
      cipher_(std::make_unique<TradCipher>()),
      diskManager_(std::make_unique<TDiskManager>(*this)) {
  ResetProgressDispatcher();
}

TZipCommon::~TZipCommon() {
  // Passwords the reader was given or learnt do not outlive the component.
  for (std::string& password : passwords_) SecureWipe(password);
}

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

TDateTime TZipCommon::DosDateToDateTime(uint32_t dos) const {
  const int32_t year = 1980 + static_cast<int32_t>(dos >> 25);
  const int32_t month = static_cast<int32_t>((dos >> 21) & 0x0F);
  const int32_t day = static_cast<int32_t>((dos >> 16) & 0x1F);
  // The general conversion keeps the time of day of a value whose date is
  // invalid; here such a value stands for the default moment as a whole.
  if (!IsValidDate(year, month, day)) return kDosDefaultDateTime;
  return DosToDateTime(dos);
}

}  // namespace arc
