#include "window/profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ReadFileText;
using test::ScopedTempDir;
using test::WriteFileText;

TEST(ProfileFile, MatchesSectionsAndKeysWithoutCaseAndKeepsBackslashes) {
  ScopedTempDir dir;
  WriteFileText(dir.File("t.ini"),
                "[MAIN]\nfaxdir = C:\\in\\faxes \nSaveDir=\n[Options]\nQuality= -12abc\nOptimize=x\n");
  ProfileFile profile = ProfileFile::Load(dir.File("t.ini"));
  EXPECT_EQ(profile.GetString("Main", "FaxDir", "?"), "C:\\in\\faxes");
  EXPECT_EQ(profile.GetString("main", "SaveDir", "?"), "");
  EXPECT_EQ(profile.GetString("Main", "Missing", "fallback"), "fallback");
  EXPECT_EQ(profile.GetString("Nowhere", "FaxDir", "fallback"), "fallback");
  EXPECT_EQ(profile.GetInt("options", "QUALITY", 50), -12);
  EXPECT_EQ(profile.GetInt("Options", "Optimize", 1), 0);  // no digits
  EXPECT_EQ(profile.GetInt("Main", "SaveDir", 7), 7);      // empty value
  EXPECT_EQ(profile.GetInt("Options", "Missing", 60), 60);
}

TEST(ProfileFile, WritingKeepsEveryOtherLineAndAddsWhatIsMissing) {
  ScopedTempDir dir;
  std::string path = dir.File("t.ini");
  WriteFileText(path, "; written by hand\r\n[options]\r\nquality=10\r\nColour=red\r\n\r\n[Other]\r\nx=1\r\n");
  ProfileFile profile = ProfileFile::Load(path);
  profile.SetInt("Options", "Quality", 75);
  profile.SetInt("Options", "CycleMinutes", 5);
  profile.SetString("Main", "FaxDir", "/srv/fax");
  ASSERT_TRUE(profile.Save());
  EXPECT_EQ(ReadFileText(path),
            "; written by hand\r\n[options]\r\nquality=75\r\nColour=red\r\nCycleMinutes=5\r\n\r\n[Other]\r\nx=1\r\n"
            "\r\n[Main]\r\nFaxDir=/srv/fax\r\n");
}

TEST(ProfileFile, ValuesReadBackExactlyAsWritten) {
  ScopedTempDir dir;
  std::string path = dir.File("sub/folder/t.ini");  // folders made on save
  const std::string values[] = {
      "plain", "  padded  ", R"("/a b" "c d.fxd")", R"("/a b/c.fxd")", "'single'", " \"x\" ", "\"",
      "",      "a=b;c",      R"(C:\in\faxes)"};
  ProfileFile writer(path);
  for (size_t i = 0; i < std::size(values); ++i) writer.SetString("S", "k" + std::to_string(i), values[i]);
  ASSERT_TRUE(writer.Save());
  ProfileFile reader = ProfileFile::Load(path);
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(reader.GetString("s", "K" + std::to_string(i), "?"), values[i]) << i;
}

TEST(ProfileFile, SavingKeepsALinkAndThePermissions) {
  ScopedTempDir dir;
  std::string real = dir.File("real.ini");
  WriteFileText(real, "[Main]\nFaxDir=/a\n");
  std::filesystem::permissions(real, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink(real, dir.File("link.ini"));
  ProfileFile profile = ProfileFile::Load(dir.File("link.ini"));
  profile.SetString("Main", "FaxDir", "/b");
  ASSERT_TRUE(profile.Save());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(ReadFileText(real), "[Main]\nFaxDir=/b\n");
  EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(ProfileFile, MissingFileSavesNothingUntilAsked) {
  ScopedTempDir dir;
  ProfileFile profile = ProfileFile::Load(dir.File("none.ini"));
  EXPECT_EQ(profile.GetInt("Options", "Quality", 50), 50);
  EXPECT_FALSE(test::FileExists(dir.File("none.ini")));
}

}  // namespace
}  // namespace tamarind
