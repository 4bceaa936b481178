#include "platform/temp_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// Private, unique and never named, and it reads back what was written
// through its descriptor.
TEST(PrivateTempFileTest, IsPrivateUniqueNamelessAndReadsBackWhatWasWritten) {
  test::ScopedTempDir dir;
  auto madeA = PrivateTempFile::Create(dir.Path(), "tmpbmp", ".tmp");
  auto madeB = PrivateTempFile::Create(dir.Path(), "tmpbmp", ".tmp");
  ASSERT_TRUE(madeA && madeB);
  auto& file = *madeA;
  EXPECT_NE(file->Path(), (*madeB)->Path());
  EXPECT_EQ(file->Path().substr(0, dir.Path().size() + 8), dir.Path() + "/tmpbmp-");
  EXPECT_EQ(file->Path().substr(file->Path().size() - 4), ".tmp");
  struct stat info {};
  ASSERT_EQ(fstat(file->Descriptor(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  // Nobody can open it by name, and a killed process cannot leave it.
  EXPECT_FALSE(test::FileExists(file->Path()));
  EXPECT_EQ(test::RunCommand("ls -A " + dir.Path()).output, "");

  std::vector<uint8_t> data = {1, 2, 3, 4, 5};
  ASSERT_TRUE(file->Write(data));
  ASSERT_TRUE(file->WriteAt(8, data));
  EXPECT_EQ(file->Size(), 13);
  std::vector<uint8_t> back(20, 0xEE);
  EXPECT_EQ(file->ReadAt(6, back).value_or(-1), 7);  // short only at the end
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 7), (std::vector<uint8_t>{0, 0, 1, 2, 3, 4, 5}));
  ASSERT_TRUE(file->Truncate());
  EXPECT_EQ(file->Size(), 0);
  ASSERT_TRUE(file->Write(data));
  EXPECT_EQ(file->Size(), 5);
}

}  // namespace
}  // namespace tamarind::platform
