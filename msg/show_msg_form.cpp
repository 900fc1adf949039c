//===-- msg/show_msg_form.cpp - The modal message window --------*- C++ -*-===//
#include "show_msg_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTextOption>
#include <QWindow>
#include <algorithm>

#include "design_font.h"
#include "msg_layout.h"

namespace msg {

namespace {

constexpr int kButtonHeight = 25;
constexpr int kStockPictureSize = 32;

QString Caption(const char* caption) { return QCoreApplication::translate("msg", caption); }

// The message text. Qt would choose the direction of each line from its first
// letter, so that Persian lines of a left-justified message would end up flush
// right, their punctuation on the wrong side; the lines are drawn in the
// label's own direction instead.
class TMsgLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QTextOption option(alignment());
    option.setTextDirection(layoutDirection());
    option.setWrapMode(QTextOption::NoWrap);
    painter.drawText(QRectF(contentsRect()), text(), option);
  }
};

QLabel* HiddenPicture(QWidget* parent, QStyle::StandardPixmap which, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setPixmap(
      QApplication::style()->standardIcon(which).pixmap(kStockPictureSize, kStockPictureSize));
  label->hide();
  return label;
}

TBitBtn* DesignButton(QWidget* parent, const char* name, const QRect& rect, const QString& caption,
                      TModalResult result) {
  auto* button = new TBitBtn(parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  button->setText(caption);
  button->SetModalResult(result);
  return button;
}

}  // namespace

TShowMsgForm::TShowMsgForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName("ShowMsgForm");
  setWindowTitle("ShowMsgForm");
  // The window lays its text out left to right whatever its parent does; the
  // Persian lines carry their own punctuation for that.
  setLayoutDirection(Qt::LeftToRight);
  setFont(DesignFont("Tahoma", -11));
  QPalette face = palette();
  face.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
  setPalette(face);
  setAutoFillBackground(true);

  Panel2 = new QWidget(this);
  Panel2->setObjectName("Panel2");
  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  PanelImage = new QWidget(this);
  PanelImage->setObjectName("PanelImage");

  BitBtnOk = DesignButton(Panel1, "BitBtnOk", {179, kButtonTop, 76, kButtonHeight},
                          Caption(QT_TRANSLATE_NOOP("msg", "F2 تائيد")), mrOk);
  BitBtnOk->SetGlyph(StockGlyph(TBitBtnKind::bkOK));
  BitBtnCancel = DesignButton(Panel1, "BitBtnCancel", {96, kButtonTop, 75, kButtonHeight},
                              Caption(QT_TRANSLATE_NOOP("msg", "ان&صراف")), mrCancel);
  BitBtnClose = DesignButton(Panel1, "BitBtnClose", {8, kButtonTop, 76, kButtonHeight},
                             Caption(QT_TRANSLATE_NOOP("msg", "خرو&ج")), mrAbort);
  BitBtnClose->SetGlyph(
      QApplication::style()->standardIcon(QStyle::SP_DialogCloseButton).pixmap(16, 16));
  BitBtnClose->hide();
  setTabOrder(BitBtnOk, BitBtnCancel);
  setTabOrder(BitBtnCancel, BitBtnClose);
  for (TBitBtn* button : {BitBtnOk, BitBtnCancel, BitBtnClose}) {
    connect(button, &QPushButton::clicked, this, [this, button] {
      if (button->ModalResult() != mrNone) done(button->ModalResult());
    });
  }

  LabelTestWidth = new QLabel("LabelTestWidth", Panel1);
  LabelTestWidth->setObjectName("LabelTestWidth");
  LabelTestWidth->move(0, 24);
  LabelTestWidth->hide();

  ImagePicture = new QLabel(PanelImage);
  ImagePicture->setObjectName("ImagePicture");
  ImagePicture->setGeometry(6, 0, 53, 55);
  ImagePicture->setAlignment(Qt::AlignCenter);
  ImageWarning = HiddenPicture(PanelImage, QStyle::SP_MessageBoxWarning, "ImageWarning");
  ImageConfirm = HiddenPicture(PanelImage, QStyle::SP_MessageBoxQuestion, "ImageConfirm");
  ImageError = HiddenPicture(PanelImage, QStyle::SP_MessageBoxCritical, "ImageError");
  ImageInform = HiddenPicture(PanelImage, QStyle::SP_MessageBoxInformation, "ImageInform");
  NoBmp = new QToolButton(PanelImage);
  NoBmp->setObjectName("NoBmp");
  NoBmp->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogNoButton));
  NoBmp->hide();

  MsgLabel = new TMsgLabel(QStringLiteral("4444"), this);
  MsgLabel->setObjectName("MsgLabel");
  MsgLabel->setTextFormat(Qt::PlainText);
  MsgLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
  MsgLabel->move(3, kTopMarginHeight);

  SetWindowSize(316, 151);
  move(359, 316);
  BitBtnOk->setFocus();
}

