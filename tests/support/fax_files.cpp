#include "support/fax_files.h"

#include <cstdlib>
#include <stdexcept>

#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind::test {

std::string WriteFaxFile(const std::string& path, const std::vector<std::string_view>& pageNames) {
  std::vector<tools::WinFaxPageLayout> layouts;
  for (std::string_view name : pageNames) {
    layouts.push_back(name.empty() ? tools::WinFaxPageLayout() : WinFaxPageOf(RealPageNamed(name)));
  }
  std::string error;
  if (!tools::WriteWinFaxFile(path, layouts, &error)) throw std::runtime_error(error);
  return path;
}

tools::WinFaxPageLayout WinFaxPageOf(const RealPage& page) {
  tools::WinFaxPageLayout pageLayout;
  pageLayout.coded = page.coded;
  pageLayout.msb_first = true;
  pageLayout.group4 = page.coding == PageCoding::kGroup4;
  pageLayout.resolution_code = page.fine ? 1 : 0;
  pageLayout.width = static_cast<uint16_t>(page.width);
  return pageLayout;
}

tools::WinFaxPageLayout WhiteRowsPage(uint16_t width, uint16_t lines, uint8_t resolution_code) {
  tools::WinFaxPageLayout pageLayout;
  pageLayout.coded.assign(lines / 8 + 2, 0xFF);
  pageLayout.group4 = true;
  pageLayout.width = width;
  pageLayout.length = lines;
  pageLayout.resolution_code = resolution_code;
  return pageLayout;
}

::testing::AssertionResult IsWholeJpeg(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const bool whole = bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF &&
                     bytes.back() == 0xD9;
  if (whole) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " is not a whole JPEG (" << bytes.size() << " bytes)";
}

::testing::AssertionResult JpegShowsPage(const std::string& jpegPath, const RealPage& page) {
  CommandResult decoded = RunCommand("djpeg -grayscale -pnm " + ShellQuote(jpegPath));
  GreyImage map;
  if (decoded.exitCode != 0) return ::testing::AssertionFailure() << jpegPath << " does not decode";
  try {
    map = DecodePgm(decoded.output);
  } catch (const std::exception& error) {
    return ::testing::AssertionFailure() << jpegPath << " does not decode: " << error.what();
  }
  const Bitmap& reference = page.reference;
  if (map.width != reference.width)
    return ::testing::AssertionFailure() << jpegPath << " is " << map.width << " wide, the page " << reference.width;
  const int factor = page.fine ? 1 : 2;
  if (map.height % factor != 0)
    return ::testing::AssertionFailure() << jpegPath << ": " << map.height << " rows are not whole page rows";
  // Rows only one side holds must be white (encoders and decoders differ in
  // the trailing white rows they keep).
  for (int y = map.height / factor; y < reference.height; ++y)
    if (!IsWhiteRow(reference, y)) return ::testing::AssertionFailure() << jpegPath << " lacks page row " << y;
  uint64_t totalError = 0;
  size_t flipped = 0;
  for (int y = 0; y < map.height; ++y) {
    int row = y / factor;
    for (int x = 0; x < map.width; ++x) {
      bool black = row < reference.height && reference.IsBlack(x, row);
      int expected = black ? 0 : 255;
      int error = std::abs(map.At(x, y) - expected);
      totalError += static_cast<uint64_t>(error);
      if (error > 127) ++flipped;
    }
  }
  // Quality 50 blurs edges (a mean error below 1.2 on these pages) but
  // leaves every pixel on its side of mid-grey; a wrong page, a lost or
  // shifted row or rows not doubled flip thousands.
  double pixels = static_cast<double>(map.width) * map.height;
  double meanError = static_cast<double>(totalError) / pixels;
  double flippedShare = static_cast<double>(flipped) / pixels;
  if (meanError > 3.0 || flippedShare > 1e-5)
    return ::testing::AssertionFailure() << jpegPath << " differs from page " << page.name << ": mean error "
                                         << meanError << ", share of flipped pixels " << flippedShare;
  return ::testing::AssertionSuccess();
}

std::vector<std::string> ReportLines(std::string_view report) {
  std::vector<std::string> lines;
  while (!report.empty()) {
    size_t end = report.find("\r\n");
    if (end == std::string_view::npos) {
      lines.emplace_back(report);
      break;
    }
    lines.emplace_back(report.substr(0, end));
    report.remove_prefix(end + 2);
  }
  return lines;
}

}  // namespace tamarind::test
