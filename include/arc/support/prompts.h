//===-- arc/support/prompts.h - Message boxes and the message pump --*- C++ -*-===//
//
// The library never shows a window itself. The few questions it has to ask
// (the drive retry box, the temporary-folder question) and the message pump
// it runs during long operations go through this hook. An application points
// the members at its own dialogs; left empty, every question gets the
// headless answer (No, Cancel) and the pump does nothing.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace arc {

/// Injected user-interface seam of the archive library.
struct Prompts {
  /// Caption of every box (the application's title).
  std::string title;
  /// Question with Yes and No; returns true for Yes.
  std::function<bool(std::string_view caption, std::string_view text)> yesNo;
  /// Error box with Retry and Cancel; returns true for Retry.
  std::function<bool(std::string_view caption, std::string_view text)> retryCancel;
  /// Information box with OK and Cancel; returns true for OK.
  std::function<bool(std::string_view caption, std::string_view text)> okCancel;
  /// Lets the application handle its pending window messages.
  std::function<void()> processMessages;

  bool AskYesNo(std::string_view text) const { return yesNo && yesNo(title, text); }
  bool AskRetryCancel(std::string_view text) const {
    return retryCancel && retryCancel(title, text);
  }
  bool AskOkCancel(std::string_view text) const { return okCancel && okCancel(title, text); }
  void PumpMessages() const {
    if (processMessages) processMessages();
  }
};

}  // namespace arc
