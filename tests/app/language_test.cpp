// The language of the windows: chosen by --lang or the locale; the English
// version of the texts and of the main window.
#include "app/language.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

#include "app/form1.h"
#include "app/texts.h"
#include "fake_connection.h"

namespace app {
namespace {

using ::testing::ElementsAreArray;

bool HasArabicLetters(const QString& text) {
  for (const QChar c : text) {
    if ((c.unicode() >= 0x0600 && c.unicode() <= 0x06FF) || c.unicode() >= 0xFB50) return true;
  }
  return false;
}

TEST(Language, OptionOrLocaleChoosesIt) {
  using L = TLanguage;
  struct {
    std::vector<std::string> arguments;
    QStringList uiLanguages;
    TLanguage language;
    const char* error;
    std::vector<std::string> left;
  } rows[] = {
      {{}, {"fa-IR"}, L::Persian, "", {}},
      {{}, {"en-US", "fa"}, L::English, "", {}},
      {{}, {"C"}, L::Persian, "", {}},
      {{}, {"de-DE", "en-GB"}, L::Persian, "", {}},
      {{"--lang", "en", "--backup", "a.zip"}, {"fa"}, L::English, "", {"--backup", "a.zip"}},
      {{"--backup", "a.zip", "--lang=fa"}, {"en-US"}, L::Persian, "", {"--backup", "a.zip"}},
      {{"--lang", "de"}, {}, L::Persian, "unknown language 'de' (fa or en)", {}},
      {{"--lang"}, {}, L::Persian, "--lang needs a language (fa or en)", {}},
  };
  for (auto& row : rows) {
    const TLanguageChoice choice = TakeLanguageOption(row.arguments, row.uiLanguages);
    EXPECT_EQ(choice.Language, row.language) << row.uiLanguages.join(",").toStdString();
    EXPECT_EQ(choice.Error, row.error);
    EXPECT_THAT(row.arguments, ElementsAreArray(row.left));
  }
}

class English : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(translator_.load(":/i18n/P_Restore_en.qm"));
    QCoreApplication::installTranslator(&translator_);
  }
  void TearDown() override { QCoreApplication::removeTranslator(&translator_); }
  QTranslator translator_;
};

TEST_F(English, EveryTextOfOursHasAnEnglishVersion) {
  using namespace texts;
  for (const char* text : {kFormCaption,
                           kTitle,
                           kCompanyName,
                           kRestoreButton,
                           kBackupButton,
                           kConfirmRestore[0],
                           kConfirmRestore[1],
                           kConfirmRestore[2],
                           kSuccess,
                           kDuplicateName,
                           kProbablyInUse,
                           kArchiveError,
                           kInsertFirstDisk,
                           kInsertLastDisk,
                           kInsertNextDisk,
                           kConnecting,
                           kCloseButtonTip,
                           kOperationRunning,
                           kBackupNotVerified,
                           kDamagedSetAside,
                           kBackupPasswordCaption,
                           kBackupPasswordPrompt,
                           kBackupPasswordRepeat,
                           kPasswordsDiffer,
                           kArchivePasswordPrompt,
                           kPasswordFileUnusable}) {
    const QString english = QString::fromStdString(Tr(text));
    EXPECT_FALSE(english.isEmpty() || HasArabicLetters(english)) << text;
  }
  EXPECT_EQ(Tr(kLayoutDirection), "LTR");
}

// The window reads left to right, each control in the mirror of its designed
// place and size, and so do its messages.
TEST_F(English, WindowIsTheMirrorOfTheDesign) {
  auto master = std::make_unique<testing::FakeConnection>("master");
  master->rows = {{"1", "Zelvo10", "Sample company", "", "1"}};
  TForm1 form(TFormEnvironment{"/nonexistent/", std::move(master),
                               std::make_unique<testing::FakeConnection>("company")});
  form.show();
  EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(form.size(), QSize(583, 107));
  const auto mirrored = [](QRect r) {
    return QRect(583 - r.x() - r.width(), r.y(), r.width(), r.height());
  };
  EXPECT_EQ(form.BitBtn2->geometry(), mirrored({456, 51, 121, 25}));
  EXPECT_EQ(form.BitBtn1->geometry(), mirrored({336, 51, 121, 25}));
  EXPECT_EQ(form.SpeedButton1->geometry(), mirrored({8, 54, 33, 22}));
  EXPECT_EQ(form.GaugeShow1->geometry(), mirrored({7, 78, 572, 12}));
  EXPECT_EQ(form.Label1->x(), 583 - 282 - 288);
  EXPECT_LE(form.Label1->geometry().right(), 583 - 282);
  EXPECT_EQ(form.Label2->x(), 583 - 220 - 49);
  for (const msg::TBitBtn* button : {form.BitBtn1, form.BitBtn2}) {
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
  }

  QStringList shown = {form.windowTitle(), form.Label1->text(), form.BitBtn1->text(),
                       form.BitBtn2->text(), form.SpeedButton1->toolTip()};
  auto confirmation = form.MsgForm1->CreateShowForm();
  shown << confirmation->MsgLabel->text() << confirmation->BitBtnOk->text()
        << confirmation->BitBtnCancel->text();
  for (const QString& text : shown) EXPECT_FALSE(HasArabicLetters(text)) << text.toStdString();
}

}  // namespace
}  // namespace app
