#include "app/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace app {
namespace {

TEST(QtNameFilters, PairsBecomeFiltersThatMatchEitherCase) {
  EXPECT_EQ(QtNameFilters("Zip Files|*.zip|All Files|*.*"),
            QStringList({"Zip Files (*.[zZ][iI][pP])", "All Files (*)"}));
  // A text without a pattern of its own is the pattern.
  EXPECT_EQ(QtNameFilters("*.Zip"), QStringList({"*.Zip (*.[zZ][iI][pP])"}));
  EXPECT_EQ(QtNameFilters("Backups|*.bak;*.zip"),
            QStringList({"Backups (*.[bB][aA][kK] *.[zZ][iI][pP])"}));
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

// Acts on the next modal window as soon as it is up.
void WhenModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      act(modal);
    } else {
      WhenModal(act);
    }
  });
}

TEST(QtDialogs, GiveWhatTheUserAnswered) {
  QTemporaryDir dir;
  QWidget window;
  TQtDialogs dialogs(&window);
  const QString chosen = dir.path() + "/new backup";

  TFileDialogSettings save{"*.Zip", "", ""};
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->acceptMode(), QFileDialog::AcceptSave);
    box->selectFile(chosen);
    static_cast<QDialog*>(box)->accept();  // what the Save button does
  });
  ASSERT_TRUE(dialogs.ExecuteFileDialog(TFileDialogKind::Save, save));
  EXPECT_EQ(save.FileName, chosen.toStdString());  // no extension added

  TFileDialogSettings open{"Zip Files|*.zip|All Files|*.*", "", ""};
  WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_FALSE(dialogs.ExecuteFileDialog(TFileDialogKind::Open, open));

  WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(dialogs.MessageDlg("", "insert", TMsgDlgType::Information, TMsgDlgButtons::OkCancel),
            msg::mrCancel);

  std::string typed;
  WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(box, nullptr);
    box->setTextValue("/media/disk");
    box->accept();
  });
  EXPECT_TRUE(dialogs.InputQuery("caption", "Filename: ", typed));
  EXPECT_EQ(typed, "/media/disk");
}

}  // namespace
}  // namespace app
