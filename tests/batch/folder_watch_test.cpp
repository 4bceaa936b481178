// Which files a watch hands on from one scan to the next.
#include "batch/folder_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::chrono::milliseconds kPeriod{1000};

// Sets |entry|'s modification time |ago| seconds back.
void Age(const test::ScopedTempDir& dir, const std::string& entry, int64_t ago) {
  const platform::FileTime then{platform::StatusOf(dir.File(entry))->modified.seconds - ago, 0};
  ASSERT_TRUE(platform::SetFileTimes(dir.File(entry), then, then));
}

// A file is handed on once two scans saw it alike, once each change; a
// file modified within the last period is not in the first pass, as it may
// still be being written; a file handed on before comes back as changed
// (to be converted whatever its time) when its identity changed, even to
// an older time; a file that went is forgotten, so the watch's memory
// follows the folder and a file that comes back is new again.
TEST(FolderWatch, FilesSettleBeforeTheyAreHandedOnAndGoneFilesAreForgotten) {
  test::ScopedTempDir dir;
  test::WriteFileText(dir.File("a.fxd"), "a");
  Age(dir, "a.fxd", 60);
  test::WriteFileText(dir.File("fresh.fxd"), "still being written");
  FolderWatch watch;
  EXPECT_THAT(watch.Start(dir.Path(), {"a.fxd", "fresh.fxd"}, kPeriod), ElementsAre("a.fxd"));
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "fresh.fxd"}).files, ElementsAre("fresh.fxd"));  // alike since

  test::WriteFileText(dir.File("b.fxd"), "b");
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}).files, IsEmpty());  // b is new
  WatchPass pass = watch.Ready(dir.Path(), {"a.fxd", "b.fxd"});
  EXPECT_THAT(pass.files, ElementsAre("b.fxd"));
  EXPECT_THAT(pass.again, IsEmpty()) << "b.fxd is new, not converted again";
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}).files, IsEmpty());  // handed on once

  // Replaced by an older copy (cp -p): same size, an older time.
  test::WriteFileText(dir.File("a.fxd"), "A");
  Age(dir, "a.fxd", 3600);
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}).files, IsEmpty());  // changed: waits a scan
  pass = watch.Ready(dir.Path(), {"a.fxd", "b.fxd"});
  EXPECT_THAT(pass.files, ElementsAre("a.fxd"));
  EXPECT_THAT(pass.again, ElementsAre("a.fxd"));

  EXPECT_EQ(watch.Converted("b.fxd", 4), 0u);
  EXPECT_EQ(watch.Converted("b.fxd", 2), 4u);
  EXPECT_EQ(watch.Known(), 2u) << "fresh.fxd went and must be forgotten";
  EXPECT_THAT(watch.Ready(dir.Path(), {"b.fxd"}).files, IsEmpty());
  EXPECT_EQ(watch.Known(), 1u) << "a.fxd went and must be forgotten";
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}).files, IsEmpty());  // back: new again
  pass = watch.Ready(dir.Path(), {"a.fxd", "b.fxd"});
  EXPECT_THAT(pass.files, ElementsAre("a.fxd"));
  EXPECT_THAT(pass.again, IsEmpty());
  EXPECT_EQ(watch.PagesConverted("a.fxd"), 0u);
  EXPECT_EQ(watch.PagesConverted("b.fxd"), 2u);
}

}  // namespace
}  // namespace tamarind
