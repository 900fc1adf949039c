//===-- app/dialogs.h - What the operations ask and tell the user -*- C++ -*-===//
//
// Every dialog and message box the backup and restore operations show goes
// through TDialogs, so that the operations run the same in the window (Qt
// dialogs), on a terminal (headless mode) and in tests (scripted answers).
// The archive components' own questions and their message pump are routed
// here too.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>

#include "msg/bit_btn.h"

namespace msg {
class TMsgForm;
}

namespace app {

/// The settings a file dialog is shown with. Filter holds description|pattern
/// pairs separated by '|'; FileName is the name the dialog opens with and,
/// after a confirmed dialog, the name chosen.
struct TFileDialogSettings {
  std::string Filter;
  std::string FileName;
  std::string DefaultExt;
};

enum class TFileDialogKind : uint8_t { Open, Save };

/// The picture of a message box.
enum class TMsgDlgType : uint8_t { None, Information, Question, Error };

/// The buttons of a message box and the results they give: mrOk, mrCancel,
/// mrYes, mrNo, mrRetry.
enum class TMsgDlgButtons : uint8_t { Ok, OkCancel, YesNo, RetryCancel };

inline constexpr msg::TModalResult mrRetry = 4;

class TDialogs {
 public:
  virtual ~TDialogs() = default;

  /// Shows a file dialog; on confirmation stores the chosen name in
  /// `dialog.FileName` and returns true.
  virtual bool ExecuteFileDialog(TFileDialogKind kind, TFileDialogSettings& dialog) = 0;

  /// `form.ShowMessageIndex(index)`: one of the component's prepared messages.
  virtual msg::TModalResult ShowMessageIndex(msg::TMsgForm& form, int32_t index) = 0;

  /// A message box; an empty caption means the platform's own for the type.
  virtual msg::TModalResult MessageDlg(const std::string& caption, const std::string& text,
                                       TMsgDlgType type, TMsgDlgButtons buttons) = 0;

  /// A one-line text input box starting with `value`; true when confirmed,
  /// `value` then holds the text.
  virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                          std::string& value) = 0;

  /// InputQuery for a password: what is typed is not shown. A box that can
  /// hide it says so by overriding this.
  virtual bool PasswordQuery(const std::string& caption, const std::string& prompt,
                             std::string& value) {
    return InputQuery(caption, prompt, value);
  }

  /// Lets the application handle its pending window messages.
  virtual void ProcessMessages() = 0;
};

}  // namespace app
