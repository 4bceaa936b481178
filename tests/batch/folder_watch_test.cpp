// Which files a watch hands on from one scan to the next.
#include "batch/folder_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A file is handed on once two scans saw it alike, once each change; a
// file that went is forgotten, so the watch's memory follows the folder
// and a file that comes back is new again.
TEST(FolderWatch, FilesSettleBeforeTheyAreHandedOnAndGoneFilesAreForgotten) {
  test::ScopedTempDir dir;
  test::WriteFileText(dir.File("a.fxd"), "a");
  FolderWatch watch;
  watch.Start(dir.Path(), std::vector<std::string>{"a.fxd"});

  test::WriteFileText(dir.File("b.fxd"), "b");
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), IsEmpty());  // b is new
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), ElementsAre("b.fxd"));
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), IsEmpty());  // handed on once

  test::WriteFileText(dir.File("b.fxd"), "bigger");
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), IsEmpty());  // changed: waits a scan
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), ElementsAre("b.fxd"));

  EXPECT_EQ(watch.Known(), 2u);
  EXPECT_THAT(watch.Ready(dir.Path(), {"b.fxd"}), IsEmpty());
  EXPECT_EQ(watch.Known(), 1u) << "a.fxd went and must be forgotten";
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), IsEmpty());  // back: new again
  EXPECT_THAT(watch.Ready(dir.Path(), {"a.fxd", "b.fxd"}), ElementsAre("a.fxd"));
}

}  // namespace
}  // namespace tamarind
