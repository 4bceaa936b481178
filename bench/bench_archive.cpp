// A folder of WinFax files made from real documents, converted four ways,
// in pages per second:
//   one worker    tamarind's folder run with /j=1
//   all workers   the same with one worker per hardware thread
//   floor         libjpeg alone compressing the same pages' grey samples
//                 (rows repeated for square pixels) from memory into files:
//                 the least a converter built on libjpeg pays (the program's
//                 own encoder goes below it)
//   pipeline      what a user would script, one page at a time:
//                 g3topbm [-stretch] | pnmtojpeg, and for Group 4 pages
//                 fax2tiff -4 [-s] && tifftopnm | pnmtojpeg
// All at quality 50, optimised, greyscale. Prints the rates and the ratios
// the targets are set on. The folder is made once under the build tree.
//
// Usage: bench_archive [--repeat=N] [--pipeline-pages=N]
//   --repeat          runs per measurement, the best counts (default 3)
//   --pipeline-pages  pages the scripted pipeline converts (default: all)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include "archive_bench.h"
#include "batch/convert_folder.h"
#include "batch/parallel_run.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "support/real_pages.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using tamarind::test::PageCoding;
using tamarind::test::RealPage;
using namespace tamarind::bench;

void ConvertFolder(const std::string& out, int workers, int expectedConverted) {
  tamarind::ConversionJob job;
  job.Reset();
  job.options.source = ArchivePath() + "/fax";
  job.options.destination = out;
  job.options.workers = workers;
  CollectFiles(job, job.options.source, 0);
  ConvertFolder(job);
  const std::string total = "Total converted FAX files: " + std::to_string(expectedConverted) + "\r\n";
  if (job.failures != 0 || !job.report.ends_with(total)) throw std::runtime_error("conversion failed:\n" + job.report);
}

// The grey samples of a page as the conversion compresses them: black 0,
// white 255, standard-resolution rows twice.
struct GreyPage {
  JDIMENSION width = 0;
  JDIMENSION height = 0;
  std::vector<JSAMPLE> samples;
};

GreyPage SamplesOf(const RealPage& page) {
  GreyPage grey;
  const int repeat = page.fine ? 1 : 2;
  grey.width = static_cast<JDIMENSION>(page.reference.width);
  grey.height = static_cast<JDIMENSION>(page.reference.height * repeat);
  grey.samples.reserve(static_cast<size_t>(grey.width) * grey.height);
  for (int32_t y = 0; y < page.reference.height; ++y) {
    for (int copy = 0; copy < repeat; ++copy)
      for (int32_t x = 0; x < page.reference.width; ++x) grey.samples.push_back(page.reference.IsBlack(x, y) ? 0 : 255);
  }
  return grey;
}

void CompressToFile(const GreyPage& page, const std::string& path) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + path);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = page.width;
  cinfo.image_height = page.height;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  cinfo.optimize_coding = TRUE;
  jpeg_set_quality(&cinfo, 50, FALSE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&page.samples[static_cast<size_t>(cinfo.next_scanline) * page.width]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + path);
}

std::string PipelineCommand(const RealPage& page, const std::string& raw, const std::string& jpeg) {
  using tamarind::test::ShellQuote;
  const std::string width = std::to_string(page.width);
  const std::string toJpeg = "pnmtojpeg --quality=50 --optimize > " + ShellQuote(jpeg);
  if (page.coding == PageCoding::kGroup3)
    return "g3topbm" + std::string(page.fine ? "" : " -stretch") + " -width=" + width + " " + ShellQuote(raw) + " | " +
           toJpeg;
  const std::string tiff = jpeg + ".tif";
  return "fax2tiff -4 -M -X " + width + (page.fine ? "" : " -s") + " -o " + ShellQuote(tiff) + " " + ShellQuote(raw) +
         " && tifftopnm " + ShellQuote(tiff) + " | " + toJpeg + " && rm -f " + ShellQuote(tiff);
}

}  // namespace

