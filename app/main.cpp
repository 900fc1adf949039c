//===-- app/main.cpp - P_Restore: back up and restore a company -*- C++ -*-===//
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/connecting.h"
#include "app/form1.h"
#include "app/headless.h"
#include "app/language.h"
#include "app/locations.h"
#include "app/startup.h"

namespace {

int RunWindow(int argc, char** argv, app::TLanguage language) {
  QApplication application(argc, argv);
  app::InstallTranslations(language);
  QGuiApplication::setDesktopFileName("P_Restore");
  QApplication::setWindowIcon(QIcon::fromTheme("P_Restore"));
  app::SetApplicationFont();
  std::unique_ptr<app::TForm1> form;
  try {
    app::TFormEnvironment environment = app::LoadEnvironment(app::DataFolder());
    // A server that does not answer keeps the program here up to its login
    // time-out: the user sees that it is connecting.
    app::TDbConnection& master = *environment.Master;
    app::ConnectShowingProgress([&master] { master.Open(); });
    form = std::make_unique<app::TForm1>(std::move(environment));
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
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const app::TLanguageChoice language =
      app::TakeLanguageOption(arguments, QLocale::system().uiLanguages());
  app::TCommandLine command = app::ParseCommandLine(arguments);
  if (!language.Error.empty()) {
    command.mode = app::TCommandLine::Mode::Invalid;
    command.error = language.Error;
  }
  switch (command.mode) {
    case app::TCommandLine::Mode::Window:
      return RunWindow(argc, argv, language.Language);
    case app::TCommandLine::Mode::Help:
      std::cout << app::UsageText() << app::LanguageUsageText() << app::LocationsUsageText();
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
  app::InstallTranslations(language.Language);
  try {
    return app::RunHeadless(command, app::DataFolder(), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "P_Restore: " << e.what() << '\n';
    return app::kExitFailure;
  }
}
