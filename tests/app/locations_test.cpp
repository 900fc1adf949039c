// Where the program keeps its data and finds its settings, installed or run
// from the build tree.
#include "app/locations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>

#include "app/startup.h"
#include "operation_fixture.h"

namespace app::testing {
namespace {

using ::testing::ElementsAre;

TEST(Locations, BuildTreeIsKnownByTheCacheBesideItsBinFolder) {
  EXPECT_TRUE(RunsFromBuildTree(ExecutableDir()));  // the tests run from build/bin
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  fs::create_directories(root / "bin");
  EXPECT_FALSE(RunsFromBuildTree(root / "bin"));
  std::ofstream(root / "CMakeCache.txt") << "";
  EXPECT_TRUE(RunsFromBuildTree(root / "bin"));
}

// Installed: data in the user's data folder; settings beside the program,
// then in the user's settings folder, then in the system's.
TEST(Locations, InstalledProgramLooksForItsSettingsInOrder) {
  const std::string home = TestHome();  // HOME and XDG_DATA_HOME
  setenv("XDG_CONFIG_HOME", (home + "config").c_str(), 1);
  const std::string data = InstalledDataFolder();
  EXPECT_EQ(data, home + "data/P_Restore/");
  const fs::path user = home + "config/P_Restore";
  EXPECT_THAT(SettingsFolders(data),
              ElementsAre(fs::path(ExecutableDir()), user, fs::path("/etc/P_Restore")));

  const char* name = "locations-test.ini";
  EXPECT_EQ(SettingsFile(data, name), fs::path(ExecutableDir()) / name);  // found nowhere
  fs::create_directories(user);
  std::ofstream(user / name) << "[Database]\n";
  EXPECT_EQ(SettingsFile(data, name), user / name);
  EXPECT_EQ(WritableSettingsFile(data, "DefAlias.dat"), user / "DefAlias.dat");

  // Any other data folder (the build tree's) holds its settings itself.
  const std::string own = home + "program/";
  EXPECT_THAT(SettingsFolders(own), ElementsAre(fs::path(own)));
  EXPECT_EQ(WritableSettingsFile(own, "DefAlias.dat"), fs::path(own) / "DefAlias.dat");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace app::testing
