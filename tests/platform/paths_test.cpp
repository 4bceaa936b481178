// How paths are taken apart, in both spellings: the Windows grammar is
// checked on every system, so a Linux build catches a slip in it too.
#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"

namespace tamarind::platform {
namespace {

struct PathCase {
  PathStyle style;
  const char* path;
  size_t root;
  bool absolute;
  const char* folder;
};

class PathGrammar : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathGrammar, RootAbsolutenessAndFolder) {
  const PathCase& c = GetParam();
  EXPECT_EQ(RootLength(c.path, c.style), c.root);
  EXPECT_EQ(IsAbsolutePath(c.path, c.style), c.absolute);
  EXPECT_EQ(FolderOf(c.path, c.style), c.folder);
}

constexpr PathStyle kPosix = PathStyle::kPosix;
constexpr PathStyle kWin = PathStyle::kWindows;

INSTANTIATE_TEST_SUITE_P(
    Cases, PathGrammar,
    ::testing::Values(PathCase{kPosix, "/a/b.fxd", 1, true, "/a"}, PathCase{kPosix, "/b.fxd", 1, true, "/"},
                      PathCase{kPosix, "a/b.fxd", 0, false, "a"}, PathCase{kPosix, "b.fxd", 0, false, ""},
                      // A backslash is an ordinary byte of a Linux name.
                      PathCase{kPosix, "a\\b.fxd", 0, false, ""}, PathCase{kWin, "C:\\in\\a.fxd", 3, true, "C:\\in"},
                      PathCase{kWin, "C:\\a.fxd", 3, true, "C:\\"}, PathCase{kWin, "c:/in/a.fxd", 3, true, "c:/in"},
                      PathCase{kWin, "C:a.fxd", 2, false, "C:"}, PathCase{kWin, "\\in\\a.fxd", 1, false, "\\in"},
                      PathCase{kWin, "in/sub\\a.fxd", 0, false, "in/sub"},
                      PathCase{kWin, "\\\\server\\share\\a.fxd", 15, true, "\\\\server\\share\\"},
                      PathCase{kWin, "//server/share/in/a.fxd", 15, true, "//server/share/in"},
                      PathCase{kWin, "\\\\server\\share", 14, true, "\\\\server\\share"},
                      PathCase{kWin, "\\\\?\\C:\\in\\a.fxd", 7, true, "\\\\?\\C:\\in"}));

TEST(JoinPath, OneSeparatorInTheSystemsSpelling) {
  EXPECT_EQ(JoinPath("out", "a.jpg", kPosix), "out/a.jpg");
  EXPECT_EQ(JoinPath("out/", "a.jpg", kPosix), "out/a.jpg");
  EXPECT_EQ(JoinPath("", "a.jpg", kPosix), "a.jpg");
  EXPECT_EQ(JoinPath("C:\\out", "a.jpg", kWin), "C:\\out\\a.jpg");
  EXPECT_EQ(JoinPath("C:/out/", "a.jpg", kWin), "C:/out/a.jpg");
  EXPECT_EQ(JoinPath("C:", "a.jpg", kWin), "C:a.jpg");  // relative to that drive's folder
  EXPECT_EQ(JoinPath("\\\\server\\share", "a.jpg", kWin), "\\\\server\\share\\a.jpg");
}

TEST(Separators, FoundInEitherSpellingOnWindowsOnly) {
  EXPECT_EQ(LastSeparator("a/b\\c", kWin), 3u);
  EXPECT_EQ(LastSeparator("a/b\\c", kPosix), 1u);
  EXPECT_EQ(FirstSeparator("ab\\c/d", 0, kWin), 2u);
  EXPECT_EQ(FirstSeparator("ab\\c/d", 0, kPosix), 4u);
}

}  // namespace
}  // namespace tamarind::platform
