// The archive writers on their own, without decoding or recognition:
//   tif        real text pages written into one multi-page TIFF: pages per
//              second and the writer's peak memory beyond the pages it is given
//   tif-large  the largest page there may be (2^27 pixels of noise, the
//              costliest to code) as a TIFF: seconds and peak memory
//   pdf        the same text pages as a searchable PDF with a text layer of
//              720 made-up words a page (12 words on each of 60 lines, 2-9
//              letters each, as on a page of typed text), and as a plain
//              PDF: bytes and pages per second
// Each measurement runs in a child process of its own, so that its peak
// resident size (VmHWM) is its own.
//
// Usage: bench_archive_writers [--pages=N]   (pages of the tif and pdf measurements; default 240)
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_bench.h"
#include "child_measurement.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/tiff_document_writer.h"
#include "support/page_images.h"
#include "support/real_pages.h"
#include "support/test_files.h"

namespace {

using namespace tamarind;
using namespace tamarind::bench;

constexpr const char* kGlyphLessFont = "/usr/share/tesseract-ocr/5/tessdata/pdf.ttf";
constexpr const char* kTextPages[] = {"text-standard-g3", "text-fine-g4", "text-standard-g4", "text-fine-g3"};

// The bytes a writer wrote, and what writing them cost.
using Result = ChildMeasurement<long long>;

std::vector<FaxPage> TextPages() {
  std::vector<FaxPage> pages;
  for (const char* name : kTextPages) {
    const test::RealPage& real = test::RealPageNamed(name);
    FaxPage page = test::ToFaxPage(real.reference);
    page.y_resolution = real.fine ? 200 : 100;
    pages.push_back(std::move(page));
  }
  return pages;
}

long long FileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return static_cast<long long>(file.tellg());
}

template <typename Writer, typename Add>
long long WriteDocument(const std::string& path, Writer& writer, platform::AtomicOutputFile& file, Add add) {
  add(writer);
  if (!writer.Finish().ok() || !file.Commit().ok()) throw std::runtime_error("writing " + path + " failed");
  return FileSize(path);
}

long long WriteTiff(const std::string& path, const std::vector<FaxPage>& pages, int count) {
  auto file = platform::AtomicOutputFile::Create(path);
  if (!file) throw std::runtime_error(file.status().reason());
  TiffDocumentWriter writer(**file, {"bench.fxd", {}});
  return WriteDocument(path, writer, **file, [&](TiffDocumentWriter& w) {
    for (int n = 0; n < count; ++n)
      if (!w.AddPage(pages[static_cast<size_t>(n) % pages.size()]).ok()) throw std::runtime_error("a page failed");
  });
}

// 60 lines of 12 words across the page's text column.
std::vector<PdfWord> MadeUpWords(const FaxPage& page, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<PdfWord> words;
  const int32_t lineHeight = page.height / 66, wordWidth = page.width / 14;
  for (int line = 0; line < 60; ++line) {
    for (int column = 0; column < 12; ++column) {
      std::string text;
      for (uint32_t n = 2 + random() % 8; n > 0; --n) text += static_cast<char>('a' + random() % 26);
      const int32_t x0 = wordWidth * (column + 1) + static_cast<int32_t>(random() % 8);
      const int32_t y0 = lineHeight * (line + 3);
      words.push_back({text, x0, y0, x0 + wordWidth * static_cast<int32_t>(text.size()) / 10, y0 + lineHeight * 3 / 4});
    }
  }
  return words;
}

long long WritePdf(const std::string& path, const std::vector<FaxPage>& pages, int count, bool text) {
  auto file = platform::AtomicOutputFile::Create(path);
  if (!file) throw std::runtime_error(file.status().reason());
  PdfDocumentWriter writer(**file, {"bench.fxd", {}}, test::ReadFileBytes(kGlyphLessFont));
  return WriteDocument(path, writer, **file, [&](PdfDocumentWriter& w) {
    for (int n = 0; n < count; ++n) {
      const FaxPage& page = pages[static_cast<size_t>(n) % pages.size()];
      const std::vector<PdfWord> words = text ? MadeUpWords(page, static_cast<uint32_t>(n)) : std::vector<PdfWord>{};
      PdfPageExtras extras;
      extras.words = words;
      if (!w.AddPage(page, extras).ok()) throw std::runtime_error("a page failed");
    }
  });
}

}  // namespace

int main(int argc, char** argv) try {
  const int count = std::max(1, IntOption(argc, argv, "--pages", 240));
  test::ScopedTempDir dir;
  const std::vector<FaxPage> pages = TextPages();
  std::vector<FaxPage> large;

  const Result tif = InChild([] {}, [&] { return WriteTiff(dir.File("text.tif"), pages, count); }, CpuSeconds);
  std::printf(
      "tif        %d text pages: %7.1f pages/s (%7.1f per processor second), %10lld bytes, writer's peak %6ld KiB\n",
      count, count / tif.wall, count / tif.processor, tif.value, tif.peakKb);

  const Result big = InChild([&] { large.push_back(test::RandomPage(8192, 16384, 200, 1)); },
                             [&] { return WriteTiff(dir.File("large.tif"), large, 1); }, CpuSeconds);
  std::printf("tif-large  8192 x 16384 noise: %6.2f s (%6.2f processor s), %10lld bytes, writer's peak %6ld KiB\n",
              big.wall, big.processor, big.value, big.peakKb);

  const Result searchable =
      InChild([] {}, [&] { return WritePdf(dir.File("text.pdf"), pages, count, true); }, CpuSeconds);
  const Result plain = InChild([] {}, [&] { return WritePdf(dir.File("plain.pdf"), pages, count, false); }, CpuSeconds);
  std::printf("pdf        %d text pages: searchable %10lld bytes (%7.1f pages per processor second), without text"
              " %10lld bytes; text layer %6.1f KB a page\n",
              count, searchable.value, count / searchable.processor, plain.value,
              static_cast<double>(searchable.value - plain.value) / count / 1000.0);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_archive_writers: %s\n", e.what());
  return 1;
}
