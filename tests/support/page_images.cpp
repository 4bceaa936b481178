#include "support/page_images.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>

#include "support/test_files.h"

namespace tamarind::test {

namespace {

FaxPage BlankPage(int width, int height, uint16_t yResolution) {
  FaxPage page;
  page.width = width;
  page.height = height;
  page.bytes_per_row = (width + 7) / 8;
  page.samples_per_pixel = 1;
  page.bits_per_pixel = 1;
  page.x_resolution = 200;
  page.y_resolution = yResolution;
  page.resolution_unit = 2;
  page.bits.assign(static_cast<size_t>(page.bytes_per_row) * height, 0xFF);
  return page;
}

bool IsWhite(const FaxPage& page, int x, int y) {
  return (page.Row(y)[static_cast<size_t>(x) / 8] & (0x80 >> (x % 8))) != 0;
}

// Reads the header of a binary PNM: magic, width, height and (unless P4)
// maxval, each separated by white space, comments allowed.
size_t ParsePnmHeader(const std::string& bytes, const std::string& magic, int* width, int* height) {
  if (bytes.compare(0, 2, magic) != 0) throw std::runtime_error("not a " + magic + " file");
  size_t pos = 2;
  int values[3] = {0, 0, 0};
  const int wanted = magic == "P4" ? 2 : 3;
  for (int i = 0; i < wanted; ++i) {
    while (pos < bytes.size() && (isspace(static_cast<unsigned char>(bytes[pos])) || bytes[pos] == '#')) {
      if (bytes[pos] == '#') pos = bytes.find('\n', pos);
      else ++pos;
    }
    size_t used = 0;
    values[i] = std::stoi(bytes.substr(pos, 12), &used);
    pos += used;
  }
  *width = values[0];
  *height = values[1];
  if (wanted == 3 && values[2] != 255) throw std::runtime_error("maxval is not 255");
  return pos + 1;  // one white-space byte ends the header
}

// The page's recipe: a man page whose text is the first 400 lines of a
// source file (any document will do; this one has headings, paragraphs and
// indents), and the commands that set and render it.
const std::string kRenderDocumentPage =
    "groff -man -Tps doc.man > doc.ps && gs -q -dSAFER -dNOPAUSE -dBATCH -sPAPERSIZE=a4 -dFirstPage=1 "
    "-dLastPage=1 -sDEVICE=pbmraw -r204x98 -sOutputFile=page.pbm doc.ps";

std::string DocumentRoff() {
  std::string roff = ".TH TAMARIND 1\n.SH NAME\ntamarind \\- convert fax pages to JPEG images\n.SH DESCRIPTION\n";
  std::string text = ReadFileText(SourceDir() + "/src/codec/jpeg/bmp_source.cpp");
  std::istringstream lines(text);
  std::string line;
  int count = 0;
  while (std::getline(lines, line) && count++ < 400) {
    std::string escaped;
    for (char c : line) escaped += c == '\\' ? std::string("\\e") : std::string(1, c);
    roff += "\\&" + escaped + "\n";
    if (count % 12 == 0) roff += ".PP\n";
  }
  return roff;
}

std::string RenderDocumentPage(const std::string& folder, const std::string& roff) {
  WriteFileText(folder + "/doc.man", roff);
  CommandResult result = RunCommand("cd " + ShellQuote(folder) + " && " + kRenderDocumentPage);
  if (result.exitCode != 0) throw std::runtime_error("cannot render the document page");
  return folder + "/page.pbm";
}

}  // namespace

FaxPage RandomPage(int width, int height, uint16_t yResolution, uint32_t seed) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::mt19937 random(seed);
  for (uint8_t& byte : page.bits) byte = static_cast<uint8_t>(random());
  return page;
}

FaxPage SolidPage(int width, int height, uint16_t yResolution, bool white) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::fill(page.bits.begin(), page.bits.end(), white ? 0xFF : 0x00);
  return page;
}

FaxPage BlockPage(int width, int height, uint16_t yResolution, int blocks, uint32_t seed) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::mt19937 random(seed);
  for (int n = 0; n < blocks; ++n) {
    const int x0 = static_cast<int>(random() % static_cast<uint32_t>(width));
    const int y0 = static_cast<int>(random() % static_cast<uint32_t>(height));
    const int x1 = std::min(width, x0 + 1 + static_cast<int>(random() % 40));
    const int y1 = std::min(height, y0 + 1 + static_cast<int>(random() % 30));
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        page.bits[static_cast<size_t>(y) * page.bytes_per_row + x / 8] &= ~(0x80 >> (x % 8));
  }
  return page;
}

FaxPage PageFromPbm(const std::string& pbm, int width, uint16_t yResolution) {
  int pbmWidth = 0;
  int height = 0;
  size_t start = ParsePnmHeader(pbm, "P4", &pbmWidth, &height);
  const size_t pbmRowBytes = (static_cast<size_t>(pbmWidth) + 7) / 8;
  FaxPage page = BlankPage(width, height, yResolution);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = reinterpret_cast<const uint8_t*>(pbm.data() + start + y * pbmRowBytes);
    for (int x = 0; x < std::min(width, pbmWidth); ++x) {
      bool black = row[x / 8] & (0x80 >> (x % 8));
      if (black) page.bits[static_cast<size_t>(y) * page.bytes_per_row + x / 8] &= ~(0x80 >> (x % 8));
    }
  }
  return page;
}

GreyImage SquareSamples(const FaxPage& page) {
  const int repeat = std::max(1, page.y_resolution ? page.x_resolution / page.y_resolution : 1);
  GreyImage image;
  image.width = page.width;
  image.height = page.height * repeat;
  image.samples.reserve(static_cast<size_t>(image.width) * image.height);
  for (int y = 0; y < page.height; ++y) {
    for (int copy = 0; copy < repeat; ++copy) {
      for (int x = 0; x < page.width; ++x) image.samples.push_back(IsWhite(page, x, y) ? 255 : 0);
    }
  }
  return image;
}

std::string EncodePgm(const GreyImage& image) {
  std::string out = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  out.append(image.samples.begin(), image.samples.end());
  return out;
}

std::string EncodePpm(int width, int height, const std::vector<uint8_t>& rgb) {
  std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.append(rgb.begin(), rgb.end());
  return out;
}

GreyImage DecodePgm(const std::string& bytes) {
  GreyImage image;
  size_t start = ParsePnmHeader(bytes, "P5", &image.width, &image.height);
  const size_t size = static_cast<size_t>(image.width) * image.height;
  if (bytes.size() < start + size) throw std::runtime_error("PGM cut short");
  image.samples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                       bytes.begin() + static_cast<std::ptrdiff_t>(start + size));
  return image;
}

const std::string& DocumentPagePbm() {
  static const std::string pbm = [] {
    const std::string folder = BinaryDir() + "/testdata";
    const std::string roff = DocumentRoff();
    const std::string cached = folder + "/document-page-" + RecipeKey(roff + kRenderDocumentPage) + ".pbm";
    if (!FileExists(cached)) {
      std::filesystem::create_directories(folder);
      // Test programs run in parallel: render privately, then rename.
      ScopedTempDir work;
      std::string rendered = RenderDocumentPage(work.Path(), roff);
      std::string staged = cached + "." + std::to_string(getpid());
      std::filesystem::copy_file(rendered, staged, std::filesystem::copy_options::overwrite_existing);
      std::filesystem::rename(staged, cached);
    }
    return ReadFileText(cached);
  }();
  return pbm;
}

}  // namespace tamarind::test
