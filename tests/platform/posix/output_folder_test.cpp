#include "platform/output_folder.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/atomic_file.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

class OutputFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"dest", "elsewhere"}) std::filesystem::create_directory(dir_.File(folder));
    // The root the user names may itself be a link.
    ASSERT_EQ(symlink("dest", dir_.File("named").c_str()), 0);
    // Planted by another user of a shared destination.
    ASSERT_EQ(symlink("../elsewhere", dir_.File("dest/sub").c_str()), 0);
    test::WriteFileText(dir_.File("dest/file"), "");
  }

  test::ScopedTempDir dir_;
};

TEST_F(OutputFolderTest, MakesFoldersAndOutputsBelowTheRootThroughItsLink) {
  Expected<OutputFolder> root = OutputFolder::Open(dir_.File("named"));
  ASSERT_TRUE(root) << root.reason();
  ASSERT_TRUE(root->MakeFoldersBeneath("a/b//c/"));
  ASSERT_TRUE(root->MakeFoldersBeneath("a/b/c"));  // what exists is fine
  auto file = AtomicOutputFile::Create(*root, "a/b/c/page.jpg");
  ASSERT_TRUE(file) << file.reason();
  EXPECT_EQ((*file)->FinalPath(), dir_.File("named/a/b/c/page.jpg"));
  ASSERT_TRUE((*file)->Commit());
  EXPECT_TRUE(test::FileExists(dir_.File("dest/a/b/c/page.jpg")));

  // A root that does not exist yet is made on request, like `mkdir -p`.
  EXPECT_TRUE(OutputFolder::Open(dir_.File("new/root"), true));
}

TEST_F(OutputFolderTest, NeverPassesThroughALinkOrOutOfTheRoot) {
  Expected<OutputFolder> root = OutputFolder::Open(dir_.File("dest"));
  ASSERT_TRUE(root) << root.reason();
  const std::pair<const char*, const char*> cases[] = {
      {"sub/deeper", "dest/sub: is a symbolic link"},
      {"sub", "dest/sub: is a symbolic link"},
      {"a/../../elsewhere", "dest/a/..: leaves the destination folder"},
      {"file/x", "dest/file: Not a directory"},
  };
  for (auto [relative, reason] : cases) {
    Status made = root->MakeFoldersBeneath(relative);
    EXPECT_EQ(made.reason(), dir_.File(reason)) << relative;
    auto file = AtomicOutputFile::Create(*root, std::string(relative) + "/b.jpg");
    EXPECT_EQ(file.reason(), dir_.File(reason)) << relative;
  }
  // The last level of an output path too.
  auto file = AtomicOutputFile::Create(*root, "sub/b.jpg");
  EXPECT_EQ(file.reason(), dir_.File("dest/sub: is a symbolic link"));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("elsewhere")));
}

}  // namespace
}  // namespace tamarind::platform
