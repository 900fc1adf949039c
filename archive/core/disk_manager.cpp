//===-- core/disk_manager.cpp - Drive checks of a component --------------===//
#include "core/disk_manager.h"

#include <arc/core/zip_common.h>

namespace arc {

DriveService& TDiskCommon::Service() const { return service_ ? *service_ : DefaultDriveService(); }

TDiskManager::TDiskManager(TZipCommon& owner, DriveService* service)
    : TDiskCommon(service), owner_(owner) {}

DriveService& TDiskManager::Service() const { return service_ ? *service_ : owner_.Drives(); }

bool TDiskManager::CheckDrive(const std::string& path, bool needWritable) {
  DriveQueryHandlers handlers;
  // A handler is passed only when the event is assigned: without one the
  // service reports the failure instead of asking.
  if (owner_.OnDiskInDrvErr) {
    handlers.OnDiskInDrvErr = [this](bool& Abort) { owner_.OnDiskInDrvErr(this, Abort); };
  }
  if (owner_.OnDiskWriteProtectErr) {
    handlers.OnDiskWriteProtectErr = [this](bool& Abort) {
      owner_.OnDiskWriteProtectErr(this, Abort);
    };
  }
  handlers.reportError = [this](int32_t code, const std::string& drive) {
    owner_.ReportError(drive, "", "0", code);
  };
  handlers.prompts = &owner_.dialogs;
  handlers.needWritable = needWritable;
  DriveInfo found;
  if (!Service().DriveQuery(path, handlers, found)) return false;
  info_ = found;
  return true;
}

}  // namespace arc
