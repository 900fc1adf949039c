//===-- app/qt_dialogs.h - The operations' dialogs in the window -*- C++ -*-===//
//
// TDialogs with Qt: file dialogs, message boxes and the input box open over
// the main window; the message components show their own windows. While a
// dialog waits for the user, an hourglass the operation has set is lifted.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QStringList>
#include <string>

#include "app/dialogs.h"

class QWidget;

namespace app {

class TQtDialogs : public TDialogs {
 public:
  explicit TQtDialogs(QWidget* parent) : parent_(parent) {}

  bool ExecuteFileDialog(TFileDialogKind kind, TFileDialogSettings& dialog) override;
  msg::TModalResult ShowMessageIndex(msg::TMsgForm& form, int32_t index) override;
  msg::TModalResult MessageDlg(const std::string& caption, const std::string& text,
                               TMsgDlgType type, TMsgDlgButtons buttons) override;
  bool InputQuery(const std::string& caption, const std::string& prompt,
                  std::string& value) override;
  bool PasswordQuery(const std::string& caption, const std::string& prompt,
                     std::string& value) override;
  void ProcessMessages() override;

 private:
  QWidget* parent_;
};

/// The name filters of a Qt file dialog for a filter of description|pattern
/// pairs: "Zip Files|*.zip" -> "Zip Files (*.[zZ][iI][pP])", letters matching
/// either case. A text without '|' is one pattern and its own description;
/// "*.*" means every file; ';' separates patterns.
QStringList QtNameFilters(const std::string& filter);

}  // namespace app
