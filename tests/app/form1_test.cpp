#include "app/form1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/startup.h"
#include "fake_connection.h"
#include "scripted_dialogs.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::string Text(const QString& text) { return text.toStdString(); }

using ::testing::StartsWith;

// Alt and the letter a caption underlines (QTest's keyClick knows only Latin
// letters).
void PressMnemonic(QWidget& window, const QString& caption) {
  const QKeySequence key = QKeySequence::mnemonic(caption);
  ASSERT_FALSE(key.isEmpty()) << caption.toStdString();
  const QString text(QChar(key[0].key()).toLower());
  for (const QTest::KeyAction action : {QTest::Press, QTest::Release})
    QTest::sendKeyEvent(action, &window, key[0].key(), text, key[0].keyboardModifiers());
}

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    exeDir = dir_.path().toStdString() + "/";
  }

  // A window on a fake master connection serving `rows` of the alias table.
  std::unique_ptr<TForm1> MakeForm(std::vector<TRow> rows) {
    auto master = std::make_unique<testing::FakeConnection>("master", &log);
    master->rows = std::move(rows);
    auto company = std::make_unique<testing::FakeConnection>("company", &log);
    return std::make_unique<TForm1>(
        TFormEnvironment{exeDir, std::move(master), std::move(company)});
  }

  static std::vector<TRow> ThreeCompanies() {
    return {{"1", "Zelvo10", "شركت يك", "", "1"},
            {"2", "Zelvo20", "شركت دو", "", "2"},
            {"3", "Zelvo30", "شركت سه", "", "3"}};
  }

  void WriteAliasFile(const std::string& bytes) {
    std::ofstream(exeDir + "DefAlias.dat", std::ios::binary) << bytes;
  }

  QTemporaryDir dir_;
  std::string exeDir;
  std::vector<std::string> log;
};

TEST_F(Form1Test, ControlsKeepTheirDesignedPlacesCaptionsAndColours) {
  auto form = MakeForm(ThreeCompanies());
  EXPECT_EQ(form->layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(Text(form->windowTitle()), "تهيه كپي و بازگرداندن اطلاعات");
  EXPECT_EQ(form->size(), QSize(583, 107));
  EXPECT_EQ(form->pos(), QPoint(206, 240));
  EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowSystemMenuHint);

  EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, 583, 103));
  EXPECT_EQ(form->BitBtn2->geometry(), QRect(456, 51, 121, 25));
  EXPECT_EQ(form->BitBtn1->geometry(), QRect(336, 51, 121, 25));
  EXPECT_EQ(form->SpeedButton1->geometry(), QRect(8, 54, 33, 22));
  EXPECT_EQ(form->GaugeShow1->geometry(), QRect(7, 78, 572, 12));
  EXPECT_EQ(form->GaugeShow2->geometry(), QRect(7, 89, 572, 12));
  EXPECT_EQ(Text(form->Label1->text()), "تهيه نسخه كپي و يا بازگرداندن اطلاعات از بانك اطلاعاتي ");
  EXPECT_EQ(Text(form->BitBtn2->text()), "&بازگرداندن اطلاعات");  // Alt+ب
  EXPECT_EQ(Text(form->BitBtn1->text()), "ك&پي از اطلاعات");      // Alt+پ
  EXPECT_TRUE(form->SpeedButton1->text().isEmpty());
  EXPECT_FALSE(form->SpeedButton1->icon().isNull());
  // Titles right-aligned on the design's right edges, in their colours; a
  // stand-in face never pushes Label1 past its designed box.
  EXPECT_EQ(form->Label1->geometry().right(), 282 + 288 - 1);
  EXPECT_GE(form->Label1->x(), 282);
  EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
  EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
  EXPECT_EQ(form->GaugeShow1->ForeColor(), QColor(0, 0, 0x80));
  for (const msg::TBitBtn* button : {form->BitBtn1, form->BitBtn2})
    EXPECT_LE(button->sizeHint().width(), button->width()) << Text(button->text());

  form->show();
  EXPECT_EQ(form->GaugeShow1->Progress(), 0);
  EXPECT_EQ(form->GaugeShow2->Progress(), 0);
  EXPECT_TRUE(form->GaugeShow1->isVisible());
  EXPECT_FALSE(form->GaugeShow2->isVisible());
}

