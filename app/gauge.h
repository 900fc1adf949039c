//===-- app/gauge.h - Horizontal bar gauge with its percentage --*- C++ -*-===//
//
// A bar that fills with the fore colour in proportion to Progress within
// MinValue..MaxValue and shows the percentage in its middle. The bar grows from
// the reading side: from the right in a right-to-left window. The text is
// drawn in the fore colour over the empty part and in the back colour over the
// filled part, so that every digit stays legible at any position.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

namespace app {

class TGauge : public QWidget {
 public:
  explicit TGauge(QWidget* parent = nullptr);

  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t value);
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t value);
  /// Kept within MinValue..MaxValue.
  int32_t Progress() const { return progress_; }
  void SetProgress(int32_t value);
  /// The progress as a whole percentage of the range.
  int32_t PercentDone() const;

  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  const QColor& ForeColor() const { return foreColor_; }
  void SetForeColor(const QColor& value);
  const QColor& BackColor() const { return backColor_; }
  void SetBackColor(const QColor& value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int32_t minValue_ = 0;
  int32_t maxValue_ = 100;
  int32_t progress_ = 0;
  bool showText_ = true;
  QColor foreColor_ = Qt::black;
  QColor backColor_ = Qt::white;
};

}  // namespace app
