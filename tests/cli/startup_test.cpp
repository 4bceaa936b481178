#include "cli/startup.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

// "Open with Tamarind" hands over one fax; anything else is a command line.
TEST(FileToOpen, OnlyOneExistingFaxThatIsNoSwitch) {
  const std::string sample = test::SourceDir() + "/samples/fine-g3.fxs";
  const std::string relative = std::filesystem::relative(sample).string();
  test::ScopedTempDir dir;
  test::WriteFileText(dir.File("notes.txt"), "text");
  std::filesystem::create_directory(dir.File("folder.fxd"));

  EXPECT_EQ(FileToOpen(std::vector<std::string>{sample}), sample);
  EXPECT_EQ(FileToOpen(std::vector<std::string>{relative}), sample);
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {},
           {sample, sample},
           {"/f=" + sample},
           {dir.File("missing.fxd")},
           {dir.File("notes.txt")},
           {dir.File("folder.fxd")},
       }) {
    EXPECT_EQ(FileToOpen(arguments), "") << (arguments.empty() ? "(none)" : arguments.front());
  }
}

}  // namespace
}  // namespace tamarind
