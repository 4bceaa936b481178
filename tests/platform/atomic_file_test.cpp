#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

class AtomicOutputFileTest : public ::testing::Test {
 protected:
  std::set<std::string> Names() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  std::unique_ptr<AtomicOutputFile> CreateWith(const std::string& name, const std::string& text) {
    std::unique_ptr<AtomicOutputFile> file = AtomicOutputFile::Create(dir_.File(name));
    EXPECT_NE(file, nullptr);
    if (file) fputs(text.c_str(), file->Stream());
    return file;
  }

  test::ScopedTempDir dir_;
};

TEST_F(AtomicOutputFileTest, TheFinalNameAppearsOnlyOnCommit) {
  test::WriteFileText(dir_.File("page.jpg"), "old");
  auto file = CreateWith("page.jpg", "new");
  const std::string temp = std::filesystem::path(file->TempPath()).filename();
  EXPECT_TRUE(temp.starts_with("page.jpg.") && temp.ends_with(".tmp")) << temp;
  fflush(file->Stream());
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "old");

  ASSERT_TRUE(file->Commit());
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "new");
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
  file.reset();  // a committed file stays
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
}

TEST_F(AtomicOutputFileTest, DiscardOrDestructionKeepsTheOldFile) {
  test::WriteFileText(dir_.File("page.jpg"), "old");
  CreateWith("page.jpg", "new")->Discard();
  CreateWith("page.jpg", "new");  // destroyed without a commit
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "old");
}

TEST_F(AtomicOutputFileTest, AFailedRenameRemovesTheTemporaryFile) {
  std::filesystem::create_directories(dir_.File("page.jpg/inside"));
  auto file = CreateWith("page.jpg", "new");
  std::string error;
  EXPECT_FALSE(file->Commit(&error));
  EXPECT_NE(error.find("page.jpg"), std::string::npos) << error;
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
  EXPECT_FALSE(file->Commit()) << "a second commit must not succeed";
}

TEST_F(AtomicOutputFileTest, AFailedWriteIsReportedByCommit) {
  if (!test::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // The stream reports the error once it flushes; Commit must see it.
  auto file = CreateWith("page.jpg", "");
  ASSERT_NE(freopen("/dev/full", "wb", file->Stream()), nullptr);
  fputs("data that cannot be written", file->Stream());
  EXPECT_FALSE(file->Commit());
  EXPECT_FALSE(test::FileExists(dir_.File("page.jpg")));
}

TEST_F(AtomicOutputFileTest, CreateFailsInAMissingFolder) {
  std::string error;
  EXPECT_EQ(AtomicOutputFile::Create(dir_.File("missing/page.jpg"), &error), nullptr);
  EXPECT_NE(error, "");
}

TEST_F(AtomicOutputFileTest, LongNamesStillGetATemporaryName) {
  const std::string name(250, 'n');
  auto file = CreateWith(name, "x");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Commit());
  EXPECT_EQ(Names(), std::set<std::string>{name});
}

}  // namespace
}  // namespace tamarind::platform
