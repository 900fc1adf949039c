//===-- arc/codec/deflate_type.h - Compression level of the writer --*- C++ -*-===//
#pragma once

#include <cstdint>

namespace arc {

/// Compression level of the writer, from storing to the strongest; the order
/// is stored in settings, so values may only be appended. The engine level of
/// each value is chosen by DeflateLevel (codec/deflate.h).
enum TDeflateType : uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };

}  // namespace arc
