//===-- msg/msg_form.cpp - The message component ----------------*- C++ -*-===//
#include "msg_form.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "design_font.h"
#include "msg_layout.h"

namespace msg {

namespace {

// The captions of the standard buttons; '&' marks the accelerator. Qt's
// translation tools know them in the context "msg".
const char* const kCaptionOk = QT_TRANSLATE_NOOP("msg", "&تائيد");
const char* const kCaptionCancel = QT_TRANSLATE_NOOP("msg", "ان&صراف");
const char* const kCaptionYes = QT_TRANSLATE_NOOP("msg", "&بلـه");
const char* const kCaptionNo = QT_TRANSLATE_NOOP("msg", "&خيـر");
const char* const kCaptionClose = QT_TRANSLATE_NOOP("msg", "خرو&ج");

QString Caption(const char* caption) { return QCoreApplication::translate("msg", caption); }

Qt::Alignment LabelAlignment(TAlignment alignment) {
  switch (alignment) {
    case TAlignment::taRightJustify:
      return Qt::AlignRight | Qt::AlignTop;
    case TAlignment::taCenter:
      return Qt::AlignHCenter | Qt::AlignTop;
    case TAlignment::taLeftJustify:
    default:
      return Qt::AlignLeft | Qt::AlignTop;
  }
}

void SetButton(TBitBtn& button, bool visible, TBitBtnKind kind, const char* caption) {
  button.setVisible(visible);
  button.SetKind(kind);
  button.setText(Caption(caption));
}

}  // namespace

TMsgForm::TMsgForm(QObject* owner) : QObject(owner) {}

TModalResult TMsgForm::ShowMessageIndex(int32_t index) {
  switch (index) {
    case 1:
      messageIndex_ = TMsgIndex::Msg1;
      break;
    case 2:
      messageIndex_ = TMsgIndex::Msg2;
      break;
    case 3:
      messageIndex_ = TMsgIndex::Msg3;
      break;
    default:
      messageIndex_ = TMsgIndex::Msg4;
      break;
  }
  return ShowMessage();
}

TModalResult TMsgForm::ShowMessage() {
  std::unique_ptr<TShowMsgForm> form = CreateShowForm();
  modalResult_ = form->exec();
  return modalResult_;
}

std::unique_ptr<TShowMsgForm> TMsgForm::CreateShowForm() {
  auto* ownerWidget = qobject_cast<QWidget*>(parent());
  auto form = std::make_unique<TShowMsgForm>(ownerWidget ? ownerWidget->window() : nullptr);

  // Without a title the caption stays blank: an empty one would be replaced by
  // the application's name.
  form->setWindowTitle(title_.empty() ? QStringLiteral(" ") : QString::fromStdString(title_));
  int32_t height = height_;
  int32_t width = width_;
  form->SetWindowSize(width, height);

  form->MsgLabel->setFont(font_);
  form->MsgLabel->setAlignment(LabelAlignment(alignment_));
  form->MsgLabel->clear();

  const TStringList& lines = lists_[static_cast<int>(messageIndex_)];
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  form->SetMessageText(text);
  lineCount_ = static_cast<int32_t>(lines.size());

  if (msgPicType_ == TMsgPicType::None) {
    form->ImagePicture->clear();
    form->SetPictureColumn(kPictureColumnNone);
  } else {
    form->SetPictureColumn(kPictureColumnShown);
    QPixmap shown;
    switch (msgPicType_) {
      case TMsgPicType::Warning:
        shown = form->ImageWarning->pixmap();
        break;
      case TMsgPicType::Error:
        shown = form->ImageError->pixmap();
        break;
      case TMsgPicType::Information:
        shown = form->ImageInform->pixmap();
        break;
      case TMsgPicType::Confirmation:
        shown = form->ImageConfirm->pixmap();
        break;
      default:
        shown = picture_;
        break;
    }
    form->ImagePicture->setPixmap(shown);
    form->ImagePicture->resize(shown.size());  // the image sizes itself to its picture
  }

  width = MsgWindowWidth(form->MsgLabel->width(), form->PictureColumn());
  width_ = width;
  height = MsgWindowHeight(FontPixelHeight(font_), lineCount_);
  height_ = height;
  form->SetWindowSize(width, height);
  place(*form, width, height);
  form->MsgLabel->move(kLabelLeft, form->MsgLabel->y());

  int32_t count = 1;
  setButtons(*form, count);
  if (!defaultSet_) {
    TBitBtn* buttons[3] = {form->BitBtnOk, form->BitBtnCancel, form->BitBtnClose};
    for (int i = 0; i < 3; ++i) {
      buttons[i]->setText(QString::fromStdString(captions_[i]));
      buttons[i]->SetGlyph(glyphs_[i]);
      buttons[i]->resize(widths_[i], buttons[i]->height());
    }
  }

  const int32_t b1 = form->BitBtnOk->width();
  const int32_t b2 = form->BitBtnCancel->width();
  const int32_t b3 = form->BitBtnClose->width();
  const int32_t required = count == 1 ? b1 : count == 2 ? b1 + b2 : b1 + b2 + b3;
  if (FitWidth(required, width)) {
    form->SetWindowSize(width, height);
    place(*form, width, height);
  }
  const auto lefts = ButtonLefts(count, width, b1, b2, b3);
  TBitBtn* arranged[3] = {form->BitBtnOk, form->BitBtnCancel, form->BitBtnClose};
  for (int i = 0; i < count; ++i) arranged[i]->move(lefts[i], kButtonTop);
  return form;
}

void TMsgForm::place(TShowMsgForm& form, int32_t width, int32_t height) {
  if (!screenCenter_) {
    form.move(leftMsg_, topMsg_);
  } else if (screen640_) {
    const TMsgPos pos = Place640(width, height);
    form.move(pos.Left, pos.Top);
    topMsg_ = pos.Top;
    leftMsg_ = pos.Left;
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    form.move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
  }
  form.SetHelpFile(mainFormCenter_ ? "tpoMainFormWCenter" : "");
}

void TMsgForm::setButtons(TShowMsgForm& form, int32_t& count) const {
  TBitBtn& first = *form.BitBtnOk;
  TBitBtn& second = *form.BitBtnCancel;
  TBitBtn& third = *form.BitBtnClose;
  switch (msgBtn_) {
    case TMsgBtn::Ok:
      SetButton(first, true, TBitBtnKind::bkOK, kCaptionOk);
      SetButton(second, false, TBitBtnKind::bkCancel, kCaptionCancel);
      third.hide();
      count = 1;
      break;
    case TMsgBtn::Ok_Cancel:
      SetButton(first, true, TBitBtnKind::bkOK, kCaptionOk);
      SetButton(second, true, TBitBtnKind::bkCancel, kCaptionCancel);
      third.hide();
      count = 2;
      break;
    case TMsgBtn::Yes_No:
      SetButton(first, true, TBitBtnKind::bkYes, kCaptionYes);
      SetButton(second, true, TBitBtnKind::bkNo, kCaptionNo);
      third.hide();
      count = 2;
      break;
    case TMsgBtn::Yes_No_Close:
      SetButton(first, true, TBitBtnKind::bkYes, kCaptionYes);
      // The second button keeps its design (no kind, so Escape does not press it).
      second.show();
      second.SetModalResult(mrNo);
      second.SetGlyph(form.NoBmp->icon().pixmap(16, 16));
      second.setText(Caption(kCaptionNo));
      third.show();
      third.SetModalResult(mrAbort);
      third.setText(Caption(kCaptionClose));
      count = 3;
      break;
    case TMsgBtn::Ok_Cancel_Close:
      SetButton(first, true, TBitBtnKind::bkOK, kCaptionOk);
      SetButton(second, true, TBitBtnKind::bkCancel, kCaptionCancel);
      third.show();
      third.SetModalResult(mrAbort);
      third.setText(Caption(kCaptionClose));
      count = 3;
      break;
  }
}

}  // namespace msg
