//===-- core/zip_common_volumes.cpp - Volumes of multi-part archives ------===//
//
// What the shared core knows of volumes: a single-file archive is its own
// only volume and there is no other to ask for. The reader overrides both
// for split and spanned sets (unzip/unzip_volumes.cpp); the writer keeps
// these, since it updates only archives that are one file.
//
//===----------------------------------------------------------------------===//
#include <arc/core/zip_common.h>

namespace arc {

std::string TZipCommon::VolumeFileName(int32_t /*index*/) { return ArchiveFile(); }

bool TZipCommon::RequestVolume(int32_t /*index*/) { return false; }

}  // namespace arc
