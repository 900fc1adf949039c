//===-- core/disk_manager.cpp - Drive checks of a component --------------===//
#include "core/disk_manager.h"

#include "core/zip_common.h"

namespace arc {

TDiskCommon::TDiskCommon(DriveService* service)
    : service_(service ? service : &DefaultDriveService()) {}

void TDiskCommon::SetService(DriveService* service) {
  service_ = service ? service : &DefaultDriveService();
}

TDiskManager::TDiskManager(TZipCommon& owner, DriveService* service)
    : TDiskCommon(service), owner_(owner) {}

bool TDiskManager::CheckDrive(const std::string& path, bool need_writable) {
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
  handlers.ReportError = [this](int32_t code, const std::string& drive) {
    owner_.ReportError(drive, "", "0", code);
  };
  handlers.prompts = &owner_.Dialogs;
  handlers.NeedWritable = need_writable;
  DriveInfo found;
  if (!service_->DriveQuery(path, handlers, found)) return false;
  info_ = found;
  return true;
}

}  // namespace arc
