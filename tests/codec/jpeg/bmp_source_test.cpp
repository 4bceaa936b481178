// The BMP reader on files other than the page BMP: other palettes, 24-bit
// and OS/2 files, and every way a file can be refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "bmp_builder.h"
#include "codec/jpeg/jpeg_writer.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::BmpLayout;

std::vector<uint8_t> Cjpeg(const std::string& pnmPath, int quality, bool grayscale) {
  test::CommandResult result = test::RunCommand("cjpeg -quality " + std::to_string(quality) +
                                                (grayscale ? " -grayscale " : " ") + test::ShellQuote(pnmPath));
  EXPECT_EQ(result.exitCode, 0);
  return std::vector<uint8_t>(result.output.begin(), result.output.end());
}

BmpLayout Layout(int width, int height, uint16_t bitsPerPixel, std::vector<std::array<uint8_t, 3>> palette = {}) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bitsPerPixel;
  layout.palette = std::move(palette);
  return layout;
}

// A colourful image with smooth areas and noise, |width| x |height|.
std::vector<uint8_t> ColourPixels(int width, int height) {
  std::mt19937 random(7);
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rgb.push_back(static_cast<uint8_t>(x * 255 / width));
      rgb.push_back(static_cast<uint8_t>(y * 255 / height));
      rgb.push_back(static_cast<uint8_t>(random() % 256));
    }
  }
  return rgb;
}

class BmpSourceTest : public ::testing::Test {
 protected:
  int Compress(const BmpLayout& layout, bool grayscale = true, int quality = 75) {
    test::WriteFileBytes(dir_.File("in.bmp"), test::BuildBmp(layout));
    return WriteJpegFromBmpFile(dir_.File("in.bmp"), dir_.File("out.jpg"), quality, grayscale, false);
  }

  // The reference: cjpeg on the RGB picture the BMP describes.
  void ExpectSameAsCjpeg(const BmpLayout& layout, const std::vector<uint8_t>& rgb, bool grayscale) {
    ASSERT_EQ(Compress(layout, grayscale), 0);
    test::WriteFileText(dir_.File("ref.ppm"), test::EncodePpm(layout.width, layout.height, rgb));
    EXPECT_TRUE(test::ReadFileBytes(dir_.File("out.jpg")) == Cjpeg(dir_.File("ref.ppm"), 75, grayscale));
  }

  test::ScopedTempDir dir_;
};

// An 8-bit file with |palette| and indices i * 7 % |palette| size.
std::pair<BmpLayout, std::vector<uint8_t>> Mapped(std::vector<std::array<uint8_t, 3>> palette, int width, int height) {
  BmpLayout layout = Layout(width, height, 8, std::move(palette));
  std::vector<uint8_t> rgb;
  for (int i = 0; i < width * height; ++i) {
    uint8_t index = static_cast<uint8_t>(i * 7 % layout.palette.size());
    layout.pixels.push_back(index);
    rgb.insert(rgb.end(), layout.palette[index].begin(), layout.palette[index].end());
  }
  return {layout, rgb};
}

TEST_F(BmpSourceTest, PalettesAndDepthsGiveTheSameBytesAsCjpeg) {
  std::vector<std::array<uint8_t, 3>> greys16, colours16;
  for (int k = 0; k < 16; ++k) {
    greys16.push_back({uint8_t(17 * k), uint8_t(17 * k), uint8_t(17 * k)});
    colours16.push_back({uint8_t(16 * k), uint8_t(255 - 9 * k), uint8_t(k * k)});
  }
  {
    SCOPED_TRACE("16 grey entries: the palette is shorter, so the pixels start earlier");
    auto [layout, rgb] = Mapped(greys16, 61, 23);
    ExpectSameAsCjpeg(layout, rgb, true);
  }
  {
    SCOPED_TRACE("16 colour entries, greyscale and colour output");
    auto [layout, rgb] = Mapped(colours16, 61, 23);
    ExpectSameAsCjpeg(layout, rgb, true);
    ExpectSameAsCjpeg(layout, rgb, false);
  }
  {
    SCOPED_TRACE("grey ramp with colour output keeps three components");
    auto [layout, rgb] = Mapped(test::GreyRamp(), 61, 23);
    ExpectSameAsCjpeg(layout, rgb, false);
  }
  {
    SCOPED_TRACE("OS/2 header, 3-byte entries, a gap before the pixels");
    auto [layout, rgb] = Mapped(colours16, 33, 9);
    layout.infoBytes = 12;
    layout.palette.resize(256, {0, 0, 0});  // the OS/2 header has no colour count
    layout.gapBeforePixels = 5;
    ExpectSameAsCjpeg(layout, rgb, true);
  }
  {
    SCOPED_TRACE("24 bits");
    BmpLayout layout = Layout(203, 77, 24);
    layout.pixels = ColourPixels(203, 77);
    ExpectSameAsCjpeg(layout, layout.pixels, true);
    ExpectSameAsCjpeg(layout, layout.pixels, false);
  }
}

// Indices past a short palette read as black instead of whatever memory
// follows the colour map.
TEST_F(BmpSourceTest, IndicesBeyondThePaletteAreBlack) {
  std::vector<std::array<uint8_t, 3>> palette = {{255, 255, 255}, {128, 128, 128}};
  BmpLayout layout = Layout(16, 8, 8, palette);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 16 * 8; ++i) {
    uint8_t index = static_cast<uint8_t>(i % 5 == 0 ? 200 : i % 2);
    layout.pixels.push_back(index);
    std::array<uint8_t, 3> colour = index < 2 ? palette[index] : std::array<uint8_t, 3>{0, 0, 0};
    rgb.insert(rgb.end(), colour.begin(), colour.end());
  }
  ExpectSameAsCjpeg(layout, rgb, true);
}

