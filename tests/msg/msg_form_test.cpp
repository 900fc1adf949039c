#include "msg/msg_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "msg/design_font.h"
#include "msg/msg_layout.h"

namespace msg {
namespace {

const TStringList kConfirmation = {
    "لطفا قبل از هر گونه عمليات بازگرداني اطلاعات ، يك كپي پشتيبان از اطلاعات برنامه",
    ".تهيه نماييد", "آيا از ادامه عمليات اطمينان داريد؟ "};

// Runs `act` on the message window once it runs modally. A window that the
// action leaves open is closed by a guard, so that a fault cannot hang the run.
void WhenShown(std::function<void(TShowMsgForm&)> act) {
  QTimer::singleShot(0, [act] {
    auto* form = dynamic_cast<TShowMsgForm*>(QApplication::activeModalWidget());
    if (!form) {
      ADD_FAILURE() << "no message window is showing";
      return;
    }
    act(*form);
    if (form->isVisible()) {
      ADD_FAILURE() << "the action left the window open";
      form->QDialog::done(-1);
    }
  });
}

QWidget* KeyTarget(TShowMsgForm& form) {
  QWidget* focus = form.focusWidget();
  return focus ? focus : &form;
}

enum class Answer { Enter, First, Second, Third, Escape, F2, CloseBox };

void Give(TShowMsgForm& form, Answer answer) {
  switch (answer) {
    case Answer::Enter:
      QTest::keyClick(KeyTarget(form), Qt::Key_Return);
      break;
    case Answer::First:
      form.BitBtnOk->click();
      break;
    case Answer::Second:
      form.BitBtnCancel->click();
      break;
    case Answer::Third:
      form.BitBtnClose->click();
      break;
    case Answer::Escape:
      QTest::keyClick(KeyTarget(form), Qt::Key_Escape);
      break;
    case Answer::F2:
      QTest::keyClick(KeyTarget(form), Qt::Key_F2);
      break;
    case Answer::CloseBox:
      form.close();
      break;
  }
}

// Alt and a letter: QTest's keyClick knows only Latin letters.
void PressShortcut(QWidget& window, const QKeySequence& key) {
  // Shortcuts go to the active window only.
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QString text(QChar(key[0].key()));
  for (const QTest::KeyAction action : {QTest::Press, QTest::Release})
    QTest::sendKeyEvent(action, &window, key[0].key(), text, key[0].keyboardModifiers());
  // A shortcut presses its button the way a click looks: down, then up a moment later.
  EXPECT_TRUE(QTest::qWaitFor([&window] { return !window.isVisible(); }, 2000));
}

void ConfirmationLike(TMsgForm& form) {
  form.SetFont(DesignFont("QRVZIBA", -13));
  form.SetScreen640(false);
  form.SetMessageList1(kConfirmation);
}

struct AnswerRow {
  TMsgBtn buttons;
  // Expected results for Enter, first, second, third button, Escape, F2, close box;
  // nullopt where the button is not shown.
  std::optional<TModalResult> results[7];
};

// The answers of every button set to every way of closing the window.
TEST(MsgFormAnswers, EveryButtonSetAnswersEveryKeyButtonAndTheCloseBox) {
  const std::nullopt_t no = std::nullopt;
  const AnswerRow table[] = {
      {TMsgBtn::Ok, {1, 1, no, no, 1, 1, 1}},
      {TMsgBtn::Ok_Cancel, {1, 1, 2, no, 2, 1, 2}},
      {TMsgBtn::Yes_No, {6, 6, 7, no, 7, 6, 7}},
      {TMsgBtn::Yes_No_Close, {6, 6, 7, 3, 3, 6, 3}},
      {TMsgBtn::Ok_Cancel_Close, {1, 1, 2, 3, 2, 1, 2}},
  };
  const char* names[] = {"Enter", "first", "second", "third", "Escape", "F2", "close box"};
  for (const AnswerRow& row : table) {
    for (int a = 0; a < 7; ++a) {
      if (!row.results[a]) continue;
      TMsgForm form;
      ConfirmationLike(form);
      form.SetMsgBtn(row.buttons);
      WhenShown([a](TShowMsgForm& window) { Give(window, static_cast<Answer>(a)); });
      const TModalResult result = form.ShowMessageIndex(1);
      EXPECT_EQ(result, *row.results[a])
          << "button set " << static_cast<int>(row.buttons) << ", " << names[a];
      EXPECT_EQ(form.ModalResult(), result);
    }
  }
}

TEST(MsgFormAnswers, HiddenButtonsFollowTheButtonSet) {
  struct {
    TMsgBtn buttons;
    bool second, third;
    const char* firstCaption;
  } rows[] = {{TMsgBtn::Ok, false, false, "&تائيد"},
              {TMsgBtn::Yes_No, true, false, "&بلـه"},
              {TMsgBtn::Yes_No_Close, true, true, "&بلـه"}};
  for (const auto& row : rows) {
    TMsgForm form;
    ConfirmationLike(form);
    form.SetMsgBtn(row.buttons);
    auto window = form.CreateShowForm();
    EXPECT_FALSE(window->BitBtnOk->isHidden());
    EXPECT_EQ(!window->BitBtnCancel->isHidden(), row.second);
    EXPECT_EQ(!window->BitBtnClose->isHidden(), row.third);
    EXPECT_EQ(window->BitBtnOk->text().toStdString(), row.firstCaption);
  }
}

// The confirmation before a restore: three lines of a 13-pixel font, no picture.
TEST(MsgFormLayout, ThreeLineConfirmationIs147HighAndAsWideAsItsLongestLine) {
  TMsgForm form;
  ConfirmationLike(form);
  form.SetMsgBtn(TMsgBtn::Yes_No);
  auto window = form.CreateShowForm();
  const QFontMetrics metrics(form.Font());
  int longest = 0;
  for (const auto& line : kConfirmation)
    longest = std::max(longest, metrics.horizontalAdvance(QString::fromStdString(line)));
  EXPECT_EQ(form.Height(), 147);
  EXPECT_EQ(window->height(), 147);
  EXPECT_EQ(form.Width(), longest + 20 + 20);
  EXPECT_EQ(window->width(), std::max(longest + 40, 76 + 75 + 40));
  EXPECT_EQ(form.LineCount(), 3);
  EXPECT_EQ(window->MsgLabel->x(), 10);
  EXPECT_EQ(window->MsgLabel->width(), longest);
  EXPECT_EQ(window->layoutDirection(), Qt::LeftToRight);
  // Centred on the screen when the 640 x 460 rule is off.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window->x(), (screen.width() - window->width()) / 2);
  EXPECT_EQ(window->y(), (screen.height() - 147) / 2);
  // Yes right of the centre, No left of it.
  const int mid = window->width() / 2;
  EXPECT_EQ(window->BitBtnOk->x(), mid + 3);
  EXPECT_EQ(window->BitBtnCancel->x(), mid - 76 - 3);
}

TEST(MsgFormLayout, EmptyListGives108HighWindowWidenedToItsButton) {
  TMsgForm form;
  form.SetFont(DesignFont("QRVZIBA", -13));
  auto window = form.CreateShowForm();
  EXPECT_EQ(form.Height(), 108);
  EXPECT_EQ(form.Width(), 40);
  EXPECT_EQ(window->width(), 76 + 40);  // the OK button did not fit into 40
  EXPECT_EQ(window->BitBtnOk->x(), (116 - 76) / 2);
  EXPECT_TRUE(window->MsgLabel->text().isEmpty());
}

TEST(MsgFormLayout, Area640PlacementIsStoredBack) {
  EXPECT_EQ(Place640(300, 147).Left, 170);
  EXPECT_EQ(Place640(300, 147).Top, 156);
  // Three empty lines give H = 147; a 260-wide button widens W to 300, and the
  // window is placed again for the new width.
  TMsgForm form;
  form.SetFont(DesignFont("QRVZIBA", -13));
  form.SetMessageList4({"", "", ""});
  form.SetMessageIndex(TMsgIndex::Msg4);
  form.SetDefaultSet(false);
  form.SetdMyWidth1(260);
  auto window = form.CreateShowForm();
  EXPECT_EQ(window->size(), QSize(300, 147));
  EXPECT_EQ(window->pos(), QPoint(170, 156));
  EXPECT_EQ(form.LeftMsg(), 170);
  EXPECT_EQ(form.TopMsg(), 156);
}

TEST(MsgFormLayout, FixedPlacementUsesTopMsgAndLeftMsg) {
  TMsgForm form;
  form.SetScreenCenter(false);
  form.SetTopMsg(33);
  form.SetLeftMsg(44);
  auto window = form.CreateShowForm();
  EXPECT_EQ(window->pos(), QPoint(44, 33));
  EXPECT_EQ(window->HelpFile(), "");
  form.SetMainFormCenter(true);
  EXPECT_EQ(form.CreateShowForm()->HelpFile(), "tpoMainFormWCenter");
}

TEST(MsgFormLayout, PictureColumnIs53WithAPictureAnd20Without) {
  TMsgForm form;
  ConfirmationLike(form);
  auto plain = form.CreateShowForm();
  const int32_t plainWidth = form.Width();
  EXPECT_EQ(plain->PictureColumn(), 20);
  EXPECT_TRUE(plain->ImagePicture->pixmap().isNull());
  form.SetMsgPicType(TMsgPicType::Information);
  auto pictured = form.CreateShowForm();
  EXPECT_EQ(pictured->PictureColumn(), 53);
  EXPECT_EQ(form.Width(), plainWidth + 33);
  EXPECT_FALSE(pictured->ImagePicture->pixmap().isNull());
  EXPECT_EQ(pictured->PanelImage->geometry().right(), pictured->width() - 1);
}

TEST(MsgFormLayout, ThreeButtonsAreArrangedAroundTheMiddleOne) {
  TMsgForm form;
  ConfirmationLike(form);
  form.SetMsgBtn(TMsgBtn::Yes_No_Close);
  auto window = form.CreateShowForm();
  const int mid = window->width() / 2;
  EXPECT_EQ(window->BitBtnOk->x(), mid + 75 / 2 + 3);
  EXPECT_EQ(window->BitBtnCancel->x(), mid - 75 / 2);
  EXPECT_EQ(window->BitBtnClose->x(), mid - 75 / 2 - 76 - 3);
  EXPECT_EQ(window->BitBtnCancel->Kind(), TBitBtnKind::bkCustom);
  EXPECT_EQ(window->BitBtnCancel->ModalResult(), mrNo);
}

TEST(MsgFormLayout, OwnCaptionsGlyphsAndWidthsReplaceTheStandardOnes) {
  TMsgForm form;
  ConfirmationLike(form);
  form.SetMsgBtn(TMsgBtn::Ok);
  form.SetDefaultSet(false);
  form.SetdMyCaption1("a");
  form.SetdMyCaption2("b");
  form.SetdMyCaption3("c");
  form.SetdMyWidth1(90);
  form.SetdMyWidth2(91);
  form.SetdMyWidth3(92);
  auto window = form.CreateShowForm();
  EXPECT_EQ(window->BitBtnOk->text(), "a");
  EXPECT_EQ(window->BitBtnCancel->text(), "b");
  EXPECT_EQ(window->BitBtnClose->text(), "c");
  EXPECT_EQ(window->BitBtnOk->width(), 90);
  EXPECT_EQ(window->BitBtnCancel->width(), 91);
  EXPECT_EQ(window->BitBtnClose->width(), 92);
  EXPECT_TRUE(window->BitBtnOk->Glyph().isNull());
}

// W x H is the size of the whole window, its frame included, as it shows.
TEST(MsgFormLayout, ComputedSizeIsTheOuterSizeOfTheShownWindow) {
  TMsgForm form;
  ConfirmationLike(form);
  form.SetMsgBtn(TMsgBtn::Yes_No);
  QSize outer, client;
  WhenShown([&](TShowMsgForm& window) {
    outer = window.frameGeometry().size();
    client = window.size();
    window.BitBtnOk->click();
  });
  form.ShowMessageIndex(1);
  EXPECT_EQ(outer, QSize(form.Width(), 147));
  EXPECT_LT(client.height(), 147) << "the platform gives the window no frame";
}

// Qt would pick each line's direction from its first letter: a Persian line
// of a left-justified message would be drawn flush right.
TEST(MsgFormLayout, EveryLineKeepsTheMessagesAlignment) {
  for (const TAlignment alignment : {TAlignment::taLeftJustify, TAlignment::taRightJustify}) {
    TMsgForm form;
    ConfirmationLike(form);
    form.SetAlignment(alignment);
    auto window = form.CreateShowForm();
    const QImage image = window->MsgLabel->grab().toImage();
    const int lineHeight = image.height() / 3;
    for (int line = 0; line < 3; ++line) {
      int left = image.width(), right = -1;
      for (int y = line * lineHeight; y < (line + 1) * lineHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
          if (qGray(image.pixel(x, y)) >= 128) continue;
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
      if (alignment == TAlignment::taLeftJustify) {
        EXPECT_LE(left, 3) << "line " << line;
      } else {
        EXPECT_GE(right, image.width() - 4) << "line " << line;
      }
    }
  }
}

// An empty caption would be replaced by the application's name.
TEST(MsgFormLayout, CaptionIsBlankWithoutTitle) {
  TMsgForm form;
  const QString untitled = form.CreateShowForm()->windowTitle();
  EXPECT_FALSE(untitled.isEmpty());
  EXPECT_TRUE(untitled.trimmed().isEmpty());
  form.SetTitle("عنوان");
  EXPECT_EQ(form.CreateShowForm()->windowTitle().toStdString(), "عنوان");
}

// Alt and the underlined letter press each button of every button set.
TEST(MsgFormAnswers, EveryButtonHasItsOwnAccelerator) {
  for (const TMsgBtn buttons : {TMsgBtn::Ok, TMsgBtn::Ok_Cancel, TMsgBtn::Yes_No,
                                TMsgBtn::Yes_No_Close, TMsgBtn::Ok_Cancel_Close}) {
    TMsgForm form;
    ConfirmationLike(form);
    form.SetMsgBtn(buttons);
    auto window = form.CreateShowForm();
    std::vector<TBitBtn*> shown;
    for (TBitBtn* button : {window->BitBtnOk, window->BitBtnCancel, window->BitBtnClose}) {
      if (!button->isHidden()) shown.push_back(button);
    }
    for (TBitBtn* button : shown) {
      const QKeySequence key = QKeySequence::mnemonic(button->text());
      ASSERT_FALSE(key.isEmpty()) << button->text().toStdString();
      for (TBitBtn* other : shown) {
        if (other == button) continue;
        EXPECT_NE(QKeySequence::mnemonic(other->text()), key);
      }
      WhenShown([key](TShowMsgForm& w) { PressShortcut(w, key); });
      EXPECT_EQ(form.ShowMessageIndex(1), button->ModalResult()) << button->text().toStdString();
    }
  }
}

TEST(MsgFormLists, IndexOutsideOneToThreeShowsTheFourthList) {
  TMsgForm form;
  form.SetMessageList1({"one"});
  form.SetMessageList2({"two"});
  form.SetMessageList3({"three"});
  form.SetMessageList4({"four", "lines"});
  struct {
    int32_t index;
    const char* text;
  } rows[] = {{1, "one"},         {2, "two"},         {3, "three"},
              {4, "four\nlines"}, {0, "four\nlines"}, {-1, "four\nlines"}};
  for (const auto& row : rows) {
    QString shown;
    WhenShown([&shown](TShowMsgForm& window) {
      shown = window.MsgLabel->text();
      window.BitBtnOk->click();
    });
    EXPECT_EQ(form.ShowMessageIndex(row.index), mrOk);
    EXPECT_EQ(shown.toStdString(), row.text) << "index " << row.index;
  }
  EXPECT_EQ(form.MessageIndex(), TMsgIndex::Msg4);
}

TEST(MsgFormLists, SettersCopyTheirValue) {
  TMsgForm form;
  TStringList source = {"first"};
  form.SetMessageList2(source);
  source.push_back("second");
  source[0] = "changed";
  EXPECT_EQ(form.MessageList2(), TStringList{"first"});

  QPixmap picture(4, 4);
  picture.fill(Qt::red);
  form.SetPicture(picture);
  picture.fill(Qt::blue);
  EXPECT_EQ(form.Picture().toImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST(MsgFormDefaults, NewComponentHasTheDocumentedValues) {
  TMsgForm form;
  EXPECT_EQ(form.Alignment(), TAlignment::taLeftJustify);
  EXPECT_TRUE(form.ScreenCenter());
  EXPECT_TRUE(form.DefaultSet());
  EXPECT_TRUE(form.Screen640());
  EXPECT_FALSE(form.MainFormCenter());
  EXPECT_EQ(form.TopMsg(), 100);
  EXPECT_EQ(form.LeftMsg(), 200);
  EXPECT_EQ(form.Height(), 120);
  EXPECT_EQ(form.Width(), 320);
  EXPECT_EQ(form.MessageIndex(), TMsgIndex::Msg1);
  EXPECT_EQ(form.MsgBtn(), TMsgBtn::Ok);
  EXPECT_EQ(form.ModalResult(), mrNone);
  EXPECT_EQ(form.MsgPicType(), TMsgPicType::None);
}

}  // namespace
}  // namespace msg
