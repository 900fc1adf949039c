//===-- app/startup.cpp - What the program starts from ----------*- C++ -*-===//
#include "startup.h"

#include <QApplication>
#include <QCoreApplication>

#include "app/config.h"
#include "app/locations.h"
#include "msg/design_font.h"

namespace app {

std::string ExecutableDir() { return QCoreApplication::applicationDirPath().toStdString() + "/"; }

TFormEnvironment LoadEnvironment(const std::string& exeDir) {
  const TDatabaseConfig config = ReadDatabaseConfig(SettingsFile(exeDir, "P_Restore.ini"));
  TConnections connections = CreateConnections(config, exeDir);
  return {exeDir, std::move(connections.Master), std::move(connections.Company), nullptr,
          config.Operations};
}

void SetApplicationFont() { QApplication::setFont(msg::DesignFont("MS Sans Serif", -11)); }

}  // namespace app
