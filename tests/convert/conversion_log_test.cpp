// The log: entry bytes, one entry per run, and where it may be written.
#include <gtest/gtest.h>

#include <regex>

#include "convert/conversion_log.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

const std::string kDashes(50, '-');

TEST(ConversionLog, EntriesAreTimeLineReportAndDashes) {
  test::ScopedTempDir dir;
  std::string log = dir.File("log/tmdlog.txt");
  EXPECT_TRUE(AppendToLog(log, "first\r\nsecond\r\n", true));
  EXPECT_TRUE(AppendToLog(log, "", true));  // an empty report still gives an entry
  EXPECT_TRUE(AppendToLog(log, "no line end", true));

  const std::string time = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\n)";
  std::regex expected(time + "first\r\nsecond\r\n" + kDashes + "\n" +  //
                      time + kDashes + "\n" +                          //
                      time + "no line end" + kDashes + "\n");
  std::string text = test::ReadFileText(log);
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(ConversionLog, FolderOfAGivenPathIsMadeOneLevelOnly) {
  test::ScopedTempDir dir;
  EXPECT_TRUE(AppendToLog(dir.File("one/tmdlog.txt"), "kept\r\n"));
  EXPECT_NE(test::ReadFileText(dir.File("one/tmdlog.txt")).find("kept\r\n"), std::string::npos);

  EXPECT_FALSE(AppendToLog(dir.File("two/three/tmdlog.txt"), "lost\r\n"));
  EXPECT_FALSE(test::FileExists(dir.File("two")));

  EXPECT_TRUE(AppendToLog(dir.File("two/three/tmdlog.txt"), "kept\r\n", true));
  EXPECT_TRUE(test::FileExists(dir.File("two/three/tmdlog.txt")));
}

TEST(ConversionLog, NothingHappensWithoutAPathOrWithAFolderInTheWay) {
  test::ScopedTempDir dir;
  EXPECT_TRUE(AppendToLog("", "report\r\n", true));
  test::WriteFileText(dir.File("file"), "x");
  EXPECT_FALSE(AppendToLog(dir.File("file/tmdlog.txt"), "report\r\n", true));
  EXPECT_EQ(test::ReadFileText(dir.File("file")), "x");
}

}  // namespace
}  // namespace tamarind
