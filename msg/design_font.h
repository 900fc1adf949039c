//===-- msg/design_font.h - Fonts of the designed windows -------*- C++ -*-===//
//
// The windows were designed with Windows fonts that Debian does not ship. Each
// design family is drawn with a Persian-capable Noto family instead (package
// fonts-noto-core), with plain Noto Sans behind it for Latin letters and digits.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QFont>
#include <cstdint>
#include <string_view>

namespace msg {

/// The stand-in for a design font. `height` follows the design convention: a
/// negative value is the character height in pixels; its magnitude becomes the
/// pixel size either way.
QFont DesignFont(std::string_view family, int32_t height);

/// The character height of a font in pixels, as the design's negative height
/// gives it; a font sized in points is converted at 96 dots per inch.
int32_t FontPixelHeight(const QFont& font);

}  // namespace msg
