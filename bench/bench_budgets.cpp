// What one worker may take, measured, for the constants the program bounds
// it by:
//   recognition  pages of dense text (the groff manual at 204 x 196 dpi,
//                tiled side by side and one under the other) and pages of
//                noise of the same sizes, each in a process of its own:
//                wall and processor seconds, peak memory beyond the loaded
//                engine, and how long the page takes to end when told to
//                stop at once (layout analysis, which Tesseract cannot be
//                asked to stop); the same stop on a real halftone page
//   workers      the real program on the largest page it takes (2^27
//                pixels of noise) in every format, and with /ocr on the
//                largest page recognition takes (2^24 pixels of noise):
//                peak resident set beyond the program's own at start
//
// Usage: bench_budgets [--large] [--recognition | --workers]
//   --large        adds the 63 Mpx pages (many minutes)
//   --recognition  only the recognition measurements; --workers only the
//                  program's
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/parallel_run.h"
#include "child_measurement.h"
#include "ocr/ocr_engine.h"
#include "platform/processor_time.h"
#include "support/document_pages.h"
#include "support/page_images.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace {

using namespace tamarind;
using namespace tamarind::bench;

// Document pages |cols| across and |rows| down, at 204 x 196 dpi.
FaxPage TiledText(int cols, int rows) {
  const auto& pages = test::DocumentPages();
  const test::Bitmap& first = pages[0].fine;
  FaxPage page = test::FaxPageOf(first, true);
  page.width = first.width * cols;
  page.height = first.height * rows;
  page.bytes_per_row = (page.width + 7) / 8;
  page.bits.assign(static_cast<size_t>(page.bytes_per_row) * static_cast<size_t>(page.height), 0xFF);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const test::Bitmap& tile = pages[static_cast<size_t>(r * cols + c) % pages.size()].fine;
      for (int y = 0; y < tile.height; ++y) {
        auto row = tile.Row(y);
        uint8_t* out = &page.bits[static_cast<size_t>(r * first.height + y) * page.bytes_per_row +
                                  static_cast<size_t>(c * tile.bytes_per_row)];
        for (size_t b = 0; b < row.size(); ++b) out[b] = static_cast<uint8_t>(~row[b]);
      }
    }
  return page;
}

ocr::OcrEngine Engine() {
  auto engine = ocr::OcrEngine::Create("eng");
  if (!engine) throw std::runtime_error(engine.reason());
  return std::move(*engine);
}

// No budget: what the page costs when left to run (four hours at most).
const ocr::RecognitionLimits kUnlimited{.stop = {}, .seconds = 4 * 3600.0, .pixels = int64_t{1} << 40};

void MeasureRecognition(const char* kind, const FaxPage& page) {
  std::optional<ocr::OcrEngine> engine;
  auto prepare = [&] { engine.emplace(Engine()); };
  const auto full = InChild(
      prepare, [&] { return engine->Recognise(page, kUnlimited).ok(); }, platform::ThreadProcessorSeconds);
  ocr::RecognitionLimits stopAtOnce = kUnlimited;
  stopAtOnce.stop = [] { return true; };
  // The time a stop takes to be seen: layout analysis, which Tesseract
  // cannot be asked to stop.
  const auto stop = InChild(
      prepare, [&] { return engine->Recognise(page, stopAtOnce).ok(); }, platform::ThreadProcessorSeconds);
  const double megapixels = static_cast<double>(page.width) * page.height / 1e6;
  std::printf("%-8s %5d x %5d %5.1f Mpx  %7.2f s  %7.2f processor s (%5.2f per Mpx)  peak %5ld MB (%4.1f B/px)"
              "  stopped at once: ends after %6.2f s (%6.2f processor s)\n",
              kind, page.width, page.height, megapixels, full.wall, full.processor, full.processor / megapixels,
              full.peakKb / 1024, full.peakKb * 1024.0 / (megapixels * 1e6), stop.wall, stop.processor);
  std::fflush(stdout);
}

