//===-- msg/msg_form.h - The message component ------------------*- C++ -*-===//
//
// TMsgForm holds four prepared messages and the settings of the window that
// shows them: button set, picture, font, alignment and placement. Each showing
// builds a fresh TShowMsgForm, runs it modally and destroys it; the component
// keeps the size (and, under the 640 x 460 rule, the position) of that showing.
//
// The lists, the font and the picture are values: a setter copies what it is
// given, so a later change to the caller's object does not reach the component.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QFont>
#include <QObject>
#include <QPixmap>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bit_btn.h"
#include "show_msg_form.h"

namespace msg {

enum class TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum class TMsgIndex : uint8_t { Msg1, Msg2, Msg3, Msg4 };
enum class TMsgBtn : uint8_t { Ok, Ok_Cancel, Yes_No, Yes_No_Close, Ok_Cancel_Close };
enum class TMsgPicType : uint8_t { None, Warning, Error, Information, Confirmation, Custom };

using TStringList = std::vector<std::string>;

class TMsgForm : public QObject {
 public:
  /// A component owned by `owner`; when the owner is a widget, the message
  /// windows open over its window.
  explicit TMsgForm(QObject* owner = nullptr);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value) { alignment_ = value; }

  const TStringList& MessageList1() const { return lists_[0]; }
  const TStringList& MessageList2() const { return lists_[1]; }
  const TStringList& MessageList3() const { return lists_[2]; }
  const TStringList& MessageList4() const { return lists_[3]; }
  void SetMessageList1(const TStringList& value) { lists_[0] = value; }
  void SetMessageList2(const TStringList& value) { lists_[1] = value; }
  void SetMessageList3(const TStringList& value) { lists_[2] = value; }
  void SetMessageList4(const TStringList& value) { lists_[3] = value; }

  bool ScreenCenter() const { return screenCenter_; }
  void SetScreenCenter(bool value) { screenCenter_ = value; }
  bool DefaultSet() const { return defaultSet_; }
  void SetDefaultSet(bool value) { defaultSet_ = value; }
  bool Screen640() const { return screen640_; }
  void SetScreen640(bool value) { screen640_ = value; }
  bool MainFormCenter() const { return mainFormCenter_; }
  void SetMainFormCenter(bool value) { mainFormCenter_ = value; }

  const QPixmap& Picture() const { return picture_; }
  void SetPicture(const QPixmap& value) { picture_ = value.copy(); }

  int32_t TopMsg() const { return topMsg_; }
  void SetTopMsg(int32_t value) { topMsg_ = value; }
  int32_t LeftMsg() const { return leftMsg_; }
  void SetLeftMsg(int32_t value) { leftMsg_ = value; }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t value) { height_ = value; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t value) { width_ = value; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }

  const std::string& dMyCaption1() const { return captions_[0]; }
  const std::string& dMyCaption2() const { return captions_[1]; }
  const std::string& dMyCaption3() const { return captions_[2]; }
  void SetdMyCaption1(const std::string& value) { captions_[0] = value; }
  void SetdMyCaption2(const std::string& value) { captions_[1] = value; }
  void SetdMyCaption3(const std::string& value) { captions_[2] = value; }
  /// Glyphs are shared with the caller (a null pixmap is "none").
  const QPixmap& dMyGlyph1() const { return glyphs_[0]; }
  const QPixmap& dMyGlyph2() const { return glyphs_[1]; }
  const QPixmap& dMyGlyph3() const { return glyphs_[2]; }
  void SetdMyGlyph1(const QPixmap& value) { glyphs_[0] = value; }
  void SetdMyGlyph2(const QPixmap& value) { glyphs_[1] = value; }
  void SetdMyGlyph3(const QPixmap& value) { glyphs_[2] = value; }
  int32_t dMyWidth1() const { return widths_[0]; }
  int32_t dMyWidth2() const { return widths_[1]; }
  int32_t dMyWidth3() const { return widths_[2]; }
  void SetdMyWidth1(int32_t value) { widths_[0] = value; }
  void SetdMyWidth2(int32_t value) { widths_[1] = value; }
  void SetdMyWidth3(int32_t value) { widths_[2] = value; }

  /// Kept with the settings; the layout does not consult it.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value) { autoSize_ = value; }

  TMsgIndex MessageIndex() const { return messageIndex_; }
  void SetMessageIndex(TMsgIndex value) { messageIndex_ = value; }
  TMsgBtn MsgBtn() const { return msgBtn_; }
  void SetMsgBtn(TMsgBtn value) { msgBtn_ = value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  const QFont& Font() const { return font_; }
  void SetFont(const QFont& value) { font_ = value; }
  TMsgPicType MsgPicType() const { return msgPicType_; }
  void SetMsgPicType(TMsgPicType value) { msgPicType_ = value; }

  /// Shows list `index` (1, 2, 3; any other value, 0 and negatives too, means 4)
  /// and returns the answer. The new MessageIndex stays.
  TModalResult ShowMessageIndex(int32_t index);

  /// Shows the list MessageIndex selects modally, stores the answer in
  /// ModalResult and returns it: 1 OK, 2 Cancel, 3 close, 6 Yes, 7 No.
  TModalResult ShowMessage();

  /// Builds the window ShowMessage shows (text, picture, size, position and
  /// buttons) without showing it, and updates Width, Height, TopMsg and LeftMsg
  /// as a showing does.
  std::unique_ptr<TShowMsgForm> CreateShowForm();

  /// The number of lines of the message last built.
  int32_t LineCount() const { return lineCount_; }

 private:
  void place(TShowMsgForm& form, int32_t width, int32_t height);
  void setButtons(TShowMsgForm& form, int32_t& count) const;

  TAlignment alignment_ = TAlignment::taLeftJustify;
  TStringList lists_[4];
  bool screenCenter_ = true;
  bool defaultSet_ = true;
  bool screen640_ = true;
  bool mainFormCenter_ = false;
  QPixmap picture_;
  int32_t topMsg_ = 100;
  int32_t leftMsg_ = 200;
  int32_t height_ = 120;
  int32_t width_ = 320;
  std::string title_;
  std::string captions_[3];
  QPixmap glyphs_[3];
  int32_t widths_[3] = {0, 0, 0};
  bool autoSize_ = false;
  TMsgIndex messageIndex_ = TMsgIndex::Msg1;
  TMsgBtn msgBtn_ = TMsgBtn::Ok;
  TModalResult modalResult_ = mrNone;
  QFont font_;
  TMsgPicType msgPicType_ = TMsgPicType::None;
  int32_t lineCount_ = 0;
};

}  // namespace msg
