// The BMP-and-libjpeg road of a page: what it does with the files it writes
// and with the quality it is given. The bytes it writes are
// bilevel_jpeg_test's, against cjpeg on every page of the corpora; an
// output replaced whole and no temporary file left, the conversion's tests
// and tests/fuzz/fuzz_bmp_to_jpeg's.
#include "codec/jpeg/jpeg_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "codec/bmp/page_bmp.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

class JpegWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { bmp_ = std::move(*platform::PrivateTempFile::Create(dir_.Path(), "page", ".bmp")); }

  // The road of one page: BMP through the private file, then JPEG.
  int Convert(const FaxPage& page, int quality, bool optimize) {
    EXPECT_EQ(WritePageBmp(page, *bmp_), 0);
    return WriteJpegFromBmp(*bmp_, dir_.File("out.jpg"), quality, true, optimize);
  }

  std::vector<uint8_t> Output() { return test::ReadFileBytes(dir_.File("out.jpg")); }

  test::ScopedTempDir dir_;
  std::unique_ptr<platform::PrivateTempFile> bmp_;
};

TEST_F(JpegWriterTest, QualityIsClampedByTheLibrary) {
  FaxPage page = test::RandomPage(64, 32, 200, 5);
  auto compress = [&](int quality) {
    EXPECT_EQ(Convert(page, quality, false), 0);
    return Output();
  };
  EXPECT_EQ(compress(0), compress(1));
  EXPECT_EQ(compress(-20), compress(1));
  EXPECT_EQ(compress(150), compress(100));
  EXPECT_NE(compress(50), compress(100));
}

TEST_F(JpegWriterTest, PermissionsFollowTheUmask) {
  for (mode_t mask : {022, 077, 002}) {
    mode_t previous = umask(mask);
    int result = Convert(test::RandomPage(16, 16, 200, 2), 75, false);
    umask(previous);
    ASSERT_EQ(result, 0);
    struct stat info {};
    ASSERT_EQ(stat(dir_.File("out.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    std::filesystem::remove(dir_.File("out.jpg"));
  }
}

TEST_F(JpegWriterTest, FilesThatCannotBeOpenedGiveOneAndNoJpeg) {
  EXPECT_EQ(WriteJpegFromBmpFile(dir_.File("missing.bmp"), dir_.File("out.jpg"), 75, true, false), 1);
  EXPECT_FALSE(test::FileExists(dir_.File("out.jpg")));

  ASSERT_EQ(WritePageBmp(test::RandomPage(16, 16, 200, 2), *bmp_), 0);
  platform::Status reason;
  EXPECT_EQ(WriteJpegFromBmp(*bmp_, dir_.File("no/such/folder/out.jpg"), 75, true, false, &reason), 1);
  EXPECT_EQ(reason.reason(), dir_.File("no/such/folder") + ": No such file or directory");
}

}  // namespace
}  // namespace tamarind
