//===-- zip/zip_compress.cpp - The update driver --------------------------===//
//
// Minimal body: nothing is written yet. The update driver replaces this file.
//
//===----------------------------------------------------------------------===//
#include "zip/zip.h"

namespace arc {

int32_t TZipBase::Compress() { return 0; }

}  // namespace arc
