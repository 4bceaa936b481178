// Pages per second decoding real pages of dense text (standard and fine
// resolution, Group 3 and Group 4), beside libtiff's decoder on the same
// coded data.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codec/fax/g3_decoder.h"
#include "codec/fax/mmr_decoder.h"
#include "support/real_pages.h"
#include "support/test_files.h"

#ifdef TAMARIND_WITH_LIBTIFF
#include <tiffio.h>
#endif

namespace {

using tamarind::test::PageCoding;
using tamarind::test::RealPage;

constexpr int32_t kLines = 4000;

int DecodeOnce(const RealPage& real, tamarind::FaxPage& page) {
  if (real.coding == PageCoding::kGroup3) {
    tamarind::G3Decoder decoder(real.coded, tamarind::MsbFirst, tamarind::kCodingG3OneDimensional, 0);
    decoder.SetPageSize(real.width, kLines);
    return decoder.DecodeG3Page(page);
  }
  tamarind::MmrDecoder decoder(real.coded, tamarind::MsbFirst, 0, 0, 3);
  decoder.SetPageSize(real.width, kLines);
  return decoder.DecodeMmrPage(page);
}

void SetPagesPerSecond(benchmark::State& state) {
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Tamarind(benchmark::State& state, const char* name) {
  const RealPage& real = tamarind::test::RealPageNamed(name);
  tamarind::FaxPage page;
  for (auto _ : state) {
    DecodeOnce(real, page);
    benchmark::DoNotOptimize(page.bits.data());
  }
  SetPagesPerSecond(state);
}

#ifdef TAMARIND_WITH_LIBTIFF
// The same coded data as the single strip of a TIFF file, decoded by
// libtiff from its memory map.
class TiffPage {
 public:
  TiffPage(const RealPage& real, int32_t rows) : path_(dir_.File("page.tif")) {
    TIFF* out = TIFFOpen(path_.c_str(), "w");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(real.width));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows));
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    bool g3 = real.coding == PageCoding::kGroup3;
    TIFFSetField(out, TIFFTAG_COMPRESSION, g3 ? COMPRESSION_CCITTFAX3 : COMPRESSION_CCITTFAX4);
    if (g3) TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
    TIFFWriteRawStrip(out, 0, const_cast<uint8_t*>(real.coded.data()), static_cast<tmsize_t>(real.coded.size()));
    TIFFClose(out);
    tiff_ = TIFFOpen(path_.c_str(), "rm");
    buffer_.resize(static_cast<size_t>(TIFFStripSize(tiff_)));
  }
  ~TiffPage() { TIFFClose(tiff_); }
  TiffPage(const TiffPage&) = delete;
  TiffPage& operator=(const TiffPage&) = delete;

  tmsize_t Decode() { return TIFFReadEncodedStrip(tiff_, 0, buffer_.data(), static_cast<tmsize_t>(buffer_.size())); }

 private:
  tamarind::test::ScopedTempDir dir_;
  std::string path_;
  TIFF* tiff_ = nullptr;
  std::vector<uint8_t> buffer_;
};

void BM_Libtiff(benchmark::State& state, const char* name) {
  const RealPage& real = tamarind::test::RealPageNamed(name);
  tamarind::FaxPage page;
  DecodeOnce(real, page);
  TIFFSetWarningHandler(nullptr);
  TiffPage tiff(real, page.height);
  if (tiff.Decode() < 0) state.SkipWithError("libtiff cannot decode this page");
  for (auto _ : state) benchmark::DoNotOptimize(tiff.Decode());
  SetPagesPerSecond(state);
}
#endif

constexpr const char* kPages[] = {"text-standard-g3", "text-fine-g3", "text-standard-g4", "text-fine-g4"};

int RegisterAll() {
  for (const char* name : kPages) {
    benchmark::RegisterBenchmark((std::string("Tamarind/") + name).c_str(), BM_Tamarind, name);
#ifdef TAMARIND_WITH_LIBTIFF
    benchmark::RegisterBenchmark((std::string("libtiff/") + name).c_str(), BM_Libtiff, name);
#endif
  }
  return 0;
}
const int registered = RegisterAll();

}  // namespace

BENCHMARK_MAIN();