int main(int argc, char** argv) try {
  // The heap behaves as in the program, whose start sets the same limits;
  // the floor's compressions share them.
  tamarind::platform::ReturnFreedPageMemory();
  const int repeat = std::max(1, IntOption(argc, argv, "--repeat", 3));
  const std::vector<ArchiveFile> files = Recipe();
  MakeArchive(files);
  size_t pageCount = 0;
  for (const ArchiveFile& file : files) pageCount += file.pages.size();
  const int pipelinePages = std::clamp(IntOption(argc, argv, "--pipeline-pages", static_cast<int>(pageCount)), 1,
                                       static_cast<int>(pageCount));

  tamarind::processPaths.tempFolder = tamarind::platform::TempFolder();
  const std::string out = tamarind::test::BinaryDir() + "/benchdata/out-" + std::to_string(getpid());
  const unsigned all = tamarind::WorkerCount(tamarind::ConversionOptions{});

  std::printf("%zu files, %zu pages (standard and fine, Group 3 and 4); best of %d runs\n", files.size(), pageCount,
              repeat);
  std::fflush(stdout);
  // Warm the page cache and the library once.
  Best(1, out, [&](const std::string& folder) { ConvertFolder(folder, 1, kFiles); });

  std::vector<GreyPage> grey;
  for (const RealPage& page : tamarind::test::RealPages()) grey.push_back(SamplesOf(page));
  auto greyOf = [&](const RealPage* page) {
    return &grey[static_cast<size_t>(page - tamarind::test::RealPages().data())];
  };
  auto floorRun = [&](const std::string& folder) {
    int n = 0;
    for (const ArchiveFile& file : files)
      for (const RealPage* page : file.pages)
        CompressToFile(*greyOf(page), folder + "/" + std::to_string(n++) + ".jpg");
  };

  // Round by round, so that a busy spell on a shared machine hits every
  // kind alike; the best of each kind counts.
  Timing one, many, floor;
  auto keepBest = [](Timing& best, const Timing& t) {
    best.wall = std::min(best.wall, t.wall);
    best.cpu = std::min(best.cpu, t.cpu);
  };
  for (int round = 0; round < repeat; ++round) {
    keepBest(one, Best(1, out, [&](const std::string& folder) { ConvertFolder(folder, 1, kFiles); }));
    keepBest(many,
             Best(1, out, [&](const std::string& folder) { ConvertFolder(folder, static_cast<int>(all), kFiles); }));
    keepBest(floor, Best(1, out, floorRun));
  }

  const Timing pipeline = Best(1, out, [&](const std::string& folder) {
    int n = 0;
    for (const ArchiveFile& file : files) {
      for (const RealPage* page : file.pages) {
        if (n == pipelinePages) return;
        const std::string command = PipelineCommand(*page, ArchivePath() + "/raw/" + page->name + ".fax",
                                                    folder + "/" + std::to_string(n++) + ".jpg");
        const std::string quiet = "(" + command + ") 2>/dev/null";
        if (std::system(quiet.c_str()) != 0) throw std::runtime_error("failed: " + command);
      }
    }
  });
  fs::remove_all(out);

  const double pages = static_cast<double>(pageCount);
  auto row = [](const std::string& what, double pagesDone, const Timing& t) {
    std::printf("%-36s %8.1f pages/s   %8.1f pages per processor second\n", what.c_str(), pagesDone / t.wall,
                pagesDone / t.cpu);
  };
  row("tamarind, 1 worker", pages, one);
  row("tamarind, " + std::to_string(all) + " workers", pages, many);
  row("floor: libjpeg alone, in process", pages, floor);
  row("pipeline: netpbm/libtiff, " + std::to_string(pipelinePages) + " pages", pipelinePages, pipeline);
  std::printf("ratio 1 worker / floor          %5.2f wall  %5.2f processor   (target >= 0.85)\n", floor.wall / one.wall,
              floor.cpu / one.cpu);
  std::printf("ratio all workers / 1 worker    %5.2f wall                    (target >= 1.7 on 2 cores)\n",
              one.wall / many.wall);
  std::printf("ratio all workers / pipeline    %5.2f wall                    (target >= 2)\n",
              (pages / many.wall) / (pipelinePages / pipeline.wall));
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_archive: %s\n", e.what());
  return 1;
}
