//===-- msg/bit_btn.h - Push button with a kind and a modal result -*- C++ -*-===//
//
// A push button that carries the modal result it gives its window, a glyph, and
// the two keyboard roles: the default button (Enter presses it) and the cancel
// button (Escape presses it while it is visible). Enter, like Space, presses
// the button that has the focus, in any window. Setting a kind gives the
// button the stock glyph, modal result and role of that kind.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QPixmap>
#include <QPushButton>
#include <cstdint>

namespace msg {

/// A window's modal result: the answer a modal window gives back.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;  ///< also the close button of the message window
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

/// The button kinds the windows use; bkCustom is a button without a kind.
enum class TBitBtnKind : uint8_t { bkCustom, bkOK, bkCancel, bkYes, bkNo };

class TBitBtn : public QPushButton {
 public:
  explicit TBitBtn(QWidget* parent = nullptr);

  TBitBtnKind Kind() const { return kind_; }
  /// Gives the stock glyph, modal result and role of `kind`: OK and Yes become
  /// default buttons, Cancel and No cancel buttons. bkCustom changes nothing else.
  void SetKind(TBitBtnKind kind);

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }

  /// The glyph drawn beside the caption; a null pixmap means none.
  const QPixmap& Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);

  /// Escape presses a visible cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  TModalResult modalResult_ = mrNone;
  QPixmap glyph_;
  bool cancel_ = false;
};

/// The stock glyph of a kind (a null pixmap for bkCustom).
QPixmap StockGlyph(TBitBtnKind kind);

}  // namespace msg
