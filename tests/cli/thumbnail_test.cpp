// The thumbnailer as a file manager runs it: the real program on every
// sample, and on the damaged and hostile files a file manager may find.
#include "cli/thumbnail_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <random>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "preview/page_preview.h"
#include "support/fax_files.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

constexpr int kSize = 128;

// A hang guard, not a speed target (bench_page_preview times the program).
test::CommandResult RunThumbnailer(const std::string& input, const std::string& output, const std::string& size) {
  test::ScopedTempDir home;
  return test::RunProgram(home.Path(),
                          std::string(kThumbnailSwitch) + " " + test::ShellQuote(input) + " " +
                              test::ShellQuote(output) + " " + test::ShellQuote(size) + " 2>&1",
                          "timeout -s KILL 20");
}

// The PNG holds the preview picture exactly (whose size and pixels
// preview's page_preview_test checks against netpbm). A desktop may type a
// fax by its signature, so a copy without the extension gives the same
// picture.
class Thumbnail : public ::testing::TestWithParam<const char*> {};

TEST_P(Thumbnail, IsThePreviewPictureNamedOrNot) {
  const std::string sample = test::SourceDir() + "/samples/" + GetParam();
  test::ScopedTempDir dir;
  const std::string unnamed = dir.File("attachment");
  std::filesystem::copy_file(sample, unnamed);
  platform::Expected<GreyPicture> preview = RenderFirstPage(sample, kSize, kSize);
  ASSERT_TRUE(preview.ok()) << preview.reason();
  for (const std::string& input : {sample, unnamed}) {
    const std::string png = dir.File("thumbnail.png");
    test::CommandResult run = RunThumbnailer(input, png, std::to_string(kSize));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    test::CommandResult decoded = test::RunCommand("pngtopnm " + test::ShellQuote(png));
    ASSERT_EQ(decoded.exitCode, 0);
    const test::GreyImage image = test::DecodePgm(decoded.output);
    EXPECT_EQ(image.width, preview->width);
    EXPECT_EQ(image.samples, preview->samples);
    std::filesystem::remove(png);
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, Thumbnail,
                         ::testing::Values("standard-g3.fxd", "fine-g3.fxs", "standard-g4.fxr", "fine-g4.fxm",
                                           "superfine-g4.fxd", "multipage.fxd"));

struct Hostile {
  const char* name;
  std::function<void(const std::string& path)> make;
  const char* size;
  int exitCode;
  const char* message;
};

void PrintTo(const Hostile& c, std::ostream* out) { *out << c.name; }

void SparseTebibyte(const std::string& path) {
  if (!test::FileExists(path)) test::WriteFileText(path, "");
  ASSERT_EQ(truncate(path.c_str(), off_t{1} << 40), 0);
}

// What a file manager may hand over: a pipe would block a reader, a device
// or a sparse tebibyte would never end, a header may claim anything. Each
// gives no thumbnail, no file at all, and a status that says so.
class HostileThumbnail : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileThumbnail, NoFileAndAFailingStatus) {
  const Hostile& c = GetParam();
  test::ScopedTempDir dir;
  const std::string input = dir.File(c.name);
  c.make(input);
  std::filesystem::create_directory(dir.File("out"));
  test::CommandResult run = RunThumbnailer(input, dir.File("out/thumbnail.png"), c.size);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
  const std::string said = c.exitCode == 64 ? std::string(c.message) : "no thumbnail: " + input + ": " + c.message;
  EXPECT_THAT(run.output, HasSubstr(said));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileThumbnail,
    ::testing::Values(Hostile{"pipe.fxd", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, "128", 2,
                              "is a FIFO"},
                      Hostile{"zeros.fxd", [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
                              "128", 2, "is a device"},
                      Hostile{"sparse.fxd", SparseTebibyte, "128", 2, "not a WinFax file"},
                      Hostile{"sparse-claiming.fxd",
                              [](const std::string& p) {
                                tools::WinFaxPageLayout page = test::WhiteRowsPage(1728, 100, 1);
                                page.data_length = 0x7FFFFFFF;
                                ASSERT_TRUE(tools::WriteWinFaxFile(p, std::vector{page}));
                                SparseTebibyte(p);
                              },
                              "128", 2, "page too large to preview"},
                      Hostile{"garbage.fxd",
                              [](const std::string& p) {
                                std::mt19937 random(17);
                                std::vector<uint8_t> bytes(65536);
                                for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
                                test::WriteFileBytes(p, bytes);
                              },
                              "128", 2, "not a WinFax file"},
                      Hostile{"cut.fxd",
                              [](const std::string& p) {
                                std::vector<uint8_t> bytes =
                                    test::ReadFileBytes(test::SourceDir() + "/samples/standard-g3.fxd");
                                bytes.resize(100);
                                test::WriteFileBytes(p, bytes);
                              },
                              "128", 2, "the page holds no image"}),

    [](const ::testing::TestParamInfo<Hostile>& info) {
      std::string name = info.param.name;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

// Sizes from 1 to 16,384 are taken, the bounds included;
// anything else is a usage error that writes no file. A page is never
// enlarged, and one row high keeps the largest picture small.
TEST(ThumbnailSize, EveryAllowedSizeIsTakenAndNoOther) {
  test::ScopedTempDir dir;
  const std::string input = dir.File("row.fxd"), png = dir.File("thumbnail.png");
  ASSERT_TRUE(tools::WriteWinFaxFile(input, std::vector{test::WhiteRowsPage(1728, 100, 1)}));
  for (const auto& [size, exitCode] : {std::pair{"1", 0}, {"16384", 0}, {"16385", 64}, {"0", 64}, {"big", 64}}) {
    SCOPED_TRACE(size);
    std::filesystem::remove(png);
    test::CommandResult run = RunThumbnailer(input, png, size);
    EXPECT_EQ(run.exitCode, exitCode) << run.output;
    if (exitCode != 0) {
      EXPECT_THAT(run.output, HasSubstr("usage"));
      EXPECT_FALSE(test::FileExists(png));
      continue;
    }
    test::CommandResult decoded = test::RunCommand("pngtopnm " + test::ShellQuote(png));
    ASSERT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(test::DecodePgm(decoded.output).width, std::min(std::stoi(size), 1728));  // never enlarged
  }
}

}  // namespace
}  // namespace tamarind
