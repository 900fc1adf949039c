//===-- app/startup.h - What the program starts from ------------*- C++ -*-===//
#pragma once

#include <string>

#include "app/form1.h"

namespace app {

/// The folder of the running executable with a trailing '/', computed afresh
/// on every call. Needs the application object.
std::string ExecutableDir();

/// The window's environment for a program whose data folder is `exeDir`
/// (app/locations.h): its P_Restore.ini chooses the engine (the embedded one
/// when there is none), and the embedded engine's Data/ folder is prepared.
/// Throws EDatabaseError.
TFormEnvironment LoadEnvironment(const std::string& exeDir);

/// The application-wide font of the program's windows.
void SetApplicationFont();

}  // namespace app