void Recognition(bool large) {
  const auto engine = InChild([] {},
                              [] {
                                ocr::OcrEngine loaded = Engine();
                                return true;
                              },
                              platform::ThreadProcessorSeconds);
  std::printf("recognition: one engine (eng + osd) takes %ld MB once loaded; budget: %.1f processor s per Mpx, "
              "%.0f s at least; largest page %.1f Mpx, worker bound %lld MB\n",
              engine.peakKb / 1024, ocr::RecognitionSecondsFor(100'000'000) / 100, ocr::RecognitionSecondsFor(1),
              static_cast<double>(ocr::kMaxRecognisedPixels) / 1e6,
              static_cast<long long>(ocr::RecognitionMemoryBound() >> 20));
  // Widths of 1728 and 6912 pixels are read at 204 dpi, so the pages are
  // recognised as they are (3456 would be taken for 408 dpi and its rows
  // repeated).
  std::vector<std::pair<int, int>> tiles = {{1, 1}, {1, 2}, {1, 4}, {4, 2}};
  if (large) tiles.emplace_back(4, 4);
  for (auto [cols, rows] : tiles) {
    const FaxPage text = TiledText(cols, rows);
    MeasureRecognition("text", text);
    MeasureRecognition("noise", test::RandomPage(text.width, text.height, 200, 1));
  }
  for (const char* name : {"halftone-g4", "halftone-g3"}) {
    FaxPage halftone = test::ToFaxPage(test::RealPageNamed(name).reference);
    halftone.x_resolution = 200;
    halftone.y_resolution = test::RealPageNamed(name).fine ? 200 : 100;
    MeasureRecognition(name, halftone);
  }
}

// A WinFax file of one page of |width| x |height| noise at fine
// resolution, coded by pbmtog3.
std::string NoiseFax(const std::string& folder, int width, int height) {
  const std::string name = folder + "/noise-" + std::to_string(width) + "x" + std::to_string(height);
  const FaxPage page = test::RandomPage(width, height, 200, 3);
  std::string pbm = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
  for (uint8_t byte : page.bits) pbm += static_cast<char>(~byte);
  test::WriteFileText(name + ".pbm", pbm);
  const test::CommandResult coded = test::RunCommand("pbmtog3 -nofixedwidth " + test::ShellQuote(name + ".pbm"));
  if (coded.exitCode != 0) throw std::runtime_error("pbmtog3 failed");
  tools::WinFaxPageLayout layout;
  layout.coded.assign(coded.output.begin(), coded.output.end());
  layout.msb_first = true;
  layout.width = static_cast<uint16_t>(width);
  layout.length = static_cast<uint16_t>(height);
  layout.resolution_code = 1;
  if (!tools::WriteWinFaxFile(name + ".fxd", std::vector{layout})) throw std::runtime_error("cannot write " + name);
  return name + ".fxd";
}

// The program's peak resident set in MB for |arguments|.
long ProgramPeakMb(const std::string& folder, const std::string& arguments) {
  const std::string program = std::string(TAMARIND_BINARY_DIR) + "/tamarind";
  const test::CommandResult run =
      test::RunCommand("cd " + test::ShellQuote(folder) + " && /usr/bin/time -f %M " + program + " " + arguments +
                       " /log=/dev/null 2>&1 >/dev/null | tail -1");
  return std::atol(run.output.c_str()) / 1024;
}

void Workers() {
  test::ScopedTempDir dir;
  const std::string largest = NoiseFax(dir.Path(), 8192, 16384);
  const std::string recognisable = NoiseFax(dir.Path(), 2048, 8192);
  const long program = ProgramPeakMb(dir.Path(), "--version");
  std::printf("workers: the program takes %ld MB at start\n", program);
  constexpr std::pair<const char*, OutputFormat> kFormats[] = {
      {"jpg", OutputFormat::Jpeg}, {"pdf", OutputFormat::Pdf}, {"tif", OutputFormat::Tiff}};
  for (const auto& [format, code] : kFormats) {
    const long plain =
        ProgramPeakMb(dir.Path(), "/q /f=" + largest + " /sf=out." + format + " /fmt=" + format) - program;
    const long ocr =
        ProgramPeakMb(dir.Path(), "/q /ocr /f=" + recognisable + " /sf=ocr." + format + " /fmt=" + format) - program;
    std::printf("  %s  largest page (2^27 px noise) %4ld MB (bound %lld MB)   /ocr on 2^24 px noise %4ld MB "
                "(bound %lld MB)\n",
                format, plain, static_cast<long long>(WorkerMemoryBound(code, false) >> 20), ocr,
                static_cast<long long>(WorkerMemoryBound(code, true) >> 20));
    std::fflush(stdout);
  }
}

}  // namespace

bool HasOption(int argc, char** argv, const std::string& name) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] == name) return true;
  return false;
}

int main(int argc, char** argv) try {
  const bool onlyRecognition = HasOption(argc, argv, "--recognition");
  const bool onlyWorkers = HasOption(argc, argv, "--workers");
  if (!onlyWorkers) Recognition(HasOption(argc, argv, "--large"));
  if (!onlyRecognition) Workers();
  return 0;
} catch (const std::exception& error) {
  std::fprintf(stderr, "bench_budgets: %s\n", error.what());
  return 1;
}
