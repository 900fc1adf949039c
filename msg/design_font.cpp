//===-- msg/design_font.cpp - Fonts of the designed windows -----*- C++ -*-===//
#include "design_font.h"

#include <QStringList>
#include <cmath>
#include <cstdlib>

namespace msg {

namespace {

// The Persian display face of the design is a naskh face; Noto Naskh Arabic is the
// closest match. The dialog faces (Tahoma, MS Sans Serif) become Noto Sans Arabic.
QStringList StandInFamilies(std::string_view family) {
  if (family == "QRVZIBA") return {"Noto Naskh Arabic", "Noto Sans"};
  return {"Noto Sans Arabic", "Noto Sans"};
}

}  // namespace

QFont DesignFont(std::string_view family, int32_t height) {
  QFont font;
  const QStringList families = StandInFamilies(family);
  font.setFamily(families.front());
  font.setFamilies(families);
  font.setPixelSize(std::max(1, std::abs(height)));
  return font;
}

int32_t FontPixelHeight(const QFont& font) {
  if (font.pixelSize() > 0) return font.pixelSize();
  return static_cast<int32_t>(std::lround(font.pointSizeF() * 96.0 / 72.0));
}

}  // namespace msg
