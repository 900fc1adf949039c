//===-- core/arc_root_open.cpp - Opening an assigned archive -------------===//
//
// Assigning ArchiveFile looks at the file at once: its type, where the
// archive data begins, and for ZIP where the end record and the central
// directory lie. The work is the reader's detection, reached through
// DetectArchive; this file keeps the component's side of it (the name, the
// state, the archive date).
//
//===----------------------------------------------------------------------===//
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include <arc/core/arc_root.h>
#include <arc/support/byte_source.h>
#include <arc/support/dos_time.h>
#include <arc/support/drive_service.h>
#include <arc/support/errors.h>
#include <arc/support/paths.h>
#include "support/stream_errors.h"

namespace arc {
namespace {

/// The volume number in an extension such as ".r01" or ".a02"; 0 without
/// digits.
int32_t VolumeFromExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  const size_t slash = name.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
  int32_t value = 0;
  size_t digits = 0;
  for (size_t i = name.size(); i > dot + 1 && std::isdigit(static_cast<unsigned char>(name[i - 1]));
       --i) {
    ++digits;
  }
  if (digits == 0 || digits > 6) return 0;
  for (size_t i = name.size() - digits; i < name.size(); ++i) value = value * 10 + (name[i] - '0');
  return value;
}

}  // namespace

DriveService& TArcRoot::Drives() const { return drives_ ? *drives_ : DefaultDriveService(); }

TArcType TArcRoot::DetectArchive(ByteSource& /*file*/, ArcOpenState& /*open*/) { return atNA; }

bool TArcRoot::DetectType() {
  open_ = ArcOpenState{};
  arcType_ = atNA;
  FileSource file(archiveFile_);
  if (!file.IsOpen()) return false;

  arcType_ = DetectArchive(file, open_);

  struct stat st {};
  open_.archiveDate =
      ::stat(archiveFile_.c_str(), &st) == 0 ? FileTimeToDos(st.st_mtime) : open_.archiveDate;
  if (IsValidArcType(arcType_) && !IsZipType(arcType_)) {
    switch (arcType_) {
      case atAce:
      case atAceExe:
      case atArj:
      case atArjExe:
      case atJar:
      case atJarExe:
      case atRar:
      case atRarExe:
        open_.volumeNumber = VolumeFromExtension(archiveFile_);
        break;
      default:
        break;
    }
  }
  return true;
}

void TArcRoot::SetArchiveFile(const std::string& value) {
  open_ = ArcOpenState{};
  arcType_ = atNA;
  if (value.empty() || !FileExists(value)) {
    archiveFile_.clear();
    return;
  }
  // Local paths use '/'; a name typed with backslashes still means folders.
  std::string name = value;
  std::replace(name.begin(), name.end(), '\\', '/');
  archiveFile_ = name;
  DetectType();
}

void TArcRoot::SetArcType(TArcType /*value*/) {
  if (!DetectType()) throw EFOpenError(std::string(ErrorText(ec::OpenError)));
}

}  // namespace arc
