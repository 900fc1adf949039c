#include "app/qt_dialogs.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(QtNameFilters, PairsBecomeFiltersThatMatchEitherCase) {
  EXPECT_EQ(QtNameFilters("Zip Files|*.zip|All Files|*.*"),
            QStringList({"Zip Files (*.[zZ][iI][pP])", "All Files (*)"}));
  // A text without a pattern of its own is the pattern.
  EXPECT_EQ(QtNameFilters("*.Zip"), QStringList({"*.Zip (*.[zZ][iI][pP])"}));
}

}  // namespace
}  // namespace app
