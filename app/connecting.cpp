//===-- app/connecting.cpp - The window while the program connects -*- C++ -*-===//
#include "connecting.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <exception>
#include <thread>

#include "app/language.h"
#include "app/texts.h"
#include "msg/design_font.h"

namespace app {

namespace {

// Where and how big the main window will be.
const QRect kMainWindowArea(206, 240, 583, 107);

}  // namespace

std::unique_ptr<QWidget> CreateConnectingWindow() {
  auto window = std::make_unique<QWidget>(
      nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  window->setObjectName("Connecting");
  window->setWindowTitle(QString::fromStdString(Tr(texts::kFormCaption)));
  window->setLayoutDirection(ReadingDirection());
  auto* text = new QLabel(QString::fromStdString(Tr(texts::kConnecting)), window.get());
  text->setObjectName("ConnectingText");
  text->setFont(msg::DesignFont("QRVZIBA", -16));
  text->setAlignment(Qt::AlignCenter);
  auto* bar = new QProgressBar(window.get());
  bar->setRange(0, 0);  // busy: no known end
  bar->setTextVisible(false);
  auto* layout = new QVBoxLayout(window.get());
  layout->addWidget(text);
  layout->addWidget(bar);
  window->setGeometry(kMainWindowArea);
  return window;
}

void ConnectShowingProgress(const std::function<void()>& connect, std::chrono::milliseconds delay) {
  QEventLoop loop;
  std::exception_ptr failure;
  // The quit is queued to the loop's thread, so that it also ends a loop that
  // starts only after the work is done.
  std::thread worker([&] {
    try {
      connect();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  const std::unique_ptr<QWidget> window = CreateConnectingWindow();
  QTimer showLater;
  showLater.setSingleShot(true);
  QObject::connect(&showLater, &QTimer::timeout, window.get(), &QWidget::show);
  showLater.start(delay);
  loop.exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace app
