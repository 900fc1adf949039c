// The window that shows while the program connects at start-up.
#include "app/connecting.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <future>

#include "app/db/database.h"
#include "app/texts.h"

namespace app {
namespace {

QWidget* ConnectingWindow() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "Connecting" && window->isVisible()) return window;
  }
  return nullptr;
}

TEST(Connecting, WindowShowsUntilTheServerAnswers) {
  std::promise<void> answer;
  std::future<void> answered = answer.get_future();
  std::string seen;
  // The server answers once the window has been seen.
  QTimer::singleShot(50, [&] {
    if (QWidget* window = ConnectingWindow()) {
      seen = window->findChild<QLabel*>("ConnectingText")->text().toStdString();
    }
    answer.set_value();
  });
  ConnectShowingProgress([&] { answered.wait(); }, std::chrono::milliseconds(0));
  EXPECT_EQ(seen, texts::kConnecting);
  EXPECT_EQ(ConnectingWindow(), nullptr);
}

TEST(Connecting, FailureReachesTheCaller) {
  EXPECT_THROW(ConnectShowingProgress([] { throw EDatabaseError("server not found"); }),
               EDatabaseError);
}

}  // namespace
}  // namespace app
