//===-- support/drive_service.cpp - The drive query algorithm ---*- C++ -*-===//
#include <arc/support/drive_service.h>

#include <cstdio>

#include <arc/support/error_codes.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>

namespace arc {

int32_t LabelDiskNumber(std::string_view label) {
  size_t at = label.rfind(kSpanLabelPrefix);
  if (at == std::string_view::npos) return 0;
  std::string_view digits = label.substr(at + kSpanLabelPrefix.size());
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return 0;  // no disk set is that long; treat as no number
  }
  return int32_t(value);
}

std::string SpanDiskLabel(int32_t n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*s%.3d", int(kSpanLabelPrefix.size()), kSpanLabelPrefix.data(),
                n);
  return buf;
}

std::string SerialText(uint32_t serial) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", serial);
  return buf;
}

std::string_view DriveTypeName(int32_t driveType) {
  static constexpr std::string_view kNames[] = {
      "Unknown", "None", "Floppy", "Fixed", "Network", "CD-ROM", "RAM", "3½ Floppy", "5¼ Floppy"};
  if (driveType < 0 || driveType >= int32_t(std::size(kNames))) return kNames[0];
  return kNames[driveType];
}

bool DriveService::DriveQuery(const std::string& path, const DriveQueryHandlers& h,
                              DriveInfo& info) {
  info = DriveInfo{};
  const bool network = IsNetworkPath(path);
  const std::string root = DriveRoot(path);
  auto report = [&](int32_t code) {
    if (h.reportError) h.reportError(code, root);
  };
  if (root.empty()) {
    report(ec::NotAccessible);
    return false;
  }

  // Each wait asks its handler; the handler swaps or unlocks the disk and
  // clears Abort to have the drive tested again.
  auto wait = [&](auto ok, const std::function<void(bool&)>& handler, int32_t noHandlerCode) {
    while (!ok()) {
      if (!handler) {
        report(noHandlerCode);
        return false;
      }
      bool abort = true;
      handler(abort);
      if (abort) {
        report(ec::UserCanceled);
        return false;
      }
    }
    return true;
  };
  if (!network) {
    if (!wait([&] { return IsReady(root); }, h.OnDiskInDrvErr, ec::NotAccessible)) return false;
    if (h.needWritable && !wait([&] { return !IsWriteProtected(root); }, h.OnDiskWriteProtectErr,
                                ec::WriteProtected)) {
      return false;
    }
  }

  for (;;) {
    std::string error;
    if (ReadVolume(root, info, error)) break;
    std::string text = root;
    text.append(ErrorText(ec::NotAccessible)).append("\r\n\r\n").append(error);
    if (h.prompts == nullptr || !h.prompts->AskRetryCancel(text)) {
      info = DriveInfo{};
      report(ec::NotAccessible);
      return false;
    }
  }
  info.root = root;
  info.labelDiskNumber = LabelDiskNumber(info.volumeLabel);
  info.serialText = SerialText(info.serialNumber);
  if (info.driveType == KDriveNoRootDir) {
    report(ec::NotAccessible);
    return false;
  }
  if (!network) ReadSpace(root, info.freeBytes, info.totalBytes);
  // Linux cannot tell the floppy kinds apart, so a removable drive reads "Unknown".
  info.driveTypeName =
      DriveTypeName(info.driveType == KDriveRemovable ? KDriveUnknown : info.driveType);
  return true;
}

}  // namespace arc
