//===-- app/main.cpp - P_Restore: back up and restore a company -*- C++ -*-===//
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/headless.h"
#include "app/startup.h"

namespace {

int RunWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  app::SetApplicationFont();
  std::unique_ptr<app::TForm1> form;
  try {
    form = std::make_unique<app::TForm1>(app::LoadEnvironment(app::ExecutableDir()));
  } catch (const std::exception& e) {
    // Without its database the program cannot start: say why and end.
    QMessageBox::critical(nullptr, "P_Restore", QString::fromStdString(e.what()));
    return 1;
  }
  form->show();
  return application.exec();
}

// Without a window, the platform's remarks about the missing display and
// the like would only clutter the log of a scheduled run.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::cerr << "P_Restore: " << text.toStdString() << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  const app::TCommandLine command = app::ParseCommandLine({argv + 1, argv + argc});
  switch (command.mode) {
    case app::TCommandLine::Mode::Window:
      return RunWindow(argc, argv);
    case app::TCommandLine::Mode::Help:
      std::cout << app::UsageText();
      return app::kExitSuccess;
    case app::TCommandLine::Mode::Invalid:
      std::cerr << "P_Restore: " << command.error << "\n\n" << app::UsageText();
      return app::kExitUsage;
    case app::TCommandLine::Mode::Backup:
    case app::TCommandLine::Mode::BackupDir:
    case app::TCommandLine::Mode::Restore:
    case app::TCommandLine::Mode::List:
      break;
  }
  // Without a window the program needs no display: scheduled runs have none.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQtMessages);
  QGuiApplication application(argc, argv);
  return app::RunHeadless(command, app::ExecutableDir(), std::cout, std::cerr);
}
