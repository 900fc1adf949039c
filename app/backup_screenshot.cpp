//===-- app/backup_screenshot.cpp - A picture of a backup under way -*- C++ -*-===//
//
// Runs a real backup in the window, on a company database made large enough
// (random data, which does not compress) for the writer to take a while, and
// takes a picture of the screen when the gauge has passed the middle:
//
//   P_Restore_backup_screenshot OUTPUT.png [PERCENT]
//
// Meant for a virtual X display (scripts/backup_screenshot.sh runs it under
// Xvfb), where the picture is the screen as the X server holds it. The save
// dialog is answered with a file in a temporary folder, the messages with OK.
//
//===----------------------------------------------------------------------===//
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/db/sample_data.h"
#include "app/db/sqlite_util.h"
#include "app/form1.h"
#include "app/startup.h"

namespace {

// About 48 MiB of data, in rows of 1 MiB.
constexpr int kPaddingRows = 48;

class TCaptureDialogs : public app::TDialogs {
 public:
  TCaptureDialogs(std::string archive, QString output, int percent)
      : archive_(std::move(archive)), output_(std::move(output)), percent_(percent) {}

  app::TForm1* form = nullptr;
  bool saved = false;

  bool ExecuteFileDialog(app::TFileDialogKind, app::TFileDialogSettings& dialog) override {
    dialog.FileName = archive_;
    return true;
  }
  msg::TModalResult ShowMessageIndex(msg::TMsgForm&, int32_t) override { return msg::mrOk; }
  msg::TModalResult MessageDlg(const std::string&, const std::string& text, app::TMsgDlgType,
                               app::TMsgDlgButtons) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return msg::mrCancel;
  }
  bool InputQuery(const std::string&, const std::string&, std::string&) override { return false; }

  void ProcessMessages() override {
    QCoreApplication::processEvents();
    if (saved || !form || form->GaugeShow1->Progress() < percent_) return;
    // Let the X server draw what the window has just painted.
    form->repaint();
    QCoreApplication::processEvents();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect frame = form->frameGeometry().adjusted(-8, -8, 8, 8);
    const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    saved = shot.save(output_, "PNG");
    std::printf("%s %s at %d%%\n", saved ? "wrote" : "could not write",
                output_.toLocal8Bit().constData(), form->GaugeShow1->Progress());
  }

 private:
  std::string archive_;
  QString output_;
  int percent_;
};

void PadCompany(const std::string& exeDir) {
  app::EnsureSampleData(exeDir + "Data");
  app::TSqliteDb db =
      app::OpenSqlite(exeDir + "Data/" + app::kSampleDatabase + ".db", SQLITE_OPEN_READWRITE);
  app::ExecSqlite(db.get(), "CREATE TABLE Attachments (data BLOB)");
  for (int i = 0; i < kPaddingRows; ++i) {
    app::ExecSqlite(db.get(), "INSERT INTO Attachments VALUES (randomblob(1048576))");
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [PERCENT]\n", argv[0]);
    return 2;
  }
  const int percent = argc == 3 ? std::atoi(argv[2]) : 50;
  app::SetApplicationFont();
  QTemporaryDir folder;
  if (!folder.isValid()) return 1;
  const std::string exeDir = folder.path().toStdString() + "/";
  try {
    PadCompany(exeDir);
    auto dialogs = std::make_unique<TCaptureDialogs>(exeDir + "backup.zip",
                                                     QString::fromLocal8Bit(argv[1]), percent);
    TCaptureDialogs& capture = *dialogs;
    app::TFormEnvironment environment = app::LoadEnvironment(exeDir);
    environment.Dialogs = std::move(dialogs);
    app::TForm1 form(std::move(environment));
    capture.form = &form;
    form.show();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    form.BitBtn1->click();
    return capture.saved ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