TEST_F(Form1Test, ComponentsAreConfiguredForTheOperations) {
  auto form = MakeForm(ThreeCompanies());
  EXPECT_TRUE(form->ADOConnection1->Connected());
  EXPECT_FALSE(form->ADOConnection2->Connected());
  EXPECT_TRUE(form->ADOTable1->Active());
  EXPECT_EQ(form->OpenDialog1.Filter, "Zip Files|*.zip|All Files|*.*");
  EXPECT_EQ(form->SaveDialog1.Filter, "*.Zip");
  EXPECT_EQ(form->SaveDialog1.DefaultExt, "");

  const msg::TMsgForm& confirm = *form->MsgForm1;
  EXPECT_EQ(confirm.MsgBtn(), msg::TMsgBtn::Yes_No);
  EXPECT_EQ(confirm.MessageList1(),
            (msg::TStringList{
                "لطفا قبل از هر گونه عمليات بازگرداني اطلاعات ، يك كپي پشتيبان از اطلاعات برنامه",
                ".تهيه نماييد", "آيا از ادامه عمليات اطمينان داريد؟ "}));
  const msg::TMsgForm& notice = *form->MsgForm2;
  EXPECT_EQ(notice.MsgBtn(), msg::TMsgBtn::Ok);
  EXPECT_EQ(notice.MessageList2(), msg::TStringList{"عمليات انتخابي با موفقيت انجام شد"});
  EXPECT_EQ(notice.MessageList3(), msg::TStringList{"نام انتخابي براي نسخه پشتيبان تكراري است "});
  EXPECT_TRUE(notice.MessageList1().empty());
  EXPECT_TRUE(notice.MessageList4().empty());
  for (const msg::TMsgForm* m : {&confirm, &notice}) {
    EXPECT_FALSE(m->Screen640());
    EXPECT_TRUE(m->ScreenCenter());
    EXPECT_EQ(m->Font().pixelSize(), 13);
    EXPECT_EQ(m->MsgPicType(), msg::TMsgPicType::None);
    EXPECT_EQ(m->Title(), "");
  }
  // The confirmation is 147 high: three lines of 13 pixels plus 108.
  EXPECT_EQ(form->MsgForm1->CreateShowForm()->height(), 147);
}

TEST_F(Form1Test, UnreachableServerStopsTheWindowFromBeingMade) {
  auto master = std::make_unique<testing::FakeConnection>("master");
  master->unreachable = true;
  EXPECT_THROW(TForm1(TFormEnvironment{exeDir, std::move(master),
                                       std::make_unique<testing::FakeConnection>("company")}),
               EDatabaseError);
}

// Which company the window selects for each content of DefAlias.dat.
TEST_F(Form1Test, AliasFileSelectsTheCompany) {
  struct {
    const char* name;
    std::optional<std::string> file;  // nullopt: no file
    const char* database;
    const char* description;
  } rows[] = {
      {"no file", std::nullopt, "Zelvo10", "شركت يك"},
      {"empty file", "", "Zelvo10", "شركت يك"},
      {"id", "2", "Zelvo20", "شركت دو"},
      {"id and LF", "3\n", "Zelvo30", "شركت سه"},
      {"id and CR LF", "3\r\n", "Zelvo30", "شركت سه"},
      {"several lines", "2\n3\n1", "Zelvo20", "شركت دو"},
      {"blanks are kept", " 3", "Zelvo10", "شركت يك"},
      {"id without row", "9", "Zelvo10", "شركت يك"},
      {"zero", "0", "Zelvo10", "شركت يك"},
  };
  for (const auto& row : rows) {
    fs::remove(exeDir + "DefAlias.dat");
    if (row.file) WriteAliasFile(*row.file);
    auto form = MakeForm(ThreeCompanies());
    form->show();
    EXPECT_EQ(form->DatabaseName(), row.database) << row.name;
    EXPECT_EQ(Text(form->Label2->text()), row.description) << row.name;
  }
}

TEST_F(Form1Test, EmptyAliasTableLeavesNameAndDescriptionEmpty) {
  WriteAliasFile("1");
  auto form = MakeForm({});
  EXPECT_EQ(form->DatabaseName(), "");
  form->show();
  EXPECT_EQ(form->DatabaseName(), "");
  EXPECT_EQ(Text(form->Label2->text()), "");
}

TEST_F(Form1Test, Label2GrowsToTheLeftOfItsRightEdge) {
  auto form = MakeForm({{"1", "Zelvo10", "شركت بازرگاني بسيار بزرگ با نام طولاني", "", "1"}});
  form->show();
  EXPECT_EQ(form->Label2->geometry().right(), 220 + 49 - 1);
  EXPECT_GT(form->Label2->width(), 49);
}

// Cut with an ellipsis inside the window, rather than past its edge.
TEST_F(Form1Test, LongCompanyDescriptionStaysInsideTheWindow) {
  const std::string description =
      "شركت بازرگاني و توليدي بسيار بزرگ با نام طولاني و شعبه هاي "
      "فراوان در سراسر كشور و خارج از آن";
  auto form = MakeForm({{"1", "Zelvo10", description, "", "1"}});
  form->show();
  EXPECT_GE(form->Label2->x(), 8);
  EXPECT_EQ(form->Label2->geometry().right(), 220 + 49 - 1);
  EXPECT_TRUE(form->Label2->text().endsWith(QChar(0x2026)) || form->Label2->text().endsWith("..."));
  EXPECT_EQ(Text(form->Label2->toolTip()), description);
}

