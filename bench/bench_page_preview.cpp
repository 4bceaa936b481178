// The first-page preview of the window (and of a file-manager thumbnailer):
// real pages, and the worst pages its limits let through, which must still
// come back in well under a second. Files past the limits are refused
// before any decoding.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/page_preview.h"
#include "tools/winfax_writer.h"

namespace {

using tamarind::tools::WinFaxPageSpec;

std::string SamplePath(const char* name) { return std::string(TAMARIND_SOURCE_DIR) + "/samples/" + name; }

std::string WriteBenchFile(const char* name, const WinFaxPageSpec& page) {
  const std::string path = std::string(TAMARIND_BINARY_DIR) + "/bench-preview-" + name + ".fxd";
  if (!tamarind::tools::WriteWinFaxFile(path, std::vector<WinFaxPageSpec>{page})) std::abort();
  return path;
}

void Preview(benchmark::State& state, const std::string& path, int box) {
  for (auto _ : state) {
    tamarind::platform::Expected<tamarind::GreyPicture> picture = tamarind::RenderFirstPage(path, box, box);
    benchmark::DoNotOptimize(picture.ok());
  }
}

// A thumbnail and a window-sized preview of real pages.
void BM_PreviewSample(benchmark::State& state, const char* name) { Preview(state, SamplePath(name), static_cast<int>(state.range(0))); }
BENCHMARK_CAPTURE(BM_PreviewSample, standard_g3, "standard-g3.fxd")->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewSample, fine_g4, "fine-g4.fxm")->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewSample, superfine_g4, "superfine-g4.fxd")->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// The most rows and columns the limits allow, coded in a few kilobytes:
// Group 4 rows of one code each (a white row like the one above).
void BM_PreviewLargestWhitePage(benchmark::State& state) {
  const tamarind::PreviewLimits limits;
  WinFaxPageSpec page;
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
  WinFaxPageSpec page;
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
  WinFaxPageSpec page;
  page.group4 = true;
  page.width = 65535;
  page.length = 65535;
  page.coded.assign(64, 0xFF);
  const std::string path = WriteBenchFile("refused", page);
  Preview(state, path, 256);
  std::remove(path.c_str());
}
BENCHMARK(BM_PreviewRefusedHeader)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
