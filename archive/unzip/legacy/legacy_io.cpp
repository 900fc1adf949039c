//===-- unzip/legacy/legacy_io.cpp - Method dispatch of the legacy decoders -===//
#include "unzip/legacy/legacy_io.h"

namespace arc {

int32_t DecodeLegacy(uint16_t method, uint16_t flags, LegacyIo& io) {
  switch (method) {
    case 1:
      return Unshrink(io);
    case 2:
    case 3:
    case 4:
    case 5:
      return Unreduce(io, method - 1);
    case 6:
      return Explode(io, flags);
    default:
      return ec::UnsupportedCompressionMethod;
  }
}

}  // namespace arc
