// Dialogs that answer from a script, in order, and write down what was shown.
// Only questions with a choice take an answer from the script; a message with
// an OK button alone is answered OK. A question the script did not foresee
// fails the test and is cancelled.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "msg/msg_form.h"

namespace app::testing {

class TScriptedDialogs : public TDialogs {
 public:
  /// The next file dialog picks `file`.
  void Pick(std::string file) { script_.push_back({Kind::File, std::move(file), msg::mrOk}); }
  /// The next question gets `result`.
  void Answer(msg::TModalResult result) { script_.push_back({Kind::Result, {}, result}); }
  /// The next input box is confirmed with `text`.
  void Type(std::string text) { script_.push_back({Kind::Text, std::move(text), msg::mrOk}); }
  /// The next question of any kind is cancelled (No for Yes/No).
  void Cancel() { script_.push_back({Kind::Cancel, {}, msg::mrCancel}); }

  bool AllAnswered() const { return script_.empty(); }

  /// What was shown, one line each: "save dialog [*.Zip]", "MsgForm2 2: text",
  /// "box: text", "information: text", "input: caption prompt".
  std::vector<std::string> shown;
  /// Runs after each line is written down (a test may look at the window then).
  std::function<void(const std::string&)> onShow;
  /// Runs whenever the application is let process its messages.
  std::function<void()> onPump;

  bool ExecuteFileDialog(TFileDialogKind kind, TFileDialogSettings& dialog) override {
    note(std::string(kind == TFileDialogKind::Save ? "save" : "open") + " dialog [" +
         dialog.Filter + "]" + (dialog.FileName.empty() ? "" : " " + dialog.FileName));
    const Step step = next(Kind::File);
    if (step.kind != Kind::File) return false;
    dialog.FileName = step.text;
    return true;
  }

  msg::TModalResult ShowMessageIndex(msg::TMsgForm& form, int32_t index) override {
    const msg::TStringList& lines = index == 1   ? form.MessageList1()
                                    : index == 2 ? form.MessageList2()
                                    : index == 3 ? form.MessageList3()
                                                 : form.MessageList4();
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " / ") + line;
    note(form.objectName().toStdString() + " " + std::to_string(index) + ": " + text);
    if (form.MsgBtn() == msg::TMsgBtn::Ok) return msg::mrOk;
    const Step step = next(Kind::Result);
    return step.kind == Kind::Result ? step.result : msg::mrNo;
  }

  msg::TModalResult MessageDlg(const std::string&, const std::string& text, TMsgDlgType type,
                               TMsgDlgButtons buttons) override {
    note((type == TMsgDlgType::Information ? "information: " : "box: ") + text);
    if (buttons == TMsgDlgButtons::Ok) return msg::mrOk;
    const Step step = next(Kind::Result);
    return step.kind == Kind::Result ? step.result : msg::mrCancel;
  }

  bool InputQuery(const std::string& caption, const std::string& prompt,
                  std::string& value) override {
    note("input: " + caption + " " + prompt);
    const Step step = next(Kind::Text);
    if (step.kind != Kind::Text) return false;
    value = step.text;
    return true;
  }

  void ProcessMessages() override {
    QCoreApplication::processEvents();
    if (onPump) onPump();
  }

 private:
  enum class Kind { File, Result, Text, Cancel };
  struct Step {
    Kind kind;
    std::string text;
    msg::TModalResult result;
  };

  void note(const std::string& line) {
    shown.push_back(line);
    if (onShow) onShow(line);
  }

  Step next(Kind wanted) {
    if (script_.empty()) {
      ADD_FAILURE() << "unanswered: " << shown.back();
      return {Kind::Cancel, {}, msg::mrCancel};
    }
    Step step = script_.front();
    script_.pop_front();
    if (step.kind != wanted && step.kind != Kind::Cancel) {
      ADD_FAILURE() << "the script has the wrong kind of answer for: " << shown.back();
    }
    return step;
  }

  std::deque<Step> script_;
};

}  // namespace app::testing
