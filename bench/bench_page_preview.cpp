// The first-page preview of the window and of file-manager thumbnails:
// real pages, and the worst pages its limits let through, which must still
// come back in well under a second. Files past the limits are refused
// before any decoding.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "faxdoc/winfax_reader.h"
#include "preview/fax_pages.h"
#include "preview/page_preview.h"
#include "tools/winfax_writer.h"

namespace {

using tamarind::tools::WinFaxPageLayout;

std::string SamplePath(const char* name) { return std::string(TAMARIND_SOURCE_DIR) + "/samples/" + name; }

std::string WriteBenchFile(const char* name, const WinFaxPageLayout& page) {
  const std::string path = std::string(TAMARIND_BINARY_DIR) + "/bench-preview-" + name + ".fxd";
  if (!tamarind::tools::WriteWinFaxFile(path, std::vector<WinFaxPageLayout>{page})) std::abort();
  return path;
}

void Preview(benchmark::State& state, const std::string& path, int box) {
  for (auto _ : state) {
    tamarind::platform::Expected<tamarind::GreyPicture> picture = tamarind::RenderFirstPage(path, box, box);
    benchmark::DoNotOptimize(picture.ok());
  }
}

// A thumbnail and a window-sized preview of real pages.
void BM_PreviewSample(benchmark::State& state, const char* name) {
  Preview(state, SamplePath(name), static_cast<int>(state.range(0)));
}
BENCHMARK_CAPTURE(BM_PreviewSample, standard_g3, "standard-g3.fxd")->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewSample, fine_g4, "fine-g4.fxm")->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewSample, superfine_g4, "superfine-g4.fxd")
    ->Arg(256)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);

// The most rows and columns the limits allow, coded in a few kilobytes:
// Group 4 rows of one code each (a white row like the one above).
void BM_PreviewLargestWhitePage(benchmark::State& state) {
  const tamarind::PreviewLimits limits;
  WinFaxPageLayout page;
  page.group4 = true;
  page.width = static_cast<uint16_t>(limits.maxWidth);
  page.length = static_cast<uint16_t>(limits.maxPixels / limits.maxWidth);
  page.coded.assign(page.length / 8 + 2, 0xFF);
  const std::string path = WriteBenchFile("white", page);
  Preview(state, path, 256);
  std::remove(path.c_str());
}
BENCHMARK(BM_PreviewLargestWhitePage)->Unit(benchmark::kMillisecond);

// Noise as coded data, as much as the limits allow, on the longest page a
// fax-wide page may claim: decoding errors on every row.
void BM_PreviewNoise(benchmark::State& state) {
  const tamarind::PreviewLimits limits;
  WinFaxPageLayout page;
  page.group4 = state.range(0) != 0;
  page.width = 1728;
  page.length = static_cast<uint16_t>(std::min<int64_t>(65535, limits.maxPixels / page.width));
  std::mt19937 random(7);
  page.coded.resize(static_cast<size_t>(limits.maxCodedBytes));
  for (uint8_t& byte : page.coded) byte = static_cast<uint8_t>(random());
  const std::string path = WriteBenchFile(page.group4 ? "noise-g4" : "noise-g3", page);
  Preview(state, path, 256);
  std::remove(path.c_str());
}
BENCHMARK(BM_PreviewNoise)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A header that claims 65535 x 65535 pixels is refused at once.
void BM_PreviewRefusedHeader(benchmark::State& state) {
  WinFaxPageLayout page;
  page.group4 = true;
  page.width = 65535;
  page.length = 65535;
  page.coded.assign(64, 0xFF);
  const std::string path = WriteBenchFile("refused", page);
  Preview(state, path, 256);
  std::remove(path.c_str());
}
BENCHMARK(BM_PreviewRefusedHeader)->Unit(benchmark::kMicrosecond);