TEST_F(BmpSourceTest, DensityComesFromTheBmpWhenItHasOne) {
  auto [layout, rgb] = Mapped(test::GreyRamp(), 16, 16);
  layout.xPixelsPerMetre = 7874;  // 200 dpi
  layout.yPixelsPerMetre = 3937;
  ASSERT_EQ(Compress(layout), 0);
  std::vector<uint8_t> jpeg = test::ReadFileBytes(dir_.File("out.jpg"));
  EXPECT_EQ(jpeg[13], 2);  // dots per centimetre
  EXPECT_EQ(jpeg[14] << 8 | jpeg[15], 78);
  EXPECT_EQ(jpeg[16] << 8 | jpeg[17], 39);
}

struct Refusal {
  const char* name;
  std::function<std::vector<uint8_t>()> bytes;
  const char* message;
};

BmpLayout Valid() {
  BmpLayout layout = Layout(40, 30, 8, test::GreyRamp());
  layout.pixels.assign(40 * 30, 128);
  return layout;
}

std::vector<uint8_t> With(std::function<void(BmpLayout&)> change) {
  BmpLayout layout = Valid();
  change(layout);
  return test::BuildBmp(layout);
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// Every refusal returns 3 with the library's or the reader's message on
// standard error, the process lives on, and the folder holds exactly what it
// held before: the previous JPEG untouched and no temporary file.
TEST_F(BmpSourceTest, RefusedFilesFailCleanlyWithTheirMessage) {
  const size_t pixels = 1078;
  const std::vector<Refusal> refusals = {
      {"empty file", [] { return std::vector<uint8_t>(); }, "Empty input file"},
      {"not starting with B", [] { return std::vector<uint8_t>(100, 'P'); },
       "Unrecognized input file format --- perhaps you need -targa"},
      {"B but not BM",
       [] {
         return std::vector<uint8_t>{'B', 'A', 0, 0};
       },
       "Premature end of input file"},
      {"B but not BM, full header", [] { return std::vector<uint8_t>(60, 'B'); },
       "Not a BMP file - does not start with BM"},
      {"header length 20", [] { return With([](BmpLayout& s) { s.infoBytes = 20; }); },
       "Invalid BMP file: bad header length"},
      {"4 bits per pixel", [] { return With([](BmpLayout& s) { s.bitsPerPixel = 4; }); },
       "Only 8- and 24-bit BMP files are supported"},
      {"two planes", [] { return With([](BmpLayout& s) { s.planes = 2; }); },
       "Invalid BMP file: biPlanes not equal to 1"},
      {"run-length coded", [] { return With([](BmpLayout& s) { s.compression = 1; }); },
       "Sorry, compressed BMPs not yet supported"},
      {"300 colours", [] { return With([](BmpLayout& s) { s.coloursUsed = 300; }); },
       "Unsupported BMP colormap format"},
      {"pixels inside the palette", [] { return With([](BmpLayout& s) { s.pixelOffsetDelta = -1; }); },
       "Invalid BMP file: bad header length"},
      {"offset beyond 2 GB", [] { return With([](BmpLayout& s) { s.pixelOffsetDelta = 0x80000000LL; }); },
       "Invalid BMP file: bad header length"},
      {"cut inside the header", [] { return Cut(test::BuildBmp(Valid()), 30); }, "Premature end of input file"},
      {"cut inside the palette", [] { return Cut(test::BuildBmp(Valid()), 500); }, "Premature end of input file"},
      {"cut inside the pixels", [] { return Cut(test::BuildBmp(Valid()), pixels + 40 * 29 + 3); },
       "Premature end of input file"},
      {"height 0", [] { return With([](BmpLayout& s) { s.height = 0; }); }, "Empty JPEG image (DNL not supported)"},
      {"width 0", [] { return With([](BmpLayout& s) { s.width = 0; }); }, "Empty JPEG image (DNL not supported)"},
      {"too wide",
       [] {
         return With([](BmpLayout& s) {
           s.width = 65501;
           s.height = 1;
           s.pixels.assign(65501, 0);
         });
       },
       "Maximum supported image dimension is 65500 pixels"},
      {"negative height", [] { return With([](BmpLayout& s) { s.height = -30; }); },
       "Maximum supported image dimension is 65500 pixels"},
      // Only the header claims a huge page: refused before anything is
      // allocated for it.
      {"huge page claimed",
       [] {
         return Cut(With([](BmpLayout& s) {
                      s.width = 65500;
                      s.height = 65500;
                      s.pixels.clear();
                    }),
                    pixels);
       },
       "Premature end of input file"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    test::WriteFileBytes(dir_.File("in.bmp"), refusal.bytes());
    test::WriteFileText(dir_.File("out.jpg"), "the previous page");
    for (bool optimize : {false, true}) {
      platform::Status reason;
      EXPECT_EQ(WriteJpegFromBmpFile(dir_.File("in.bmp"), dir_.File("out.jpg"), 75, true, optimize, &reason), 3);
      EXPECT_EQ(reason.reason(), dir_.File("out.jpg") + ": " + refusal.message);
    }
    EXPECT_EQ(test::ReadFileText(dir_.File("out.jpg")), "the previous page");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"in.bmp", "out.jpg"}));
  }
}

}  // namespace
}  // namespace tamarind
