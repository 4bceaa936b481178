#include "codec/jpeg/jpeg_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <set>

#include "codec/bmp/page_bmp.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::GreyImage;

GreyImage Djpeg(const std::string& jpegPath) {
  test::CommandResult result = test::RunCommand("djpeg -pnm " + test::ShellQuote(jpegPath));
  EXPECT_EQ(result.exitCode, 0);
  return test::DecodePgm(result.output);
}

class JpegWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { bmp_ = std::move(*platform::PrivateTempFile::Create(dir_.Path(), "page", ".bmp")); }

  // The road of one page: BMP through the private file, then JPEG.
  int Convert(const FaxPage& page, int quality, bool optimize, const std::string& name = "out.jpg") {
    EXPECT_EQ(WritePageBmp(page, *bmp_), 0);
    return WriteJpegFromBmp(*bmp_, dir_.File(name), quality, true, optimize);
  }

  std::vector<uint8_t> Output(const std::string& name = "out.jpg") { return test::ReadFileBytes(dir_.File(name)); }

  std::set<std::string> FolderNames() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  test::ScopedTempDir dir_;
  std::unique_ptr<platform::PrivateTempFile> bmp_;
};

FaxPage DocumentPage(int width, uint16_t yResolution) {
  return test::PageFromPbm(test::DocumentPagePbm(), width, yResolution);
}

TEST_F(JpegWriterTest, GreyscaleJfifWithUnitDensity) {
  FaxPage page = DocumentPage(1728, 100);
  ASSERT_EQ(Convert(page, 75, true), 0);
  std::vector<uint8_t> jpeg = Output();
  ASSERT_GT(jpeg.size(), 40u);
  const std::vector<uint8_t> jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1};
  EXPECT_TRUE(std::equal(jfif.begin(), jfif.end(), jpeg.begin()));

  // Walk the markers to the frame header: one component, square pixels.
  size_t at = 2;
  while (at + 4 < jpeg.size() && jpeg[at + 1] != 0xC0) at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  ASSERT_LT(at + 10, jpeg.size()) << "no baseline frame header";
  EXPECT_EQ(jpeg[at + 5] << 8 | jpeg[at + 6], page.height * 2);
  EXPECT_EQ(jpeg[at + 7] << 8 | jpeg[at + 8], 1728);
  EXPECT_EQ(jpeg[at + 9], 1);
}

TEST_F(JpegWriterTest, DecodesToThePageWithinJpegError) {
  FaxPage page = DocumentPage(1728, 100);
  GreyImage expected = test::SquareSamples(page);
  ASSERT_EQ(Convert(page, 75, false, "plain.jpg"), 0);
  ASSERT_EQ(Convert(page, 75, true, "optimized.jpg"), 0);
  EXPECT_LT(Output("optimized.jpg").size(), Output("plain.jpg").size());

  GreyImage decoded = Djpeg(dir_.File("optimized.jpg"));
  EXPECT_TRUE(decoded.samples == Djpeg(dir_.File("plain.jpg")).samples) << "optimisation changed the pixels";
  ASSERT_EQ(decoded.width, expected.width);
  ASSERT_EQ(decoded.height, expected.height);
  // Text is sharp-edged, so single samples may ring; whole pages may not.
  // A row order or polarity error would put the mean near 128.
  double total = 0;
  for (size_t i = 0; i < expected.samples.size(); ++i) total += std::abs(decoded.samples[i] - expected.samples[i]);
  EXPECT_LT(total / static_cast<double>(expected.samples.size()), 6.0);
}

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

TEST_F(JpegWriterTest, ReplacesAnExistingJpegAndLeavesNoTemporaryFile) {
  test::WriteFileText(dir_.File("out.jpg"), "an older page");
  ASSERT_EQ(Convert(test::RandomPage(100, 10, 200, 1), 75, false), 0);
  EXPECT_EQ(Output()[0], 0xFF);
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"out.jpg"}));
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
