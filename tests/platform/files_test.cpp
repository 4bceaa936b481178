// Folder making and wildcards of the conversion driver.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

TEST(MakeFolders, AcceptsWhatExistsAndRefusesAFileInTheWay) {
  test::ScopedTempDir dir;
  EXPECT_TRUE(MakeFolders(dir.File("a/b//c/")));
  EXPECT_TRUE(MakeFolders(dir.File("a/b/c")));
  test::WriteFileText(dir.File("file"), "x");
  EXPECT_EQ(MakeFolders(dir.File("file/under/more")).reason(), dir.File("file/under") + ": Not a directory");
}

TEST(MatchesWildcard, StarsAndQuestionMarksIgnoringCase) {
  EXPECT_TRUE(MatchesWildcard("noextension", "*.*"));
  EXPECT_TRUE(MatchesWildcard("REPORT.FXD", "*.fxd"));
  EXPECT_TRUE(MatchesWildcard("a.b.fxd", "*.fxd"));
  EXPECT_FALSE(MatchesWildcard("a.fxdata", "*.fxd"));
  EXPECT_TRUE(MatchesWildcard("fax01.fxs", "fax??.*"));
  EXPECT_FALSE(MatchesWildcard("fax1.fxs", "fax??.*"));
  EXPECT_TRUE(MatchesWildcard("abcabd", "*ab?"));  // the first "ab" is a false start
  // Trailing stars match nothing as well as anything.
  EXPECT_TRUE(MatchesWildcard("abc", "abc*"));
  EXPECT_TRUE(MatchesWildcard("abc", "abc**"));
  EXPECT_FALSE(MatchesWildcard("abc", "abc*?"));
}

}  // namespace
}  // namespace tamarind::platform
