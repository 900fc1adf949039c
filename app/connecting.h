//===-- app/connecting.h - The window while the program connects -*- C++ -*-===//
//
// At start-up the program connects to the database server before its window
// can show the company; a server that does not answer holds it there until
// the login time-out (15 seconds). Meanwhile a small window, where the main
// window will appear, says that the program is connecting, and the
// application goes on painting its windows.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QWidget;

namespace app {

/// The window that says so, at the place of the main window, not shown yet.
std::unique_ptr<QWidget> CreateConnectingWindow();

/// Runs `connect` on a worker thread while the application processes its
/// events; when it has not finished after `delay`, the window "Connecting"
/// shows until it has. Returns when `connect` has returned, and throws what
/// it threw. `connect` must not touch widgets.
void ConnectShowingProgress(const std::function<void()>& connect,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(300));

}  // namespace app
