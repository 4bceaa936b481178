#include "codec/png/png_writer.h"

#include <random>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

// netpbm's decoder gives back every sample as it was written.
class GreyPng : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(GreyPng, DecodesToTheSamplesWritten) {
  auto [width, height] = GetParam();
  std::vector<uint8_t> samples(static_cast<size_t>(width) * height);
  std::mt19937 random(static_cast<uint32_t>(width * 7919 + height));
  for (uint8_t& sample : samples) sample = static_cast<uint8_t>(random());
  test::ScopedTempDir dir;
  const std::string path = dir.File("picture.png");
  ASSERT_TRUE(WriteGreyPng(path, width, height, samples).ok());

  test::CommandResult decoded = test::RunCommand("pngtopnm " + test::ShellQuote(path));
  ASSERT_EQ(decoded.exitCode, 0);
  test::GreyImage image = test::DecodePgm(decoded.output);
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.height, height);
  EXPECT_EQ(image.samples, samples);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GreyPng, ::testing::Values(std::tuple{1, 1}, std::tuple{37, 5}, std::tuple{181, 256}));

TEST(GreyPngFails, WithItsReasonAndNothingWritten) {
  test::ScopedTempDir dir;
  const std::vector<uint8_t> four(4, 128);
  const std::string missingFolder = dir.File("missing/picture.png");
  EXPECT_THAT(WriteGreyPng(missingFolder, 2, 2, four).reason(), HasSubstr(dir.File("missing")));
  EXPECT_THAT(WriteGreyPng(dir.File("short.png"), 3, 2, four).reason(), HasSubstr("no picture"));
  EXPECT_THAT(WriteGreyPng(dir.File("empty.png"), 0, 0, {}).reason(), HasSubstr("no picture"));
  EXPECT_EQ(test::RunCommand("ls -A " + test::ShellQuote(dir.Path())).output, "");
}

}  // namespace
}  // namespace tamarind
