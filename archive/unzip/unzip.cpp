//===-- unzip/unzip.cpp - The ZIP reader component: settings --------------===//
#include <arc/unzip/unzip.h>

#include <algorithm>

#include <arc/support/paths.h>
#include "unzip/arc_detect.h"

namespace arc {

TUnZip::TUnZip(TComponent* Owner) : TUnBase(Owner) {}

TUnZip::~TUnZip() = default;

void TUnZip::SetExtractDir(const std::string& value) {
  extractDir_ = value.empty() ? ExtractFilePath(ArchiveFile()) : AppendSlash(value);
}

void TUnZip::SetZipCmntBufSize(int32_t value) {
  zipCmntBufSize_ = std::clamp<int32_t>(value, 2000, 32767);
}

TArcType TUnZip::DetectArchive(ByteSource& file, ArcOpenState& open) {
  Detection found = DetectArchiveFile(file, ArchiveFile(), Drives());
  open = found.open;
  return found.type;
}

}  // namespace arc