void TShowMsgForm::SetMessageText(const QStringList& lines) {
  const QFontMetrics metrics(MsgLabel->font());
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  MsgLabel->setText(lines.join('\n'));
  MsgLabel->resize(width, metrics.height() * static_cast<int>(lines.size()));
}

bool TShowMsgForm::FormKeyDown(int key) {
  if (key == Qt::Key_F2) {
    done(BitBtnOk->ModalResult());
    return true;
  }
  if (key == Qt::Key_Escape) {
    done(!BitBtnClose->isHidden() ? BitBtnClose->ModalResult() : BitBtnCancel->ModalResult());
    return true;
  }
  return false;
}

TModalResult TShowMsgForm::FormClose(TModalResult result) const {
  // A second button that is no Cancel button (a kindless No) must not answer
  // "Cancel": the close box and Escape then mean the close button, or No.
  if (BitBtnCancel->Kind() != TBitBtnKind::bkCancel && result == mrCancel)
    result = !BitBtnClose->isHidden() ? BitBtnClose->ModalResult() : BitBtnCancel->ModalResult();
  // With the second button hidden there is nothing to cancel: the answer is the first button's.
  if (BitBtnCancel->isHidden() && result == mrCancel) result = BitBtnOk->ModalResult();
  return result;
}

void TShowMsgForm::done(int result) { QDialog::done(FormClose(result)); }

// The close box of the title bar.
void TShowMsgForm::reject() { done(mrCancel); }

void TShowMsgForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    for (TBitBtn* button : {BitBtnOk, BitBtnCancel, BitBtnClose}) {
      if (button->Cancel() && !button->isHidden() && button->isEnabled()) {
        button->click();
        return;
      }
    }
  }
  if (FormKeyDown(event->key())) return;
  QDialog::keyPressEvent(event);
}

void TShowMsgForm::SetPictureColumn(int32_t width) {
  pictureColumn_ = std::max(0, width);
  layoutPanels();
}

void TShowMsgForm::SetWindowSize(int32_t width, int32_t height) {
  outerSize_ = QSize(std::max(1, width), std::max(1, height));
  fitOuterSize();
}

QMargins TShowMsgForm::FrameMargins() const {
  if (const QWindow* window = windowHandle()) return window->frameMargins();
  // Not made yet: the frame will be like that of the window it opens over.
  if (const QWidget* owner = parentWidget()) {
    if (const QWindow* window = owner->window()->windowHandle()) return window->frameMargins();
  }
  return {};
}

void TShowMsgForm::fitOuterSize() {
  frame_ = FrameMargins();
  setFixedSize(std::max(1, outerSize_.width() - frame_.left() - frame_.right()),
               std::max(1, outerSize_.height() - frame_.top() - frame_.bottom()));
  layoutPanels();
}

// The frame is known for certain once the window shows, and on X11 once the
// window manager has framed it, which moves the window.
void TShowMsgForm::showEvent(QShowEvent* event) {
  fitOuterSize();
  QDialog::showEvent(event);
}

void TShowMsgForm::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (FrameMargins() != frame_) fitOuterSize();
}

void TShowMsgForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layoutPanels();
}

void TShowMsgForm::layoutPanels() {
  const int w = width();
  const int h = height();
  Panel2->setGeometry(0, 0, w, kTopMarginHeight);
  Panel1->setGeometry(0, h - kButtonBarHeight, w, kButtonBarHeight);
  PanelImage->setGeometry(w - pictureColumn_, kTopMarginHeight, pictureColumn_,
                          std::max(0, h - kTopMarginHeight - kButtonBarHeight));
}

}  // namespace msg
