//===-- msg/bit_btn.cpp - Push button with a kind and a modal result -*- C++ -*-===//
#include "bit_btn.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QStyle>

namespace msg {

namespace {
constexpr int kGlyphSize = 16;
}

QPixmap StockGlyph(TBitBtnKind kind) {
  QStyle::StandardPixmap which;
  switch (kind) {
    case TBitBtnKind::bkOK:
      which = QStyle::SP_DialogOkButton;
      break;
    case TBitBtnKind::bkCancel:
      which = QStyle::SP_DialogCancelButton;
      break;
    case TBitBtnKind::bkYes:
      which = QStyle::SP_DialogYesButton;
      break;
    case TBitBtnKind::bkNo:
      which = QStyle::SP_DialogNoButton;
      break;
    case TBitBtnKind::bkCustom:
    default:
      return {};
  }
  return QApplication::style()->standardIcon(which).pixmap(kGlyphSize, kGlyphSize);
}

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent) {}

// A push button takes Enter only as a dialog's default button; outside dialogs
// (the main window) it would be lost.
void TBitBtn::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier && isEnabled()) {
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  switch (kind) {
    case TBitBtnKind::bkCustom:
      return;
    case TBitBtnKind::bkOK:
      modalResult_ = mrOk;
      break;
    case TBitBtnKind::bkCancel:
      modalResult_ = mrCancel;
      break;
    case TBitBtnKind::bkYes:
      modalResult_ = mrYes;
      break;
    case TBitBtnKind::bkNo:
      modalResult_ = mrNo;
      break;
  }
  const bool accepts = kind == TBitBtnKind::bkOK || kind == TBitBtnKind::bkYes;
  setDefault(accepts);
  cancel_ = !accepts;
  SetGlyph(StockGlyph(kind));
}

void TBitBtn::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  setIcon(glyph.isNull() ? QIcon() : QIcon(glyph));
}

}  // namespace msg
