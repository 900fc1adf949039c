//===-- app/screenshots.cpp - Pictures of the windows -----------*- C++ -*-===//
//
// Renders the windows (on a fresh embedded database with the sample company)
// to PNG files, so that a person can check the texts and the layout:
//
//   P_Restore_screenshots [--lang fa|en] OUTPUT_DIR
//
// writes form1, form1_gauge30 (the gauge at 30 %), form1_connecting (as while
// a restore connects afresh), msgform1 (the restore confirmation), filedialog
// (Qt's save dialog as a backup shows it) and connecting (the window while the
// program connects at start-up); in English each name ends in _en.
//
//===----------------------------------------------------------------------===//
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/connecting.h"
#include "app/form1.h"
#include "app/language.h"
#include "app/qt_dialogs.h"
#include "app/startup.h"

namespace {

bool Save(QWidget& widget, const QString& file) {
  widget.show();
  QApplication::processEvents();
  const bool saved = widget.grab().save(file, "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const app::TLanguageChoice language = app::TakeLanguageOption(arguments, {"fa"});
  if (!language.Error.empty() || arguments.size() != 1) {
    std::fprintf(stderr, "usage: %s [--lang fa|en] OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const bool english = language.Language == app::TLanguage::English;
  if (!app::InstallTranslations(language.Language)) {
    std::fprintf(stderr, "a translation is missing (qt6-translations-l10n?)\n");
  }
  const QString output = QString::fromStdString(arguments[0]);
  const QString suffix = english ? "_en.png" : ".png";
  QDir().mkpath(output);
  app::SetApplicationFont();

  QTemporaryDir exeDir;
  if (!exeDir.isValid()) return 1;
  try {
    bool ok = Save(*app::CreateConnectingWindow(), output + "/connecting" + suffix);

    app::TForm1 form(app::LoadEnvironment(exeDir.path().toStdString() + "/"));
    ok = Save(form, output + "/form1" + suffix) && ok;
    form.GaugeShow1->SetProgress(30);
    ok = Save(form, output + "/form1_gauge30" + suffix) && ok;
    form.GaugeShow1->SetProgress(0);

    form.Label3->show();  // as while a restore connects afresh to the server
    ok = Save(form, output + "/form1_connecting" + suffix) && ok;
    form.Label3->hide();

    std::unique_ptr<msg::TShowMsgForm> confirmation = form.MsgForm1->CreateShowForm();
    ok = Save(*confirmation, output + "/msgform1" + suffix) && ok;

    // The save dialog of a backup, as app::TQtDialogs sets it up.
    QFileDialog dialog(&form);
    dialog.setNameFilters(app::QtNameFilters(form.SaveDialog1.Filter));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(exeDir.path());
    dialog.resize(640, 400);
    ok = Save(dialog, output + "/filedialog" + suffix) && ok;
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