// Enter presses the focused button; Alt and the underlined letter (Alt+X for
// the close button) press any.
TEST_F(Form1Test, KeyboardPressesEveryButton) {
  struct {
    const char* name;
    std::function<void(TForm1&)> press;
    const char* shown;  // the first dialog that opens; nullptr: the window closes
  } rows[] = {
      {"Enter", [](TForm1& f) { QTest::keyClick(f.BitBtn1, Qt::Key_Return); }, "save dialog"},
      {"Alt+backup", [](TForm1& f) { PressMnemonic(f, f.BitBtn1->text()); }, "save dialog"},
      {"Alt+restore", [](TForm1& f) { PressMnemonic(f, f.BitBtn2->text()); }, "MsgForm1 1"},
      {"Alt+X", [](TForm1& f) { QTest::keyClick(&f, Qt::Key_X, Qt::AltModifier); }, nullptr},
  };
  for (const auto& row : rows) {
    auto dialogs = std::make_unique<testing::TScriptedDialogs>();
    testing::TScriptedDialogs& script = *dialogs;
    script.Cancel();
    auto master = std::make_unique<testing::FakeConnection>("master");
    master->rows = ThreeCompanies();
    TForm1 form(TFormEnvironment{exeDir, std::move(master),
                                 std::make_unique<testing::FakeConnection>("company"),
                                 std::move(dialogs)});
    form.show();
    form.activateWindow();  // shortcuts go to the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    row.press(form);
    if (row.shown) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !script.shown.empty(); }, 2000)) << row.name;
      EXPECT_THAT(script.shown, ::testing::Contains(StartsWith(row.shown))) << row.name;
    } else {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000)) << row.name;
    }
  }
}

TEST_F(Form1Test, SaveAliasDefWritesTheIdAloneAndLoadFindsIt) {
  auto form = MakeForm(ThreeCompanies());
  form->SaveAliasDef("7");
  EXPECT_EQ(fs::file_size(exeDir + "DefAlias.dat"), 1u);
  std::ifstream in(exeDir + "DefAlias.dat", std::ios::binary);
  EXPECT_EQ(in.get(), '7');

  form->SaveAliasDef("3");
  form->LoadAliasDef();
  EXPECT_EQ(form->DatabaseName(), "Zelvo30");
}

TEST_F(Form1Test, SpeedButtonClosesTheWindow) {
  auto form = MakeForm(ThreeCompanies());
  form->show();
  form->SpeedButton1->click();
  EXPECT_FALSE(form->isVisible());
}

// A fresh program folder: the embedded engine creates the sample company, and
// the window shows it.
TEST_F(Form1Test, FreshFolderShowsTheSampleCompany) {
  TForm1 form(LoadEnvironment(exeDir));
  form.show();
  EXPECT_EQ(form.DatabaseName(), "Zelvo10");
  EXPECT_EQ(Text(form.Label2->text()), "شركت نمونه");
  EXPECT_TRUE(fs::exists(exeDir + "Data/master.db"));
}

// The percentage must be legible on either side of the bar's edge: the digits
// take the fore colour on the empty part and the back colour on the filled one.
TEST(Gauge, PercentageIsLegibleAtLowAndHighProgressRightToLeft) {
  TGauge gauge;
  gauge.setLayoutDirection(Qt::RightToLeft);
  gauge.resize(572, 12);
  gauge.SetForeColor(QColor(0, 0, 0x80));
  gauge.SetBackColor(Qt::white);
  for (int progress : {10, 90}) {
    gauge.SetProgress(progress);
    const QImage image = gauge.grab().toImage();
    const QColor back = progress < 50 ? QColor(Qt::white) : QColor(0, 0, 0x80);
    int textPixels = 0;
    for (int x = 286 - 20; x < 286 + 20; ++x) {
      for (int y = 2; y < 10; ++y) textPixels += image.pixelColor(x, y) != back;
    }
    EXPECT_GT(textPixels, 10) << "progress " << progress;
    // Filled from the right: the right end has the fore colour, the left end is empty.
    EXPECT_EQ(image.pixelColor(560, 6), QColor(0, 0, 0x80)) << progress;
    EXPECT_EQ(image.pixelColor(12, 6), QColor(Qt::white)) << progress;
  }
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 100);
  gauge.SetProgress(-5);
  EXPECT_EQ(gauge.Progress(), 0);
}

}  // namespace
}  // namespace app
