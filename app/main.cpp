//===-- app/main.cpp - P_Restore: back up and restore a company -*- C++ -*-===//
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/form1.h"
#include "app/startup.h"

int main(int argc, char** argv) {
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
