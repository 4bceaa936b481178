#include "convert/process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

class ProcessPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.Path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    setenv("TMPDIR", "/var/tmp", 1);
  }
  void TearDown() override { unsetenv("TMPDIR"); }

  test::ScopedTempDir home;
  test::ScopedTempDir exe;
};

TEST_F(ProcessPathsTest, PerUserFoldersUnlessAnIniSitsBesideTheExecutable) {
  ProcessPaths paths = BuildProcessPaths(exe.File("tamarind"));
  EXPECT_EQ(paths.exeFolder, exe.Path());
  EXPECT_EQ(paths.settingsPath, home.Path() + "/.config/tamarind/tamarind.ini");
  EXPECT_EQ(paths.logPath, home.Path() + "/.local/state/tamarind/log/tmdlog.txt");
  EXPECT_TRUE(paths.logPathIsDefault);
  EXPECT_EQ(paths.tempFolder, "/var/tmp");

  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("XDG_STATE_HOME", "relative/ignored", 1);
  paths = BuildProcessPaths(exe.File("tamarind"));
  EXPECT_EQ(paths.settingsPath, "/cfg/tamarind/tamarind.ini");
  EXPECT_EQ(paths.logPath, home.Path() + "/.local/state/tamarind/log/tmdlog.txt");

  test::WriteFileText(exe.File("tamarind.ini"), "[Main]\n");
  paths = BuildProcessPaths(exe.File("tamarind"));
  EXPECT_EQ(paths.settingsPath, exe.File("tamarind.ini"));
  EXPECT_EQ(paths.logPath, exe.File("log/tmdlog.txt"));
}

}  // namespace
}  // namespace tamarind
