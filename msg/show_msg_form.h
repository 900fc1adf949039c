//===-- msg/show_msg_form.h - The modal message window ----------*- C++ -*-===//
//
// The window TMsgForm builds for one message. Its controls keep their design
// names and are public, as the component fills them in directly. Positions are
// absolute within their panels; the three panels are aligned to the top, the
// bottom and the right of the window and follow its size.
//
// How an answer comes about:
//   a button with a modal result       -> that result
//   Enter                              -> the default button (or the focused one)
//   Escape, a visible cancel button    -> that button
//   Escape otherwise (FormKeyDown)     -> third button's result if it is visible,
//                                         else the second button's
//   F2 (FormKeyDown)                   -> the first button's result
//   the title bar's close box          -> mrCancel
// and every result then passes FormClose before the window closes.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMargins>
#include <QSize>
#include <QToolButton>
#include <QWidget>
#include <string>

#include "bit_btn.h"

namespace msg {

class TShowMsgForm : public QDialog {
 public:
  explicit TShowMsgForm(QWidget* parent = nullptr);

  QWidget* Panel2;         ///< top margin
  QWidget* Panel1;         ///< button bar
  TBitBtn* BitBtnOk;       ///< first button: OK or Yes
  TBitBtn* BitBtnCancel;   ///< second button: Cancel or No
  TBitBtn* BitBtnClose;    ///< third button: close
  QLabel* LabelTestWidth;  ///< hidden, unused at run time
  QWidget* PanelImage;     ///< the picture column, right of the text
  QLabel* ImagePicture;    ///< the picture shown
  QLabel* ImageWarning;    ///< hidden picture sources ...
  QLabel* ImageConfirm;
  QLabel* ImageError;
  QLabel* ImageInform;
  QToolButton* NoBmp;  ///< hidden; holds the glyph of a kindless No button
  QLabel* MsgLabel;    ///< the message text

  /// A marker kept with the window; "tpoMainFormWCenter" or empty.
  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(const std::string& value) { helpFile_ = value; }

  /// The window's outer size, its frame included (the client area is smaller
  /// by the frame); the panels follow.
  void SetWindowSize(int32_t width, int32_t height);
  QSize OuterSize() const { return outerSize_; }
  /// The frame the window manager puts around the window; before the window
  /// is made, that of the window it opens over.
  QMargins FrameMargins() const;

  /// Width of the picture column (PanelImage), which stays aligned to the right.
  int32_t PictureColumn() const { return pictureColumn_; }
  void SetPictureColumn(int32_t width);

  /// Sets the message text, one line per entry, and sizes MsgLabel to it: as wide
  /// as its longest line, as high as its lines.
  void SetMessageText(const QStringList& lines);

  /// The window's own key handling; true when the key closed the window.
  bool FormKeyDown(int key);
  /// The fix-ups applied to every result as the window closes.
  TModalResult FormClose(TModalResult result) const;

  void done(int result) override;
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void layoutPanels();
  /// Gives the client area the fixed size that makes the outer size OuterSize().
  void fitOuterSize();
  QSize outerSize_;
  QMargins frame_;
  int32_t pictureColumn_ = 53;
  std::string helpFile_ = "tpoMainFormWCenter";
};

}  // namespace msg
