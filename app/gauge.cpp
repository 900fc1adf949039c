//===-- app/gauge.cpp - Horizontal bar gauge with its percentage -*- C++ -*-===//
#include "gauge.h"

#include <QPainter>
#include <algorithm>

namespace app {

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetMinValue(int32_t value) {
  minValue_ = std::min(value, maxValue_);
  SetProgress(progress_);
}

void TGauge::SetMaxValue(int32_t value) {
  maxValue_ = std::max(value, minValue_);
  SetProgress(progress_);
}

void TGauge::SetProgress(int32_t value) {
  const int32_t clamped = std::clamp(value, minValue_, maxValue_);
  if (clamped == progress_) return;
  progress_ = clamped;
  update();
}

int32_t TGauge::PercentDone() const {
  const int64_t range = static_cast<int64_t>(maxValue_) - minValue_;
  if (range <= 0) return 0;
  return static_cast<int32_t>((static_cast<int64_t>(progress_) - minValue_) * 100 / range);
}

void TGauge::SetShowText(bool value) {
  showText_ = value;
  update();
}

void TGauge::SetForeColor(const QColor& value) {
  foreColor_ = value;
  update();
}

void TGauge::SetBackColor(const QColor& value) {
  backColor_ = value;
  update();
}

void TGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect outer = rect();
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(outer.adjusted(0, 0, -1, -1));  // single border
  const QRect inner = outer.adjusted(1, 1, -1, -1);
  painter.fillRect(inner, backColor_);

  const int filledWidth = inner.width() * PercentDone() / 100;
  QRect filled = inner;
  filled.setWidth(filledWidth);
  if (layoutDirection() == Qt::RightToLeft) filled.moveRight(inner.right());
  if (filledWidth > 0) painter.fillRect(filled, foreColor_);
  if (!showText_) return;

  const QString text = QString::number(PercentDone()) + '%';
  const QRegion empty = QRegion(inner).subtracted(QRegion(filled));
  painter.setClipRegion(empty);
  painter.setPen(foreColor_);
  painter.drawText(inner, Qt::AlignCenter, text);
  if (filledWidth > 0) {
    painter.setClipRect(filled);
    painter.setPen(backColor_);
    painter.drawText(inner, Qt::AlignCenter, text);
  }
}

}  // namespace app