// The whole thumbnailer as a file manager runs it, one process per file,
// start to exit: a sample, and hostile files that must fail in well under a
// second (a pipe, a sparse tebibyte whose header claims two gigabytes of
// data, the noisiest page the limits let through).
void Thumbnailer(benchmark::State& state, const std::string& input) {
  const std::string output = std::string(TAMARIND_BINARY_DIR) + "/bench-thumbnail.png";
  const std::string command =
      std::string(TAMARIND_BINARY_DIR) + "/tamarind --thumbnail '" + input + "' '" + output + "' 256 2>/dev/null";
  for (auto _ : state) benchmark::DoNotOptimize(std::system(command.c_str()));
  std::remove(output.c_str());
}

void BM_ThumbnailerSample(benchmark::State& state) { Thumbnailer(state, SamplePath("multipage.fxd")); }
BENCHMARK(BM_ThumbnailerSample)->Unit(benchmark::kMillisecond);

void BM_ThumbnailerPipe(benchmark::State& state) {
  const std::string path = std::string(TAMARIND_BINARY_DIR) + "/bench-thumbnail-pipe.fxd";
  std::remove(path.c_str());
  if (mkfifo(path.c_str(), 0600) != 0) std::abort();
  Thumbnailer(state, path);
  std::remove(path.c_str());
}
BENCHMARK(BM_ThumbnailerPipe)->Unit(benchmark::kMillisecond);

void BM_ThumbnailerSparseClaim(benchmark::State& state) {
  WinFaxPageLayout page;
  page.group4 = true;
  page.coded.assign(64, 0xFF);
  page.data_length = 0x7FFFFFFF;
  const std::string path = WriteBenchFile("sparse", page);
  if (truncate(path.c_str(), off_t{1} << 40) != 0) std::abort();
  Thumbnailer(state, path);
  std::remove(path.c_str());
}
BENCHMARK(BM_ThumbnailerSparseClaim)->Unit(benchmark::kMillisecond);

void BM_ThumbnailerNoise(benchmark::State& state) {
  const tamarind::PreviewLimits limits;
  WinFaxPageLayout page;
  page.group4 = true;
  page.width = 1728;
  page.length = static_cast<uint16_t>(std::min<int64_t>(65535, limits.maxPixels / page.width));
  std::mt19937 random(7);
  page.coded.resize(static_cast<size_t>(limits.maxCodedBytes));
  for (uint8_t& byte : page.coded) byte = static_cast<uint8_t>(random());
  const std::string path = WriteBenchFile("thumbnail-noise", page);
  Thumbnailer(state, path);
  std::remove(path.c_str());
}
BENCHMARK(BM_ThumbnailerNoise)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// What the viewer does before its first page shows, on a fax of 1,024
// pages (the most the reader keeps): open it, walk its chain once, read
// every page's header, and render page 1 to fit a window.
void BM_ViewerOpenLargestFax(benchmark::State& state) {
  tamarind::WinFaxReader reader;
  if (!reader.Open(SamplePath("standard-g3.fxd")) || reader.CountPages() == 0 || reader.ReadPage(0) != 0) std::abort();
  WinFaxPageLayout page;
  page.resolution_code = 0;
  page.coded.assign(reader.CodedData().begin(), reader.CodedData().end());
  const std::string path = std::string(TAMARIND_BINARY_DIR) + "/bench-viewer-1024.fxd";
  if (!tamarind::tools::WriteWinFaxFile(path, std::vector<WinFaxPageLayout>(1024, page))) std::abort();
  for (auto _ : state) {
    auto pages = tamarind::FaxPages::Open(path);
    if (!pages || (*pages)->PageCount() != 1024) std::abort();
    const tamarind::PageExtent extent = (*pages)->Extent(0);
    const double fit = std::min(800.0 / extent.width, 1000.0 / extent.height);
    benchmark::DoNotOptimize((*pages)->Render(0, fit).ok());
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_ViewerOpenLargestFax)->Unit(benchmark::kMillisecond);
