#include "codec/png/png_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

// What a written picture decodes to, libpng shows on any size and samples
// (tests/fuzz/fuzz_png_writer) and netpbm on the thumbnailer's (cli's
// thumbnail_test); here, what a refusal says.
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
