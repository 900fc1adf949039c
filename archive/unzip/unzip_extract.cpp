//===-- unzip/unzip_extract.cpp - The extraction driver -------------------===//
//
// Minimal body: nothing is extracted yet. The extraction driver replaces
// this file.
//
//===----------------------------------------------------------------------===//
#include "core/un_base.h"

namespace arc {

int32_t TUnBase::Extract() { return 0; }

}  // namespace arc
