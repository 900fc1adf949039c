//===-- core/zip_common_volumes.cpp - Volumes of multi-part archives ------===//
//
// Minimal bodies: a single-file archive is its own only volume. Reading
// split and spanned archives replaces this file.
//
//===----------------------------------------------------------------------===//
#include "core/zip_common.h"

namespace arc {

std::string TZipCommon::VolumeFileName(int32_t /*index*/) { return ArchiveFile(); }

bool TZipCommon::RequestVolume(int32_t /*index*/) { return false; }

}  // namespace arc
