//===-- app/qt_dialogs.cpp - The operations' dialogs in the window -*- C++ -*-===//
#include "qt_dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <optional>

#include "msg/msg_form.h"

namespace app {

namespace {

/// Takes the hourglass away while a dialog waits for the user and puts it back
/// afterwards.
class TCursorLift {
 public:
  TCursorLift() {
    if (const QCursor* cursor = QApplication::overrideCursor()) {
      shape_ = cursor->shape();
      QApplication::restoreOverrideCursor();
    }
  }
  ~TCursorLift() {
    if (shape_) QApplication::setOverrideCursor(QCursor(*shape_));
  }
  TCursorLift(const TCursorLift&) = delete;
  TCursorLift& operator=(const TCursorLift&) = delete;

 private:
  std::optional<Qt::CursorShape> shape_;
};

QString Q(const std::string& text) { return QString::fromStdString(text); }

// File names on this system are case-sensitive, while the patterns were
// meant without regard to case: every letter becomes a set of both cases.
QString Pattern(const QString& pattern) {
  if (pattern == "*.*") return "*";  // every file, also one without a dot
  QString out;
  for (const QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      out += QString("[") + c.toLower() + c.toUpper() + "]";
    } else if (c == ';') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList filters;
  if (parts.size() == 1) {
    if (!parts[0].isEmpty()) filters << parts[0] + " (" + Pattern(parts[0]) + ")";
    return filters;
  }
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters << parts[i] + " (" + Pattern(parts[i + 1]) + ")";
  }
  return filters;
}

bool TQtDialogs::ExecuteFileDialog(TFileDialogKind kind, TFileDialogSettings& dialog) {
  TCursorLift lift;
  QFileDialog box(parent_);
  box.setNameFilters(QtNameFilters(dialog.Filter));
  box.setOption(QFileDialog::HideNameFilterDetails);
  box.setDefaultSuffix(Q(dialog.DefaultExt).remove(0, dialog.DefaultExt.starts_with('.') ? 1 : 0));
  if (kind == TFileDialogKind::Save) {
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // The program checks for an existing archive itself.
    box.setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
  }
  if (!dialog.FileName.empty()) box.selectFile(Q(dialog.FileName));
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  dialog.FileName = box.selectedFiles().constFirst().toStdString();
  return true;
}

msg::TModalResult TQtDialogs::ShowMessageIndex(msg::TMsgForm& form, int32_t index) {
  TCursorLift lift;
  return form.ShowMessageIndex(index);
}

msg::TModalResult TQtDialogs::MessageDlg(const std::string& caption, const std::string& text,
                                         TMsgDlgType type, TMsgDlgButtons buttons) {
  TCursorLift lift;
  QMessageBox box(parent_);
  switch (type) {
    case TMsgDlgType::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case TMsgDlgType::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case TMsgDlgType::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case TMsgDlgType::Error:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  box.setWindowTitle(caption.empty() ? QCoreApplication::applicationName() : Q(caption));
  box.setText(Q(text));
  switch (buttons) {
    case TMsgDlgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case TMsgDlgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case TMsgDlgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case TMsgDlgButtons::RetryCancel:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return msg::mrOk;
    case QMessageBox::Yes:
      return msg::mrYes;
    case QMessageBox::No:
      return msg::mrNo;
    case QMessageBox::Retry:
      return mrRetry;
    default:
      return msg::mrCancel;
  }
}

bool TQtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) {
  TCursorLift lift;
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent_, Q(caption), Q(prompt), QLineEdit::Normal, Q(value), &ok);
  if (ok) value = text.toStdString();
  return ok;
}

bool TQtDialogs::PasswordQuery(const std::string& caption, const std::string& prompt,
                               std::string& value) {
  TCursorLift lift;
  bool ok = false;
  QString text =
      QInputDialog::getText(parent_, Q(caption), Q(prompt), QLineEdit::Password, QString(), &ok);
  if (ok) value = text.toStdString();
  // Qt's own copy goes as well.
  text.fill(QChar(u' '));
  return ok;
}

void TQtDialogs::ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace app
