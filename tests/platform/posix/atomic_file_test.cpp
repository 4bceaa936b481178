#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// Unnamed files (the usual case) and the named temporary file of file
// systems that refuse them; each once with a flush to the disk.
class AtomicOutputFileTest : public ::testing::TestWithParam<OutputOptions> {
 protected:
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  std::unique_ptr<AtomicOutputFile> CreateWith(const std::string& name, const std::string& text) {
    Expected<std::unique_ptr<AtomicOutputFile>> file = AtomicOutputFile::Create(dir_.File(name), GetParam());
    EXPECT_TRUE(file) << file.reason();
    if (!file) return nullptr;
    fputs(text.c_str(), (*file)->Stream());
    return std::move(*file);
  }

  // What the folder may hold besides |names| while a file is written.
  std::set<std::string> WhileWriting(std::set<std::string> names, const AtomicOutputFile& file) const {
    if (!GetParam().unnamed) names.insert(file.TemporaryName());
    return names;
  }

  test::ScopedTempDir dir_;
};

TEST_P(AtomicOutputFileTest, TheFinalNameAppearsOnlyOnCommitWithTheUsualMode) {
  test::WriteFileText(dir_.File("page.jpg"), "old");
  auto file = CreateWith("page.jpg", "new");
  ASSERT_TRUE(file);
  fflush(file->Stream());
  EXPECT_EQ(GetParam().unnamed, file->TemporaryName().empty());
  if (!GetParam().unnamed) {
    EXPECT_TRUE(file->TemporaryName().starts_with("page.jpg.") && file->TemporaryName().ends_with(".tmp"));
  }
  EXPECT_EQ(Names(), WhileWriting({"page.jpg"}, *file));
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "old");
  // Writers that take a descriptor (libtiff) write through it.
  ASSERT_EQ(write(file->Descriptor(), "!", 1), 1);

  ASSERT_TRUE(file->Commit());
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "new!");
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
  const mode_t mask = umask(0);
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat(dir_.File("page.jpg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
  file.reset();  // a committed file stays
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
}

TEST_P(AtomicOutputFileTest, DiscardOrDestructionKeepsTheOldFile) {
  test::WriteFileText(dir_.File("page.jpg"), "old");
  EXPECT_TRUE(CreateWith("page.jpg", "new")->Discard());
  CreateWith("page.jpg", "new");  // destroyed without a commit
  EXPECT_EQ(Names(), std::set<std::string>{"page.jpg"});
  EXPECT_EQ(test::ReadFileText(dir_.File("page.jpg")), "old");
}

TEST_P(AtomicOutputFileTest, FailuresNameTheOutputAndLeaveNothing) {
  // The final name is a folder; the disk is full; the final name is
  // write-protected (for root too, whom its mode would not stop).
  std::filesystem::create_directories(dir_.File("folder.jpg/inside"));
  test::WriteFileText(dir_.File("kept.jpg"), "old");
  ASSERT_EQ(chmod(dir_.File("kept.jpg").c_str(), 0444), 0);
  for (const char* name : {"folder.jpg", "full.jpg", "kept.jpg"}) {
    auto file = CreateWith(name, "new");
    ASSERT_TRUE(file);
    if (std::string_view(name) == "full.jpg") {
      if (!test::FileExists("/dev/full")) continue;
      ASSERT_NE(freopen("/dev/full", "wb", file->Stream()), nullptr);
      fputs("data that cannot be written", file->Stream());
    }
    Status committed = file->Commit();
    ASSERT_FALSE(committed) << name;
    EXPECT_TRUE(committed.reason().starts_with(dir_.File(name) + ": ")) << committed.reason();
    EXPECT_FALSE(file->Commit()) << "a second commit must not succeed";
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"folder.jpg", "kept.jpg"}));
  EXPECT_EQ(test::ReadFileText(dir_.File("kept.jpg")), "old");
}

TEST_P(AtomicOutputFileTest, LongNamesStillGetATemporaryName) {
  const std::string name(250, 'n');
  auto file = CreateWith(name, "x");
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Commit());
  EXPECT_EQ(Names(), std::set<std::string>{name});
}

INSTANTIATE_TEST_SUITE_P(Kinds, AtomicOutputFileTest,
                         ::testing::Values(OutputOptions{.sync = false, .unnamed = true},
                                           OutputOptions{.sync = true, .unnamed = false}),
                         [](const auto& info) { return std::string(info.param.unnamed ? "Unnamed" : "Named"); });

TEST(AtomicOutputFile, CreateFailsInAMissingFolderNamingIt) {
  test::ScopedTempDir dir;
  Expected<std::unique_ptr<AtomicOutputFile>> file = AtomicOutputFile::Create(dir.File("missing/page.jpg"));
  ASSERT_FALSE(file);
  EXPECT_NE(file.reason().find(dir.File("missing")), std::string::npos) << file.reason();
}

TEST(AtomicOutputFile, AKilledWriterLeavesNothingBehind) {
  test::ScopedTempDir dir;
  test::WriteFileText(dir.File("page.jpg"), "old");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto file = AtomicOutputFile::Create(dir.File("page.jpg"));
    if (!file) _exit(1);
    fputs("half a page", (*file)->Stream());
    fflush((*file)->Stream());
    raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child could not create the file";
  EXPECT_EQ(test::RunCommand("ls -A " + dir.Path()).output, "page.jpg\n");
  EXPECT_EQ(test::ReadFileText(dir.File("page.jpg")), "old");
}

TEST(AtomicOutputFile, ATemporaryFileThatCannotBeRemovedIsEmptiedAndSaidSo) {
  test::ScopedTempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("drop")));
  auto file = AtomicOutputFile::Create(dir.File("drop/page.jpg"), {.unnamed = false});
  ASSERT_TRUE(file);
  fputs("a whole page", (*file)->Stream());
  if (test::RunCommand("chattr +a " + dir.File("drop") + " 2>/dev/null && echo ok").output != "ok\n")
    GTEST_SKIP() << "no append-only folders here";
  Status discarded = (*file)->Discard();
  test::RunCommand("chattr -a " + dir.File("drop"));
  ASSERT_FALSE(discarded);
  EXPECT_NE(discarded.reason().find((*file)->TemporaryName() + ": cannot be removed"), std::string::npos)
      << discarded.reason();
  EXPECT_EQ(test::ReadFileText(dir.File("drop/" + (*file)->TemporaryName())), "");
}

}  // namespace
}  // namespace tamarind::platform
