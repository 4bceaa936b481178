// Documents of fuzzed pages and texts through the TIFF writer, read back
// with libtiff: every page that was taken, and only those, with its size,
// its pixels, its resolution, its number and total, its orientation and the
// document's texts; libtiff must not so much as warn.
#include <tiffio.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/fax/page_resolution.h"
#include "codec/tiff/tiff_document_writer.h"
#include "fuzz_input.h"
#include "platform/string_extras.h"

namespace {

using tamarind::fuzz::Expect;

int Complain(TIFF*, void*, const char* module, const char* format, va_list arguments) {
  std::fprintf(stderr, "libtiff: %s: ", module ? module : "");
  std::vfprintf(stderr, format, arguments);
  std::fprintf(stderr, "\n");
  Expect(false, "libtiff reads the document without a complaint");
  return 1;
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

std::unique_ptr<TIFF, TiffCloser> Open(const std::string& path) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, Complain, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, Complain, nullptr);
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpenExt(path.c_str(), "r", options));
  TIFFOpenOptionsFree(options);
  Expect(tiff != nullptr, "libtiff opens the document");
  return tiff;
}

std::string Text(TIFF* tiff, ttag_t tag) {
  const char* text = nullptr;
  return TIFFGetField(tiff, tag, &text) == 1 ? std::string(text) : std::string("(none)");
}

template <typename Value>
Value Field(TIFF* tiff, ttag_t tag) {
  Value value{};
  Expect(TIFFGetField(tiff, tag, &value) == 1, "a field every page has");
  return value;
}

struct Page {
  tamarind::FaxPage page;
  bool upsideDown = false;
};

void CheckPage(TIFF* tiff, const Page& given, uint16_t number, uint16_t total, const tamarind::DocumentInfo& info) {
  const tamarind::FaxPage& page = given.page;
  Expect(Field<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH) == static_cast<uint32_t>(page.width) &&
             Field<uint32_t>(tiff, TIFFTAG_IMAGELENGTH) == static_cast<uint32_t>(page.height),
         "the page's size");
  Expect(Field<uint16_t>(tiff, TIFFTAG_COMPRESSION) == COMPRESSION_CCITTFAX4 &&
             Field<uint16_t>(tiff, TIFFTAG_PHOTOMETRIC) == PHOTOMETRIC_MINISWHITE && TIFFNumberOfStrips(tiff) == 1,
         "one Group 4 strip, min-is-white");
  uint16_t shown = 0;
  Expect(TIFFGetField(tiff, TIFFTAG_ORIENTATION, &shown) == (given.upsideDown ? 1 : 0) &&
             (!given.upsideDown || shown == ORIENTATION_BOTRIGHT),
         "Orientation 3 for a page upside down, none for others");
  const tamarind::PageResolution dpi = tamarind::TruePageResolution(page);
  Expect(Field<float>(tiff, TIFFTAG_XRESOLUTION) == dpi.x_dpi && Field<float>(tiff, TIFFTAG_YRESOLUTION) == dpi.y_dpi &&
             Field<uint16_t>(tiff, TIFFTAG_RESOLUTIONUNIT) == RESUNIT_INCH,
         "the page's true resolution");
  uint16_t numberRead = 0, totalRead = 0;
  Expect(TIFFGetField(tiff, TIFFTAG_PAGENUMBER, &numberRead, &totalRead) == 1 && numberRead == number &&
             totalRead == total,
         "the page's number and the total");
  Expect(Text(tiff, TIFFTAG_DOCUMENTNAME) == tamarind::platform::EscapeControlBytes(info.title) &&
             Text(tiff, TIFFTAG_IMAGEDESCRIPTION) ==
                 (info.subject.empty() ? "(none)" : tamarind::platform::EscapeControlBytes(info.subject)) &&
             Text(tiff, TIFFTAG_SOFTWARE) == tamarind::kDocumentProducer && Text(tiff, TIFFTAG_DATETIME).size() == 19,
         "the document's texts");

  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
  Expect(row.size() == static_cast<size_t>(page.width + 7) / 8, "a row's bytes");
  for (int32_t y = 0; y < page.height; ++y) {
    Expect(TIFFReadScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1, "every row decodes");
    for (int32_t x = 0; x < page.width; ++x)
      Expect(((row[static_cast<size_t>(x) / 8] >> (7 - x % 8)) & 1) != tamarind::fuzz::White(page, x, y),
             "every pixel comes back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-tiff");
  FuzzedDataProvider in(data, size);
  const tamarind::DocumentInfo info{
      in.ConsumeRandomLengthString(64), {in.ConsumeIntegral<int64_t>(), 0}, in.ConsumeRandomLengthString(64)};
  const std::string path = scratch.File("out.tif");
  auto file = tamarind::platform::AtomicOutputFile::Create(path);
  Expect(file.ok(), "the output can be made");
  tamarind::TiffDocumentWriter writer(**file, info);
  std::vector<Page> pages;
  for (int n = in.ConsumeIntegralInRange(1, 4); n > 0; --n) {
    Page page{tamarind::fuzz::FuzzedPage(in, 40000), false};
    const bool codable = tamarind::fuzz::MaybeSpoil(in, page.page);
    page.upsideDown = in.ConsumeBool();
    Expect(writer.AddPage(page.page, {page.upsideDown}).ok() == codable, "a page is taken when it is sound");
    if (codable) pages.push_back(std::move(page));
  }
  Expect(writer.PagesWritten() == static_cast<int>(pages.size()), "the pages written are counted");
  Expect(writer.Finish().ok() == !pages.empty(), "a document of pages finishes");
  if (pages.empty()) return 0;
  Expect((*file)->Commit().ok(), "the output is committed");

  auto tiff = Open(path);
  Expect(TIFFNumberOfDirectories(tiff.get()) == pages.size(), "a directory per page taken");
  for (size_t n = 0; n < pages.size(); ++n) {
    Expect(TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(n)) == 1, "each directory reads");
    CheckPage(tiff.get(), pages[n], static_cast<uint16_t>(n), static_cast<uint16_t>(pages.size()), info);
  }
  return 0;
}
