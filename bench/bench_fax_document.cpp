// Loading and decoding WinFax files: the cost a folder run pays per file on
// top of JPEG compression.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "faxdoc/fax_document.h"

namespace {

std::string SamplePath(const char* name) { return std::string(TAMARIND_SOURCE_DIR) + "/samples/" + name; }

void BM_LoadAndDecodeEveryPage(benchmark::State& state) {
  const std::string path = SamplePath("multipage.fxd");
  int64_t rows = 0;
  for (auto _ : state) {
    tamarind::FaxDocument doc;
    doc.Load(path, tamarind::kWinFaxFormat);
    rows += doc.Page().height;
    for (int i = 1; i < doc.PageCount(); ++i) {
      doc.DecodePage(tamarind::kWinFaxFormat, i);
      rows += doc.Page().height;
    }
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadAndDecodeEveryPage)->Unit(benchmark::kMillisecond);

// A file of 1024 copies of one sample page, each header relinked to the
// next copy: the chain walk alone.
std::string MakeLongChain() {
  std::ifstream in(SamplePath("standard-g4.fxr"), std::ios::binary);
  const std::vector<char> page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string path = std::string(TAMARIND_BINARY_DIR) + "/bench-long-chain.fxd";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (uint32_t i = 0; i < 1024; ++i) {
    std::vector<char> copy = page;
    const uint32_t offset = i * static_cast<uint32_t>(page.size());
    for (int b = 0; b < 4; ++b) copy[89 + b] = static_cast<char>(offset >> (8 * b));  // link_base
    out.write(copy.data(), static_cast<std::streamsize>(copy.size()));
  }
  return path;
}

void BM_CountPagesOfLongChain(benchmark::State& state) {
  const std::string path = MakeLongChain();
  for (auto _ : state) {
    tamarind::WinFaxReader reader;
    if (!reader.Open(path)) {
      state.SkipWithError("cannot open the chain file");
      break;
    }
    benchmark::DoNotOptimize(reader.CountPages());
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_CountPagesOfLongChain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
