//===-- unzip/unzip.cpp - The ZIP reader component: settings --------------===//
#include "unzip/unzip.h"

#include <algorithm>

namespace arc {

TUnZip::TUnZip(TComponent* Owner) : TUnBase(Owner) {}

TUnZip::~TUnZip() = default;

void TUnZip::SetExtractDir(const std::string& value) {
  std::string dir = value;
  if (dir.empty()) {
    const std::string& archive = ArchiveFile();
    const size_t slash = archive.find_last_of('/');
    dir = slash == std::string::npos ? std::string() : archive.substr(0, slash + 1);
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  extract_dir_ = dir;
}

void TUnZip::SetZipCmntBufSize(int32_t value) {
  zip_cmnt_buf_size_ = std::clamp<int32_t>(value, 2000, 32767);
}

}  // namespace arc
