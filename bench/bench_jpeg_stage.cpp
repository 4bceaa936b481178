// The page output stage against the bare library: a 1728 x 1100 standard-
// resolution page (1728 x 2200 once rows are doubled) through the
// temporary BMP into a JPEG, versus libjpeg compressing the same grey
// samples from memory. The target is a ratio of at least 0.85.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/jpeg_writer.h"
#include "platform/paths.h"
#include "platform/temp_file.h"

namespace {

using tamarind::FaxPage;

// Text-like: lines of 8 x 12 glyph cells with sparse black strokes and
// white space between words and lines, like a typed letter.
FaxPage TextPage() {
  FaxPage page;
  page.width = 1728;
  page.height = 1100;
  page.bytes_per_row = 216;
  page.x_resolution = 200;
  page.y_resolution = 100;
  page.bits.assign(216 * 1100, 0xFF);
  std::mt19937 random(42);
  for (int top = 40; top + 12 < 1060; top += 20) {
    for (int cell = 10; cell < 206; ++cell) {
      if (random() % 6 == 0) continue;  // a space
      for (int y = top; y < top + 12; ++y) page.bits[y * 216 + cell] &= static_cast<uint8_t>(random() | random());
    }
  }
  return page;
}

std::vector<uint8_t> GreySamples(const FaxPage& page) {
  std::vector<uint8_t> samples;
  for (int y = 0; y < page.height; ++y) {
    for (int copy = 0; copy < 2; ++copy) {
      for (int x = 0; x < page.width; ++x) samples.push_back(page.bits[y * 216 + x / 8] & (0x80 >> (x % 8)) ? 255 : 0);
    }
  }
  return samples;
}

std::string OutputPath(const char* name) { return tamarind::platform::JoinPath(tamarind::platform::TempFolder(), name); }

void BM_LibjpegFromMemory(benchmark::State& state) {
  const FaxPage page = TextPage();
  const std::vector<uint8_t> samples = GreySamples(page);
  const std::string path = OutputPath("bench-libjpeg.jpg");
  for (auto _ : state) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    FILE* out = fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = 1728;
    cinfo.image_height = 2200;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.optimize_coding = state.range(0) ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 75, FALSE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(&samples[cinfo.next_scanline * 1728]);
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(out);
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_LibjpegFromMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PageThroughBmpToJpeg(benchmark::State& state) {
  const FaxPage page = TextPage();
  auto made = tamarind::platform::PrivateTempFile::Create(tamarind::platform::TempFolder(), "bench", ".bmp");
  if (!made) return state.SkipWithError(made.reason().c_str());
  auto& bmp = *made;
  const std::string path = OutputPath("bench-stage.jpg");
  for (auto _ : state) {
    if (tamarind::WritePageBmp(page, *bmp) != 0) state.SkipWithError("BMP not written");
    if (tamarind::WriteJpegFromBmp(*bmp, path, 75, true, state.range(0) != 0) != 0) state.SkipWithError("JPEG not written");
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_PageThroughBmpToJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WritePageBmp(benchmark::State& state) {
  const FaxPage page = TextPage();
  auto made = tamarind::platform::PrivateTempFile::Create(tamarind::platform::TempFolder(), "bench", ".bmp");
  if (!made) return state.SkipWithError(made.reason().c_str());
  auto& bmp = *made;
  for (auto _ : state) benchmark::DoNotOptimize(tamarind::WritePageBmp(page, *bmp));
}
BENCHMARK(BM_WritePageBmp)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
