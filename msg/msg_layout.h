//===-- msg/msg_layout.h - Sizes and positions of the message window -*- C++ -*-===//
//
// The arithmetic of the message window, apart from any widget. All values are
// pixels; W and H are the window's width and height, half(x) is x / 2 truncated
// toward zero (C++ integer division).
//
//   +-------------------------------------------+
//   | top margin 13                             |
//   | MsgLabel at left 10          | picture    |
//   |                              | 20 or 53   |
//   +-------------------------------------------+
//   | button bar 40: buttons at top 4           |
//   +-------------------------------------------+
//
//===----------------------------------------------------------------------===//
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>

namespace msg {

constexpr int32_t kTopMarginHeight = 13;  // Panel2
constexpr int32_t kButtonBarHeight = 40;  // Panel1
constexpr int32_t kButtonTop = 4;
constexpr int32_t kLabelLeft = 10;
constexpr int32_t kPictureColumnNone = 20;
constexpr int32_t kPictureColumnShown = 53;
constexpr int32_t kFitMargin = 40;
constexpr int32_t kArea640Width = 640;
constexpr int32_t kArea640Height = 460;

/// H: the text lines, then the top margin, the button bar and 27 + 28 pixels
/// for the title bar and the space around the text. The font height is taken
/// as a magnitude, since fonts given in points carry a negative height.
constexpr int32_t MsgWindowHeight(int32_t fontHeight, int32_t lineCount) {
  const int64_t text = static_cast<int64_t>(fontHeight) * lineCount;
  return static_cast<int32_t>(text < 0 ? -text : text) + kTopMarginHeight + kButtonBarHeight + 27 +
         28;
}

/// W from the text: the longest line, the picture column and 20 pixels.
constexpr int32_t MsgWindowWidth(int32_t labelWidth, int32_t pictureColumn) {
  return labelWidth + pictureColumn + 20;
}

/// Widens W when `required` (the buttons' widths together) does not fit;
/// returns true when W changed, which calls for placing the window again.
constexpr bool FitWidth(int32_t required, int32_t& width) {
  if (required <= width) return false;
  width = required + kFitMargin;
  return true;
}

struct TMsgPos {
  int32_t Left;
  int32_t Top;
};

/// The window centred within a 640 x 460 area.
constexpr TMsgPos Place640(int32_t width, int32_t height) {
  return {(kArea640Width - width) / 2, (kArea640Height - height) / 2};
}

/// Left positions of the first, second and third buttons within the bar for a
/// set of `count` buttons of widths b1, b2, b3 in a window `width` wide; the
/// accept button is right of the centre. Unused entries are 0. Call FitWidth first.
constexpr std::array<int32_t, 3> ButtonLefts(int32_t count, int32_t width, int32_t b1, int32_t b2,
                                             int32_t b3) {
  const int32_t mid = width / 2;
  switch (count) {
    case 1:
      return {(width - b1) / 2, 0, 0};
    case 2:
      return {mid + 3, mid - b1 - 3, 0};
    default:
      return {mid + b2 / 2 + 3, mid - b2 / 2, mid - b2 / 2 - b3 - 3};
  }
}

}  // namespace msg
