//===-- app/screenshots.cpp - Pictures of the windows -----------*- C++ -*-===//
//
// Renders the main window (on a fresh embedded database with the sample
// company) and the restore confirmation to PNG files, so that a person can
// check the Persian texts and the layout:
//
//   P_Restore_screenshots OUTPUT_DIR   ->  OUTPUT_DIR/form1.png, msgform1.png, ...
//
//===----------------------------------------------------------------------===//
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/form1.h"
#include "app/startup.h"

namespace {

bool Save(QWidget& widget, const QString& file) {
  const bool saved = widget.grab().save(file, "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(output);
  app::SetApplicationFont();

  QTemporaryDir exeDir;
  if (!exeDir.isValid()) return 1;
  try {
    app::TForm1 form(app::LoadEnvironment(exeDir.path().toStdString() + "/"));
    form.show();
    QApplication::processEvents();
    bool ok = Save(form, output + "/form1.png");

    form.GaugeShow1->SetProgress(30);
    ok = Save(form, output + "/form1_gauge30.png") && ok;
    form.GaugeShow1->SetProgress(0);

    form.Label3->show();  // as while a restore connects afresh to the server
    ok = Save(form, output + "/form1_connecting.png") && ok;
    form.Label3->hide();

    std::unique_ptr<msg::TShowMsgForm> confirmation = form.MsgForm1->CreateShowForm();
    confirmation->show();
    QApplication::processEvents();
    ok = Save(*confirmation, output + "/msgform1.png") && ok;
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
