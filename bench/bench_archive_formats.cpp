// The benchmark archive written in each output format with one worker, in
// pages per second and bytes written:
//   jpeg   one greyscale JPEG per page as a conversion writes it (page BMP,
//          quality 50, optimised)
//   tiff   one multi-page Group 4 TIFF per fax
//   pdf    one PDF/A-2b per fax, each page a Group 4 image
//   decode only: the decoding all three share, for scale
// Each file is opened and its pages decoded through FaxDocument as in a
// conversion, and every output goes through the atomic writer. Prints the
// ratios the targets are set on.
//
// Usage: bench_archive_formats [--repeat=N]   (runs per measurement, the best counts; default 3)
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_bench.h"
#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/jpeg_writer.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/tiff_document_writer.h"
#include "faxdoc/fax_document.h"
#include "faxdoc/format_code.h"
#include "platform/atomic_file.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/temp_file.h"

namespace {

namespace fs = std::filesystem;
using namespace tamarind;
using namespace tamarind::bench;

constexpr int kJpegQuality = 50;

// Calls |page| for every page of every archive file, |file| once a file's
// pages are done.
struct ArchiveWalk {
  std::function<void(const std::string& name)> begin;
  std::function<void(const FaxPage& page, int index)> page;
  std::function<void()> end;
};

void Walk(const ArchiveWalk& walk) {
  for (const fs::directory_entry& entry : fs::directory_iterator(ArchivePath() + "/fax")) {
    FaxDocument document;
    if (document.Load(entry.path().string(), kWinFaxFormat) != 0) throw std::runtime_error("cannot load " + entry.path().string());
    walk.begin(entry.path().filename().string());
    for (int i = 0; i < document.PageCount(); ++i) {
      if (i > 0 && document.DecodePage(kWinFaxFormat, i) != 0) throw std::runtime_error("cannot decode a page");
      walk.page(document.Page(), i);
    }
    walk.end();
  }
}

void Check(const platform::Status& status) {
  if (!status) throw std::runtime_error(status.reason());
}

std::unique_ptr<platform::AtomicOutputFile> Create(const std::string& path) {
  std::string error;
  auto file = platform::AtomicOutputFile::Create(path, &error);
  if (!file) throw std::runtime_error(error);
  return file;
}

void Commit(platform::AtomicOutputFile& file) {
  std::string error;
  if (!file.Commit(&error)) throw std::runtime_error(error);
}

void WriteJpegs(const std::string& folder, platform::PrivateTempFile& bmp) {
  std::string name;
  Walk({[&](const std::string& file) { name = folder + "/" + file; },
        [&](const FaxPage& page, int index) {
          if (WritePageBmp(page, bmp) != 0 ||
              WriteJpegFromBmp(bmp, name + std::to_string(index) + ".jpg", kJpegQuality, true, true) != 0)
            throw std::runtime_error("JPEG stage failed");
        },
        [] {}});
}

// One document per fax through |Writer|, which is TiffDocumentWriter or
// PdfDocumentWriter.
template <typename Writer>
void WriteDocuments(const std::string& folder, const char* extension) {
  std::unique_ptr<platform::AtomicOutputFile> file;
  std::unique_ptr<Writer> writer;
  Walk({[&](const std::string& name) {
          file = Create(folder + "/" + name + extension);
          writer = std::make_unique<Writer>(*file, DocumentInfo{name, {1'700'000'000, 0}});
        },
        [&](const FaxPage& page, int) { Check(writer->AddPage(page)); },
        [&] {
          Check(writer->Finish());
          writer.reset();
          Commit(*file);
        }});
}

int64_t FolderBytes(const std::string& folder) {
  int64_t bytes = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) bytes += static_cast<int64_t>(entry.file_size());
  return bytes;
}

}  // namespace

int main(int argc, char** argv) try {
  platform::ReturnFreedPageMemory();
  const int repeat = std::max(1, IntOption(argc, argv, "--repeat", 3));
  const std::vector<ArchiveFile> files = Recipe();
  MakeArchive(files);
  size_t pageCount = 0;
  for (const ArchiveFile& file : files) pageCount += file.pages.size();
  auto bmp = platform::PrivateTempFile::Create(platform::TempFolder(), "bench-formats", ".bmp");
  if (!bmp) throw std::runtime_error("cannot make the page BMP");
  const std::string out = test::BinaryDir() + "/benchdata/formats-" + std::to_string(getpid());

  struct Format {
    const char* key;
    const char* name;
    std::function<void(const std::string&)> run;
    Timing best;
    int64_t bytes = 0;
  };
  std::vector<Format> formats = {
      {"", "decode only", [](const std::string&) { Walk({[](const std::string&) {}, [](const FaxPage&, int) {}, [] {}}); }, {}},
      {"jpeg", "jpeg, one file per page", [&](const std::string& folder) { WriteJpegs(folder, *bmp); }, {}},
      {"tiff", "tiff, Group 4, one per fax", [](const std::string& folder) { WriteDocuments<TiffDocumentWriter>(folder, ".tif"); }, {}},
      {"pdf", "pdf, Group 4, one per fax", [](const std::string& folder) { WriteDocuments<PdfDocumentWriter>(folder, ".pdf"); }, {}},
  };
  std::printf("%zu files, %zu pages; one worker, best of %d runs\n", files.size(), pageCount, repeat);
  // Warm the page cache and the libraries once; then round by round, so a
  // busy spell on a shared machine hits every format alike.
  for (Format& format : formats) Best(1, out, format.run);
  for (int round = 0; round < repeat; ++round) {
    for (Format& format : formats) {
      const Timing t = Best(1, out, [&](const std::string& folder) {
        format.run(folder);
        format.bytes = FolderBytes(folder);
      });
      format.best.wall = std::min(format.best.wall, t.wall);
      format.best.cpu = std::min(format.best.cpu, t.cpu);
    }
  }
  fs::remove_all(out);

  const double pages = static_cast<double>(pageCount);
  for (const Format& format : formats)
    std::printf("%-28s %8.1f pages/s  %8.1f pages per processor second  %10lld bytes\n", format.name,
                pages / format.best.wall, pages / format.best.cpu, static_cast<long long>(format.bytes));
  const Format& jpeg = formats[1];
  for (const Format* format : {&formats[2], &formats[3]})
    std::printf("%-4s / jpeg: speed %5.2f wall %5.2f processor (target >= 1.5), bytes %5.1f%% (target <= 15%%)\n",
                format->key, jpeg.best.wall / format->best.wall, jpeg.best.cpu / format->best.cpu,
                100.0 * static_cast<double>(format->bytes) / static_cast<double>(jpeg.bytes));
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_archive_formats: %s\n", e.what());
  return 1;
}
